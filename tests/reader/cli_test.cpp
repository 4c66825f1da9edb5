// tidemark ls and tidemark extract end to end, against the virtual
// recorder through the library transport: images saved by tidemark mkiso
// and loaded with tidemark vrec insert-image, a crafted image with hostile
// names, unreadable sectors, and discs without a session.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "reader_fixture.h"
#include "volume_builder.h"

namespace {

namespace fs = std::filesystem;
using vrec::test::RunProgram;
using vrec::test::RunResult;
using vrec::test::Tidemark;

// Every entry below Root: relative path -> content ("/" for a folder),
// with the modification time of files.
std::map<std::string, std::string> Snapshot(const std::string& Root, bool Dates = true) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(Root)) {
    const std::string rel = fs::relative(e.path(), Root).string();
    if (e.is_directory()) {
      out[rel] = "/";
      continue;
    }
    const auto b = reader_test::ReadBytes(e.path().string());
    std::string v(b.begin(), b.end());
    if (Dates) {
      struct stat st {};
      stat(e.path().c_str(), &st);
      v += "@" + std::to_string(st.st_mtime / 2 * 2);
    }
    out[rel] = v;
  }
  return out;
}

class ReadCli : public ::testing::Test {
 protected:
  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), Tidemark());
    return RunProgram(args,
                      {"TIDEMARK_VREC_DIR=" + t.Path("vrec"), "XDG_CONFIG_HOME=" + t.Path("config"),
                       std::string("TIDEMARK_ASPI_LIBRARY=") + VREC_ASPI_LIBRARY, "TZ=UTC"});
  }
  RunResult Read(const std::string& Command, std::vector<std::string> args) {
    args.insert(args.begin(), {Command, "--transport", "library"});
    return Run(args);
  }
  void Insert(const std::string& Image) {
    const RunResult r = Run({"vrec", "insert-image", Image});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // tidemark mkiso of the tree's "src", loaded as a disc.
  void InsertOwnImage() {
    const RunResult r = Run({"mkiso", "-q", "-o", t.Path("own.iso"), t.Path("src")});
    ASSERT_EQ(r.status, 0) << r.err;
    Insert(t.Path("own.iso"));
  }
  void MakeSource() {
    t.File("src/readme.txt", "read me\n");
    t.File("src/Makefile", "all:\n");
    t.File("src/docs/big.bin", std::string(300000, 'b'));
    t.File("src/docs/caf\xC3\xA9.txt", "au lait");
    t.File("src/.hidden", "");
    t.Dir("src/empty");
    t.Touch("src/readme.txt", 1089901805);
  }
  TempTree t;
};

TEST_F(ReadCli, LsListsTheTreeInEachForm) {
  MakeSource();
  InsertOwnImage();
  // Entries come in the order of the disc (the order the source folder
  // listed them in), each folder before what it holds.
  RunResult r = Read("ls", {});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "/src/");
  const auto at = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l); };
  EXPECT_LT(at("/src/docs/"), at("/src/docs/big.bin"));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "/src/", "/src/.hidden", "/src/Makefile.", "/src/docs/", "/src/docs/big.bin",
                       "/src/docs/caf\xC3\xA9.txt", "/src/empty/", "/src/readme.txt"}));

  r = Read("ls", {"-l", "/SRC/readme.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(r.out.size(), 63u) << r.out;
  EXPECT_EQ(r.out.substr(0, 36), "--            8 2004-07-15 14:30:04 ");
  EXPECT_EQ(r.out.substr(46), " /src/readme.txt\n");
  EXPECT_GE(std::stoi(r.out.substr(36, 10)), 150) << "the file's sector";
  r = Read("ls", {"-l", "src/.hidden"});
  EXPECT_EQ(r.out.substr(0, 15), "-h            0") << r.out;
  EXPECT_NE(r.out.find("         - /src/.hidden"), std::string::npos)
      << "an empty file has no sector";

  r = Read("ls", {"--json", "\\src\\docs"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"event\":\"entry\",\"path\":\"/src/docs/big.bin\",\"folder\":false,"
                       "\"hidden\":false,\"size\":300000,"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"event\":\"result\",\"ok\":true,\"entries\":2}"), std::string::npos);

  r = Read("ls", {"/nothing/here"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tidemark: /nothing/here: no such file or folder in the session\n");
  EXPECT_EQ(Read("ls", {"--session", "0"}).status, 2);
}

TEST_F(ReadCli, ExtractGivesTheSourceTreeBackAndReplacesNothingUnasked) {
  MakeSource();
  InsertOwnImage();
  RunResult r = Read("extract", {"/src", t.Path("out")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "5 files (300020 bytes) extracted to " + t.Path("out") + "\n");
  // Makefile comes back without the dot the compilation gave it.
  EXPECT_EQ(Snapshot(t.Path("out")), Snapshot(t.Path("src")));

  // Again: refused, and nothing is written (not even the files that are new).
  fs::remove(t.Path("out/docs/big.bin"));
  t.File("out/readme.txt", "changed");
  r = Read("extract", {"/src", t.Path("out")});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("already exists (--force replaces it)"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(t.Path("out/docs/big.bin")));
  r = Read("extract", {"--force", "/src", t.Path("out")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Snapshot(t.Path("out")), Snapshot(t.Path("src")));

  // With --json: progress events, then the result object.
  r = Read("extract", {"--json", "/src/docs", t.Path("json-out")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"event\":\"progress\",\"written\":300007,\"total\":300007,"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"event\":\"result\",\"ok\":true,\"dest\":\"" + t.Path("json-out") +
                       "\",\"files\":2,\"folders\":0,\"bytes\":300007}"),
            std::string::npos)
      << r.out;

  // One file: to a name, or into a folder under its own name.
  ASSERT_EQ(Read("extract", {"/src/docs/big.bin", t.Path("copy.bin")}).status, 0);
  EXPECT_EQ(reader_test::ReadBytes(t.Path("copy.bin")).size(), 300000u);
  t.Dir("into");
  ASSERT_EQ(Read("extract", {"/src/Makefile", t.Path("into")}).status, 0);
  EXPECT_TRUE(fs::exists(t.Path("into/Makefile")));
  EXPECT_EQ(Read("extract", {"/src/Makefile", t.Path("into")}).status, 2);
  EXPECT_EQ(Read("extract", {"/src/docs", t.Path("copy.bin")}).status, 2)
      << "a folder is not written over a file";
}

TEST_F(ReadCli, AnUnreadableSectorFailsThatFileOnly) {
  MakeSource();
  InsertOwnImage();
  // big.bin follows readme.txt and Makefile. (150, 151).
  ASSERT_EQ(Run({"vrec", "fault", "add", "28@200=03/11/00"}).status, 0);
  const RunResult r = Read("extract", {"/src", t.Path("out")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR EXTRACTING FILE big.bin: SECTOR 200 UNREADABLE"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("tidemark: 1 of 7 entries not extracted"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(t.Path("out/docs/big.bin")));
  EXPECT_TRUE(fs::exists(t.Path("out/docs/caf\xC3\xA9.txt")));
  for (const auto& e : fs::directory_iterator(t.Path("out/docs")))
    EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos);
}

TEST_F(ReadCli, NamesFromTheDiscStayInsideDest) {
  // A Joliet tree naming "..", "../../escape.txt", a folder "." and a file
  // with a control character.
  MemoryDisc disc;
  using namespace volume;
  PutVolume(disc, 20, 21);
  PutDirectory(disc, 20, Encoded({Dot(20), DotDot(20)}));
  PutDirectory(
      disc, 21,
      Encoded({Dot(21), DotDot(21), Folder(Ucs(u"."), 22), File(Ucs(u"..;1"), 30, 4),
               File(Ucs(u"../../escape.txt;1"), 30, 4), File(Ucs(u"bell\x07.txt"), 30, 4)}));
  PutDirectory(disc, 22, Encoded({Dot(22), DotDot(21), File(Ucs(u"inner.txt"), 30, 4)}));
  std::memcpy(disc.Sector(30), "data", 4);
  disc.Sector(40);
  {
    std::ofstream out(t.Path("hostile.iso"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(disc.bytes.data()),
              static_cast<std::streamsize>(disc.bytes.size()));
  }
  Insert(t.Path("hostile.iso"));
  t.Dir("deep/dest");
  const RunResult r = Read("extract", {"/", t.Path("deep/dest")});
  EXPECT_EQ(r.status, 1) << "one entry could not be written under a name of its own";
  EXPECT_EQ(Snapshot(t.Path("deep"), false),
            (std::map<std::string, std::string>{{"dest", "/"},
                                                {"dest/_", "/"},
                                                {"dest/_/inner.txt", "data"},
                                                {"dest/.._.._escape.txt", "data"},
                                                {"dest/bell_.txt", "data"}}))
      << r.err;
  EXPECT_NE(r.err.find("another entry of the disc has this name"), std::string::npos)
      << "\"..\" and \".\" both come out as \"_\"";
}

TEST_F(ReadCli, DiscsWithoutASessionOrWithoutADisc) {
  // A fresh recorder holds a blank CD-R.
  RunResult r = Read("ls", {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tidemark: the disc holds no session\n");
  ASSERT_EQ(Run({"vrec", "remove"}).status, 0);
  r = Read("extract", {"/", t.Path("out")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("MEDIUM NOT PRESENT"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(t.Path("out")));
}

}  // namespace
