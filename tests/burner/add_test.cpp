// Adding files and folders: names, sizes, duplicates, the folder walk and
// what it does with input it cannot add.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "platform/file_attr.h"
#include "temp_tree.h"

namespace {

// Long names of a folder's list, in order.
std::vector<std::string> Names(PDirEntry dir) {
  std::vector<std::string> out;
  for (PFileEntry e = dir->FirstChild; e != nullptr; e = e->Next) out.push_back(e->LongName);
  return out;
}

TEST(AddFile, NamesFromTheSearchRecord) {
  TempTree t;
  struct Case {
    const char* name;
    const char* short_name;
    const char* long_name;
  };
  const std::vector<Case> cases = {
      {"notes.txt", "NOTES.TXT", "notes.txt"},
      {"Makefile", "MAKEFILE.", "Makefile."},
      {"README", "README.", "README."},
      {"longfilename.txt", "LONGFI~1.TXT", "longfilename.txt"},
      {"a.b.c", "AB~1.C", "a.b.c"},
      {"café.txt", "CAF_~1.TXT", "café.txt"},
  };
  for (const Case& c : cases) {
    TzqCDBurner b;
    t.File(c.name, "x");
    ASSERT_EQ(b.InsertFile("\\", t.Path(c.name), false), 1) << c.name;
    PFileEntry e = b.RootDir()->FirstChild;
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->ShortName, c.short_name) << c.name;
    EXPECT_EQ(e->LongName, c.long_name) << c.name;
    EXPECT_EQ(e->SourcePath, t.Path(c.name));
    EXPECT_EQ(e->Imported, 0);
    EXPECT_EQ(e->Dir, nullptr);
  }
}

TEST(AddFile, TotalAddedBytesRoundsToSectors) {
  TempTree t;
  struct Case {
    int64_t size, added;
  };
  for (const Case c : {Case{1, 2048}, Case{0, 0}, Case{4097, 6144}, Case{2048, 2048}}) {
    TzqCDBurner b;
    const std::string p = t.SizedFile("f" + std::to_string(c.size), c.size);
    ASSERT_EQ(b.InsertFile("\\", p, false), 1);
    EXPECT_EQ(b.TotalAddedBytes(), c.added) << c.size;
    EXPECT_EQ(b.RootDir()->FirstChild->Size, c.size);
    EXPECT_EQ(b.RootDir()->FirstChild->JolietSize, c.size);
  }
}

TEST(AddDir, WalksFilesThenSubfolders) {
  TempTree t;
  t.File("src/one.txt", "1");
  t.File("src/sub/two.txt", "22");
  t.File("src/sub/deeper/three.txt", "333");
  t.File("src/my documents/four.txt", "4444");
  TzqCDBurner b;
  b.StripSourcePath = true;
  ASSERT_EQ(b.InsertDir("\\", t.Path("src") + "/", false, true, true, 63, "*.*"), 1);
  PDirEntry src = b.FindDir("\\SRC");
  ASSERT_NE(src, nullptr);
  EXPECT_EQ(src->LongName, "src");
  ASSERT_NE(b.FindDir("\\src\\sub\\deeper"), nullptr);
  PDirEntry docs = b.FindDir("\\SRC\\MY DOCUMENTS");
  ASSERT_NE(docs, nullptr);
  EXPECT_EQ(docs->ShortName, "MY_DOCUMENTS");
  EXPECT_EQ(Names(docs), std::vector<std::string>{"four.txt"});
  EXPECT_EQ(b.DirsCount(), 4);
  EXPECT_EQ(b.FilesCount(), 8);
  EXPECT_EQ(b.TotalAddedBytes(), 4 * 2048);
  // Files of a folder come before its subfolders.
  ASSERT_NE(src->FirstChild, nullptr);
  EXPECT_EQ(src->FirstChild->LongName, "one.txt");
}

}  // namespace
