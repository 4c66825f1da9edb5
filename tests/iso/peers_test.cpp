// Images of generated trees read back by independent programs: both trees
// list every entry, the files read back are the sources byte for byte, and
// the places the readers report are those of the layout.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "layout_fixtures.h"
#include "peer_tools.h"
#include "recording/job_state.h"
#include "temp_tree.h"

namespace {

namespace fs = std::filesystem;
using peers::Quote;

// Every entry below Root: relative path -> content ("/" for a folder).
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (e.is_directory()) {
      out[rel] = "/";
    } else {
      std::ifstream in(e.path(), std::ios::binary);
      std::stringstream ss;
      ss << in.rdbuf();
      out[rel] = ss.str();
    }
  }
  return out;
}

std::string Content(const std::string& tag, size_t size) {
  std::string s;
  uint32_t x = 2166136261u;
  for (char c : tag) x = (x ^ uint8_t(c)) * 16777619u;
  s.reserve(size);
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    s.push_back(char(x >> 24));
  }
  return s;
}

// The tree every reader gets: names beyond ASCII and beyond the BMP, nine
// folder levels, empty files and folders, hidden entries, files of many
// sizes. No name lacks an extension (the image gives such names a dot).
void MakeTree(TempTree& t, bool non_bmp = true) {
  t.File("src/readme.txt", "hello\n");
  t.File("src/café.txt", Content("cafe", 3000));
  t.File("src/日本語/テスト.txt", Content("jp", 70000));
  if (non_bmp) t.File("src/emoji \U0001F600 smile.bin", Content("emoji", 2048));
  t.File("src/a/b/c/d/e/f/g/h/i/deep.txt", Content("deep", 10));
  t.File("src/empty.dat", "");
  t.Dir("src/empty folder");
  t.File("src/.hidden.cfg", "secret");
  t.File("src/.hidden dir/inner.txt", "inner");
  t.File("src/big/one.bin", Content("one", 63488));
  t.File("src/big/two.bin", Content("two", 63489));
  t.File("src/big/three.bin", Content("three", 1 << 20));
  t.File("src/Long file name that is not a valid short name.text", Content("long", 5));
  for (int i = 0; i < 40; ++i)
    t.File("src/many/file number " + std::to_string(i) + ".txt",
           Content(std::to_string(i), size_t(i * 100)));
}

// Saves the folder "src" of the tree (it becomes the image's folder src).
std::string SaveTree(TempTree& tree, const std::string& name, bool joliet, bool quick) {
  TzqCDBurner b;
  b.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  b.StripSourcePath = true;
  b.JolietFileSystem = joliet;
  b.IdVolume = "Peers";
  EXPECT_EQ(b.InsertDir(b.RootDir(), tree.Path("src") + "/", false, true, true, 63, "*.*"), 1);
  std::string error = "not reported";
  b.OnWriteDone = [&](TzqCDBurner*, const std::string& e) { error = e; };
  EXPECT_TRUE(b.Prepare(true));
  const std::string image = tree.Path(name);
  b.SaveISO(image, quick);
  recording::WaitForJobEnd(std::chrono::seconds(60));
  EXPECT_EQ(error, "");
  return image;
}

TEST(Peers, JolietTreeReadsBackByteForByte) {
  TempTree tree;
  MakeTree(tree);
  const auto want = Snapshot(tree.Path("src"));
  const std::string image = SaveTree(tree, "j.iso", true, false);
  struct Reader {
    const char* program;
    std::string command;  // %I image, %O output folder
  };
  const Reader readers[] = {
      {"bsdtar", "bsdtar -xf %I -C %O"},
      {"7z", "7z x -y -o%O %I"},
      // Its warning about the name outside the BMP is not a failure here.
      {"xorriso", "xorriso -osirrox on -indev %I -extract / %O"},
  };
  int ran = 0;
  for (const Reader& r : readers) {
    SCOPED_TRACE(r.program);
    if (!peers::Have(r.program)) continue;
    ++ran;
    const std::string out = tree.Dir(std::string("out-") + r.program);
    std::string command = r.command;
    command.replace(command.find("%I"), 2, Quote(image));
    command.replace(command.find("%O"), 2, Quote(out));
    const peers::Result res = peers::Run(command);
    ASSERT_EQ(res.status, 0) << res.output;
    const auto got = Snapshot(out + "/src");
    EXPECT_EQ(got.size(), want.size());
    for (const auto& [path, content] : want) {
      const auto it = got.find(path);
      ASSERT_NE(it, got.end()) << path << " missing; reader said:\n" << res.output;
      EXPECT_TRUE(it->second == content) << path << " differs";
    }
  }
  if (ran == 0) GTEST_SKIP() << "no reader installed";
}

// xorriso compares metadata too (modes, dates of 2-second resolution);
// only content, size, type or a missing entry count here.
std::vector<std::string> ContentDifferences(const std::string& Report) {
  std::vector<std::string> out;
  std::istringstream in(Report);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.starts_with("- '")) continue;
    bool metadata = false;
    for (const char* kind :
         {": st_mode ", ": st_mtime ", ": st_ctime ", ": st_atime ", ": st_uid ", ": st_gid "})
      metadata = metadata || line.find(kind) != std::string::npos;
    if (!metadata) out.push_back(line);
  }
  return out;
}

TEST(Peers, XorrisoCompareFindsNoDifference) {
  if (!peers::Have("xorriso")) GTEST_SKIP() << "xorriso not installed";
  for (const bool non_bmp : {false, true}) {
    TempTree tree;
    MakeTree(tree, non_bmp);
    for (const bool quick : {false, true}) {
      SCOPED_TRACE(std::string(quick ? "quick" : "threaded") + (non_bmp ? ", non-BMP" : ""));
      const std::string image = SaveTree(tree, quick ? "q.iso" : "t.iso", true, quick);
      // A wrong volume size, a truncated image, a missing descriptor or two
      // entries of one name make xorriso end with 32. A name outside the
      // BMP draws its warning that Joliet is UCS-2 by the letter.
      const peers::Result res =
          peers::Run("xorriso -abort_on NEVER -return_with WARNING 32 -indev " + Quote(image) +
                     " -compare_r " + Quote(tree.Path("src")) + " /src");
      EXPECT_EQ(res.status, non_bmp ? 32 : 0) << res.output;
      EXPECT_EQ(ContentDifferences(res.output), std::vector<std::string>{}) << res.output;
      if (peers::Have("7z")) {
        const peers::Result test = peers::Run("7z t " + Quote(image));
        EXPECT_EQ(test.status, 0) << test.output;
      }
    }
  }
}

// With Joliet off every file must still be reachable under its ISO name,
// even where short names met: count and contents of what comes back.
TEST(Peers, IsoTreeAloneReachesEveryFile) {
  if (!peers::Have("bsdtar")) GTEST_SKIP() << "bsdtar not installed";
  TempTree tree;
  // Names that meet in the ISO tree: folders cut to 13 characters, 8.3
  // names of one stem.
  tree.File("src/Program Files A/x.txt", "pfa");
  tree.File("src/Program Files B/x.txt", "pfb");
  for (int i = 0; i < 12; ++i)
    tree.File("src/longfilename number " + std::to_string(i) + ".txt", "file " + std::to_string(i));
  const std::string image = SaveTree(tree, "iso.iso", false, false);
  const std::string out = tree.Dir("out");
  const peers::Result res = peers::Run("bsdtar -xf " + Quote(image) + " -C " + Quote(out));
  ASSERT_EQ(res.status, 0) << res.output;
  std::multiset<std::string> want, got;
  for (const auto& [path, content] : Snapshot(tree.Path("src")))
    if (content != "/") want.insert(content);
  for (const auto& [path, content] : Snapshot(out))
    if (content != "/") got.insert(content);
  EXPECT_EQ(got, want);
  if (peers::Have("isoinfo")) {
    const peers::Result list = peers::Run("isoinfo -R -l -i " + Quote(image));
    EXPECT_NE(list.output.find("PROGRAM_FIL~2"), std::string::npos) << list.output;
    EXPECT_NE(list.output.find("LONGFI~2.TXT;1"), std::string::npos) << list.output;
  }
}

TEST(Peers, PlacesOfAnEmptyCompilation) {
  if (!peers::Have("isoinfo")) GTEST_SKIP() << "isoinfo not installed";
  TempTree tree;
  TzqCDBurner b;
  b.WritePostGap = false;
  std::string error = "not reported";
  b.OnWriteDone = [&](TzqCDBurner*, const std::string& e) { error = e; };
  ASSERT_TRUE(b.Prepare(true));
  b.SaveISO(tree.Path("e.iso"), true);
  ASSERT_EQ(error, "");
  const std::string image = Quote(tree.Path("e.iso"));
  const peers::Result d = peers::Run("isoinfo -d -i " + image);
  EXPECT_NE(d.output.find("Volume size is: 150"), std::string::npos) << d.output;
  EXPECT_NE(d.output.find("Joliet"), std::string::npos) << d.output;
  const peers::Result iso = peers::Run("isoinfo -l -i " + image);
  EXPECT_NE(iso.output.find("[     23 02]  . "), std::string::npos) << iso.output;
  const peers::Result joliet = peers::Run("isoinfo -J -l -i " + image);
  EXPECT_NE(joliet.output.find("[     24 02]  . "), std::string::npos) << joliet.output;
}

// 65,535 entries (the component's own table size): 255 folders of 256
// empty files, built from records so that no file is written to disk.
TEST(Peers, SixtyFiveThousandEntries) {
  if (!peers::Have("isoinfo") || !peers::Have("xorriso")) GTEST_SKIP() << "isoinfo/xorriso missing";
  TempTree tree;
  TzqCDBurner b;
  ASSERT_EQ(b.MaxFiles(), 65535);
  for (int d = 0; d < 255; ++d) {
    PDirEntry dir = layout_fixtures::AddFolder(b, b.RootDir(), "folder " + std::to_string(d));
    ASSERT_NE(dir, nullptr);
    for (int f = 0; f < 256; ++f)
      ASSERT_NE(layout_fixtures::AddFile(b, dir, "entry " + std::to_string(f) + ".txt", 0),
                nullptr);
  }
  EXPECT_EQ(b.FilesCount(), 65535);
  std::string error = "not reported";
  b.OnWriteDone = [&](TzqCDBurner*, const std::string& e) { error = e; };
  ASSERT_TRUE(b.Prepare(true));
  b.SaveISO(tree.Path("big.iso"), false);
  recording::WaitForJobEnd(std::chrono::seconds(60));
  ASSERT_EQ(error, "");
  const std::string image = Quote(tree.Path("big.iso"));
  const peers::Result iso = peers::Run("isoinfo -l -i " + image + " | grep -c ';1 *$'");
  EXPECT_EQ(iso.output, "65280\n");
  const peers::Result joliet =
      peers::Run("xorriso -abort_on NEVER -return_with WARNING 32 -indev " + image +
                 " -find / -type f 2>/dev/null | grep -c \"^'/\"");
  EXPECT_EQ(joliet.output, "65280\n");
  const peers::Result dirs = peers::Run("xorriso -indev " + image +
                                        " -find / -type d 2>/dev/null | grep -c \"^'/folder \"");
  EXPECT_EQ(dirs.output, "255\n");
}

}  // namespace
