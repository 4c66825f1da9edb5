// Extracting imported files: blocks of 31 sectors, the entry's date on the
// result, unreadable sectors, targets that exist, aborts, and names from a
// disc made safe for the host.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "burner/extract_names.h"
#include "platform/date_time.h"
#include "reader_fixture.h"
#include "volume_builder.h"

namespace {

using namespace reader_test;
using namespace volume;

// A disc with /DATA.BIN of Size bytes at sector 30 (byte i holds i * 7 +
// the sector), an empty file and a file that is not on the disc.
struct DataDisc {
  MemoryDisc disc;
  uint32_t size;
  explicit DataDisc(uint32_t Size) : size(Size) {
    PutVolume(disc, 20);
    PutDirectory(disc, 20,
                 Encoded({Dot(20), DotDot(20), File(Ascii("DATA.BIN;1"), 30, Size),
                          File(Ascii("EMPTY.TXT;1"), 0, 0)}));
    const uint32_t sectors = (Size + 2047) / 2048;
    for (uint32_t s = 0; s < sectors; ++s) {
      uint8_t* p = disc.Sector(30 + s);
      for (uint32_t i = 0; i < 2048; ++i) p[i] = static_cast<uint8_t>(i * 7 + s);
    }
  }
  std::string Expected() const {
    std::string out(size, '\0');
    for (uint32_t i = 0; i < size; ++i) out[i] = static_cast<char>(i % 2048 * 7 + i / 2048);
    return out;
  }
};

std::string Text(const std::string& path) {
  const auto b = ReadBytes(path);
  return std::string(b.begin(), b.end());
}

bool OnlyFilesAre(const std::string& folder, std::vector<std::string> names) {
  std::vector<std::string> found;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    found.push_back(e.path().filename().string());
  std::sort(found.begin(), found.end());
  std::sort(names.begin(), names.end());
  return found == names;
}

TEST(ExtractFile, CopiesIn31SectorBlocksAndDatesTheFile) {
  ScopedTimeZone tz("UTC");
  TempTree t;
  DataDisc d(100000);
  Reader r(d.disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  const PFileEntry e = EntriesByPath(r.b).at("\\DATA.BIN");
  d.disc.read_log.clear();
  ASSERT_TRUE(r.b.ExtractFile(e, t.Path("data.bin")));
  EXPECT_EQ(d.disc.read_log, (std::vector<std::pair<uint32_t, uint32_t>>{{30, 31}, {61, 18}}));
  EXPECT_EQ(Text(t.Path("data.bin")), d.Expected());
  struct stat st {};
  ASSERT_EQ(stat(t.Path("data.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1089901806) << "2004-07-15 14:30:06, the record's date";
  EXPECT_TRUE(r.log.Has(">>> EXTRACTING FILE DATA.BIN TO " + t.Path("data.bin"), 1));
  // An empty entry gives an empty file; an entry not on the disc nothing.
  ASSERT_TRUE(r.b.ExtractFile(EntriesByPath(r.b).at("\\EMPTY.TXT"), t.Path("empty.txt")));
  EXPECT_EQ(Text(t.Path("empty.txt")), "");
  TFEntry added = *e;
  added.Imported = 0;
  EXPECT_FALSE(r.b.ExtractFile(&added, t.Path("added.bin")));
  EXPECT_TRUE(r.log.Has("ERROR EXTRACTING FILE DATA.BIN: NOT ON THE DISC", 0));
  EXPECT_TRUE(OnlyFilesAre(t.Path(), {"data.bin", "empty.txt"}));
}

TEST(ExtractFile, AnUnreadableSectorOrAnAbortLeavesNoFileAndKeepsWhatWasThere) {
  TempTree t;
  DataDisc d(200000);
  Reader r(d.disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  const PFileEntry e = EntriesByPath(r.b).at("\\DATA.BIN");
  d.disc.unreadable = {70};
  EXPECT_FALSE(r.b.ExtractFile(e, t.Path("new.bin")));
  EXPECT_TRUE(r.log.Has("ERROR EXTRACTING FILE DATA.BIN: SECTOR 70 UNREADABLE", 0));
  t.File("old.bin", "old contents");
  EXPECT_FALSE(r.b.ExtractFile(e, t.Path("old.bin"), true));
  EXPECT_EQ(Text(t.Path("old.bin")), "old contents");

  d.disc.unreadable.clear();
  int calls = 0;
  r.b.OnExtractProgress = [&](TzqCDBurner*, int64_t done, int64_t total, bool& abort) {
    EXPECT_EQ(total, 200000);
    EXPECT_EQ(done, std::min<int64_t>(++calls * 63488, 200000));
    abort = calls == 2;
  };
  EXPECT_FALSE(r.b.ExtractFile(e, t.Path("old.bin"), true));
  EXPECT_TRUE(r.log.Has("ERROR EXTRACTING FILE DATA.BIN: ABORTED", 0));
  EXPECT_EQ(Text(t.Path("old.bin")), "old contents");
  EXPECT_TRUE(OnlyFilesAre(t.Path(), {"old.bin"})) << "no partial file left behind";
}

TEST(ExtractFile, ExistingTargetsAreReplacedOnlyWhenAsked) {
  TempTree t;
  DataDisc d(5000);
  Reader r(d.disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  const PFileEntry e = EntriesByPath(r.b).at("\\DATA.BIN");
  t.File("kept.bin", "kept");
  EXPECT_THROW(r.b.ExtractFile(e, t.Path("kept.bin"), false), EFCreateError);
  EXPECT_EQ(Text(t.Path("kept.bin")), "kept");
  ASSERT_TRUE(r.b.ExtractFile(e, t.Path("kept.bin"), true));
  EXPECT_EQ(Text(t.Path("kept.bin")), d.Expected());

  // A link at the target is replaced by the file; what it pointed at stays.
  t.File("elsewhere/secret", "secret");
  t.Link("link.bin", t.Path("elsewhere/secret"));
  ASSERT_TRUE(r.b.ExtractFile(e, t.Path("link.bin"), true));
  EXPECT_EQ(Text(t.Path("elsewhere/secret")), "secret");
  EXPECT_EQ(Text(t.Path("link.bin")), d.Expected());

  // A folder, or a target in a folder that does not exist, cannot be created.
  t.Dir("folder");
  EXPECT_THROW(r.b.ExtractFile(e, t.Path("folder"), true), EFCreateError);
  EXPECT_THROW(r.b.ExtractFile(e, t.Path("missing/x.bin"), true), EFCreateError);
  try {
    r.b.ExtractFile(e, t.Path("missing/x.bin"), true);
  } catch (const EFCreateError& err) {
    EXPECT_EQ(err.Error(), ENOENT);
    EXPECT_NE(std::string(err.what()).find("CANNOT CREATE FILE " + t.Path("missing/x.bin")),
              std::string::npos);
  }
}

TEST(SafeHostName, NamesFromADiscBecomeOnePathElement) {
  struct Case {
    std::string name, expected;
  } cases[] = {
      {"notes.txt", "notes.txt"},
      {"Makefile.", "Makefile"},  // the dot the compilation gave it
      {"a...", "a"},
      {".", "_"},
      {"..", "_"},
      {"...", "_"},
      {"", "_"},
      {"../../etc/passwd", ".._.._etc_passwd"},
      {"a\\b", "a_b"},
      {std::string("nul\0in", 6), "nul_in"},
      {"tab\there\n", "tab_here_"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"bad\xFFutf8", "bad\xEF\xBF\xBDutf8"},
      {std::string(254, 'a') + "\xC3\xA9", std::string(254, 'a')},  // never half a character
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(burner::SafeHostName(c.name), c.expected);
  }
}

}  // namespace
