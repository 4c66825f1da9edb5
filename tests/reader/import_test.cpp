// Session import from a disc in memory: what the system's own images give
// back, which session is read, and the messages when there is nothing to
// read.

#include <gtest/gtest.h>

#include <string>

#include "burner/cd_burner.h"
#include "platform/file_attr.h"
#include "reader_fixture.h"
#include "temp_tree.h"

namespace {

using namespace reader_test;

// A tree with names beyond 8.3, a hidden file, an empty file, an empty
// folder, and a folder followed by more entries of its parent (the parent
// must go on where it was once the subfolder has been read).
void MakeTree(TempTree& t) {
  t.File("src/My Document.doc", "document");
  t.File("src/a/deep/x.bin", std::string(5000, 'x'));
  t.File("src/a/after-deep.txt", "after");
  t.File("src/.hidden.txt", "hidden");
  t.File("src/empty.txt", "");
  t.Dir("src/empty folder");
  t.File("src/z last.txt", std::string(70000, 'z'));
  t.Touch("src/My Document.doc", 1089901805);  // 2004-07-15 14:30:05 UTC
}

struct Written {
  TzqCDBurner writer;
  std::string image;
};

void WriteTree(TempTree& t, Written& w, bool joliet = true) {
  w.writer.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  w.writer.JolietFileSystem = joliet;
  w.writer.StripSourcePath = true;
  ASSERT_EQ(
      w.writer.InsertDir(w.writer.RootDir(), t.Path("src") + "/", false, false, true, 63, "*.*"),
      1);
  w.image = t.Path("out.iso");
  ASSERT_TRUE(SaveImage(w.writer, w.image));
}

TEST(ImportSession, OwnImageComesBackWithNamesSizesDatesFlagsAndExtents) {
  ScopedTimeZone tz("UTC");
  TempTree t;
  MakeTree(t);
  Written w;
  WriteTree(t, w);
  MemoryDisc disc;
  disc.bytes = ReadBytes(w.image);
  Reader r(disc);
  ASSERT_TRUE(r.b.ImportSession(-1, nullptr));

  const auto want = EntriesByPath(w.writer);
  const auto got = EntriesByPath(r.b);
  ASSERT_EQ(got.size(), want.size());
  for (const auto& [path, e] : want) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(got.contains(path));
    const PFileEntry g = got.at(path);
    EXPECT_EQ(g->Attr & (platform::faHidden | platform::faDirectory),
              e->Attr & (platform::faHidden | platform::faDirectory));
    EXPECT_EQ(g->DateTime, e->DateTime);
    if (e->Dir != nullptr) {
      EXPECT_NE(g->Dir, nullptr);
      EXPECT_EQ(g->Imported, 0);
      continue;
    }
    EXPECT_EQ(g->Size, e->Size);
    EXPECT_TRUE(g->SourcePath.empty());
    if (e->Size == 0) {
      EXPECT_EQ(g->Imported, 0) << "an empty file is an ordinary empty entry";
    } else {
      EXPECT_EQ(g->Imported, 1);
      EXPECT_EQ(g->IsoSector, w.writer.FirstFileSector + e->IsoSector);
      EXPECT_EQ(g->JolietSector, g->IsoSector);
    }
  }
  // Short names follow the 13-character rule of folders.
  EXPECT_EQ(got.at("\\My Document.doc")->ShortName, "MY_DOCUMENT.D");
  EXPECT_EQ(got.at("\\a\\after-deep.txt")->ShortName, "AFTER-DEEP.TX");
  EXPECT_EQ(r.b.TotalAddedBytes(), 0) << "imported data is already on the disc";
  EXPECT_TRUE(r.log.Has(">>> IMPORTING SESSION # 1", 1));
}

TEST(ImportSession, IsoOnlyImageGivesIsoNamesWithoutVersion) {
  TempTree t;
  t.File("src/readme.txt", "read me");
  t.File("src/Makefile", "all:");
  Written w;
  WriteTree(t, w, false);
  MemoryDisc disc;
  disc.bytes = ReadBytes(w.image);
  Reader r(disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  const auto got = EntriesByPath(r.b);
  EXPECT_TRUE(got.contains("\\README.TXT"));
  EXPECT_TRUE(got.contains("\\MAKEFILE.")) << "the name as recorded, MAKEFILE.;1";
  EXPECT_EQ(got.size(), 2u);
}

TEST(ImportSession, SessionNumberPicksTheSessionAndLargeNumbersTheLast) {
  struct Case {
    int8_t asked;
    std::string file;
  } cases[] = {{1, "in-session1.txt"},
               {2, "in-session2.txt"},
               {-1, "in-session3.txt"},
               {9, "in-session3.txt"},
               {3, "in-session3.txt"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.asked});
    TempTree tt;
    MemoryDisc disc;
    disc.sessions.clear();
    for (int s = 1; s <= 3; ++s) {
      const std::string name = "session" + std::to_string(s);
      tt.File(name + "/in-" + name + ".txt", name);
      SessionWriter writer;
      writer.Start = (s - 1) * 1000;
      writer.StripSourcePath = true;
      writer.InsertDir(writer.RootDir(), tt.Path(name) + "/", false, false, true, 63, "*.*");
      PlaceSession(disc, writer, tt);
    }
    Reader r(disc);
    ASSERT_TRUE(r.b.ImportSession(c.asked, nullptr));
    const auto got = EntriesByPath(r.b);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got.begin()->first, "\\" + c.file);
  }
}

TEST(ImportSession, NothingToReadSaysWhy) {
  // No session: nothing imported, no message.
  {
    MemoryDisc disc;
    disc.sessions.clear();
    Reader r(disc);
    EXPECT_FALSE(r.b.ImportSession(-1, nullptr));
    EXPECT_TRUE(r.log.lines.empty());
  }
  // A session without any file system.
  {
    MemoryDisc disc;
    disc.Sector(60);
    Reader r(disc);
    EXPECT_FALSE(r.b.ImportSession(1, nullptr));
    EXPECT_TRUE(r.log.Has(">>> ERROR IMPORTING SESSION 1 (ISO IMAGE NOT FOUND)", 4));
  }
}

}  // namespace
