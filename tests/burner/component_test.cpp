// The component as a whole: construction, properties, tables and limits.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "temp_tree.h"

namespace {

TEST(Component, StartsWithRootAndDefaults) {
  TzqCDBurner b;
  EXPECT_EQ(b.DirsCount(), 0);
  EXPECT_EQ(b.FilesCount(), 0);
  EXPECT_EQ(b.Version(), "1.1.7");
  EXPECT_EQ(b.CacheSize(), 4194304);
  EXPECT_TRUE(b.JolietFileSystem);
  EXPECT_TRUE(b.FinalizeTrack);
  EXPECT_TRUE(b.WritePostGap);
  EXPECT_TRUE(b.UnderrunProtection);
  EXPECT_FALSE(b.FinalizeDisc);
  EXPECT_FALSE(b.TestWrite);
  EXPECT_FALSE(b.PerformOPC);
  EXPECT_FALSE(b.ReplaceFile);
  EXPECT_FALSE(b.StripSourcePath);
  EXPECT_FALSE(b.Erasing());
  EXPECT_EQ(b.HeaderStream.Size(), 0);
  EXPECT_EQ(b.TotalAddedBytes(), 0);
  EXPECT_EQ(b.MaxFiles(), 65535);
  EXPECT_EQ(b.MaxDirs(), 8191);
  for (const std::string path : {"", "\\"}) {
    PDirEntry root = b.FindDir(path);
    ASSERT_NE(root, nullptr) << path;
    EXPECT_EQ(root, b.RootDir());
    EXPECT_EQ(root->ShortName, "CD_ROOT");
    EXPECT_EQ(root->LongName, "CD Root Directory");
    EXPECT_EQ(root->Path, "\\");
    EXPECT_EQ(root->Parent, root);
    EXPECT_EQ(root->FirstChild, nullptr);
  }
  ASSERT_EQ(b.DirTable().size(), 1u);
  EXPECT_EQ(b.DirTable()[0], b.RootDir());
  EXPECT_EQ(b.IsoDirOrder()[0], b.RootDir());
  EXPECT_EQ(b.JolietDirOrder()[0], b.RootDir());
}

TEST(Component, CacheSizeAndVersionSetters) {
  struct Case {
    int32_t set, stored;
  };
  for (const Case c : {Case{1000000, 2097152}, Case{5000000, 4999168}, Case{2097152, 2097152},
                       Case{2097153, 2097152}, Case{-5, 2097152}, Case{8388608, 8388608}}) {
    TzqCDBurner b;
    b.SetCacheSize(c.set);
    EXPECT_EQ(b.CacheSize(), c.stored) << c.set;
  }
  TzqCDBurner b;
  b.SetVersion("2.0");
  EXPECT_EQ(b.Version(), "1.1.7");
}

TEST(Component, ImageSectorsPostGap) {
  struct Case {
    bool post_gap;
    int64_t session, shown;
  };
  for (const Case c :
       {Case{true, 170, 300}, Case{false, 170, 170}, Case{true, 300, 300}, Case{true, 301, 301},
        Case{true, -4, 300}, Case{false, -4, -4}, Case{true, 0, 300}}) {
    TzqCDBurner b;
    b.WritePostGap = c.post_gap;
    b.SessionSectors = c.session;
    EXPECT_EQ(b.ImageSectors(), c.shown) << c.post_gap << " " << c.session;
  }
}

TEST(Component, DirectoryTableLimit) {
  TzqCDBurner b;
  LogLines log(b);
  ASSERT_TRUE(b.ClearAll(10, 2));
  PDirEntry a = b.CreateDir(b.RootDir(), "a", 16);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(b.CreateDir(b.RootDir(), "b", 16), nullptr);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].text, ">>> MAXIMUM DIRECTORIES CAN BE 2");
  EXPECT_EQ(log.lines[0].type, 3);
  EXPECT_EQ(b.DirsCount(), 1);
  EXPECT_EQ(b.FilesCount(), 1);
}

TEST(Component, FileTableLimit) {
  TzqCDBurner b;
  LogLines log(b);
  ASSERT_TRUE(b.ClearAll(3, 10));
  TempTree t;
  for (const char* n : {"a.txt", "b.txt", "c.txt", "d.txt"}) t.File(n, "x");
  for (const char* n : {"a.txt", "b.txt", "c.txt"})
    EXPECT_EQ(b.InsertFile("\\", t.Path(n), false), 1);
  EXPECT_EQ(b.InsertFile("\\", t.Path("d.txt"), false), 0);
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines.back().text, "MAXIMUM FILES CAN BE 3");
  EXPECT_EQ(log.lines.back().type, 3);
  EXPECT_EQ(b.FilesCount(), 3);
  // A folder needs a file entry too: with the file table full it is not
  // made, and its directory slot is not left behind.
  EXPECT_EQ(b.CreateDir(b.RootDir(), "sub", 16), nullptr);
  EXPECT_EQ(b.DirsCount(), 0);
  EXPECT_EQ(b.DirTable().size(), 1u);
}

TEST(Component, ClearAllKeepsARoot) {
  TzqCDBurner b;
  ASSERT_TRUE(b.ClearAll(0, 0));
  ASSERT_NE(b.RootDir(), nullptr);
  EXPECT_EQ(b.FindDir("\\"), b.RootDir());
  EXPECT_EQ(b.MaxDirs(), 1);
  EXPECT_EQ(b.CreateDir(b.RootDir(), "a", 16), nullptr);
}

TEST(Component, ClearAllEmptiesEverything) {
  TzqCDBurner b;
  TempTree t;
  t.File("a/b/c.txt", "12345");
  ASSERT_EQ(b.InsertDir("\\", t.Path("a") + "/", false, true, true, 63, "*.*"), 1);
  const uint8_t bytes[3] = {1, 2, 3};
  b.HeaderStream.Append(bytes);
  ASSERT_GT(b.FilesCount(), 0);
  ASSERT_TRUE(b.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs));
  EXPECT_EQ(b.DirsCount(), 0);
  EXPECT_EQ(b.FilesCount(), 0);
  EXPECT_EQ(b.TotalAddedBytes(), 0);
  EXPECT_EQ(b.HeaderStream.Size(), 0);
  EXPECT_EQ(b.FindDir("\\A"), nullptr);
  EXPECT_EQ(b.MaxFiles(), 600000);
  EXPECT_EQ(b.MaxDirs(), 20000);
  EXPECT_EQ(b.RootDir()->FirstChild, nullptr);
}

TEST(Component, FindDirByPath) {
  TzqCDBurner b;
  PDirEntry docs = b.CreateDir(b.RootDir(), "docs", 16);
  PDirEntry y2004 = b.CreateDir(docs, "2004", 16);
  ASSERT_NE(y2004, nullptr);
  EXPECT_EQ(docs->Path, "\\DOCS");
  EXPECT_EQ(y2004->Path, "\\DOCS\\2004");
  struct Case {
    const char* path;
    PDirEntry want;
  };
  for (const Case c :
       {Case{"\\docs\\", docs}, Case{"\\DOCS", docs}, Case{"\\Docs", docs}, Case{"docs", nullptr},
        Case{"\\docs\\\\", nullptr}, Case{"\\docs\\2004\\", y2004}, Case{"\\\\", nullptr},
        Case{"\\docs\\2005", nullptr}}) {
    EXPECT_EQ(b.FindDir(c.path), c.want) << c.path;
  }
}

TEST(Component, TimeZoneOffsetFromBias) {
  struct Case {
    int32_t bias;
    int16_t offset;
  };
  for (const Case c : {Case{-60, 4}, Case{-330, 22}, Case{300, -20}, Case{-345, 23}, Case{0, 0},
                       Case{-20, 1}, Case{20, -1}}) {
    EXPECT_EQ(platform::TimeZoneOffsetFromBias(c.bias), c.offset) << c.bias;
  }
}

TEST(Component, TimeZoneOffsetIsStandardTime) {
  // Central Europe: one hour ahead in winter, two in summer; the offset is
  // the standard one whatever the season.
  ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
  TzqCDBurner b;
  EXPECT_EQ(b.TimeZoneOffset(), 4);
  ScopedTimeZone tz2("NPT-5:45");
  b.ClearAll(10, 10);
  EXPECT_EQ(b.TimeZoneOffset(), 23);
}

TEST(Component, LogChannelReachesWindowAndHandler) {
  TzqCDBurner b;
  struct Sink : TDebugWindow {
    std::vector<std::string> lines;
    void AddLine(const std::string& line) override { lines.push_back(line); }
  } sink;
  b.DebugWindow = &sink;
  LogLines log(b);
  b.ClearAll(10, 1);
  EXPECT_EQ(b.CreateDir(b.RootDir(), "a", 16), nullptr);
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0], ">>> MAXIMUM DIRECTORIES CAN BE 1");
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].text, sink.lines[0]);
}

TEST(HeaderStream, WriteReadSeek) {
  THeaderStream s;
  const uint8_t a[4] = {1, 2, 3, 4};
  s.Write(a, 4);
  EXPECT_EQ(s.Size(), 4);
  EXPECT_EQ(s.Position(), 4);
  s.Seek(2);
  s.Write(a, 4);
  EXPECT_EQ(s.Size(), 6);
  s.Seek(0);
  uint8_t out[8] = {};
  EXPECT_EQ(s.Read(out, 8), 6u);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2], 1);
  EXPECT_EQ(out[5], 4);
  s.SetSize(2048);
  EXPECT_EQ(s.Bytes()[2047], 0);
  s.Seek(99999);
  EXPECT_EQ(s.Position(), 2048);
  s.Clear();
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Position(), 0);
}

}  // namespace
