// Editing the compilation: listing, deleting, renaming, copying, clearing
// archive bits, and the indexes that stand in for linear searches.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "burner/name_rules.h"
#include "platform/file_attr.h"
#include "temp_tree.h"

namespace {

std::vector<std::string> Names(PDirEntry dir) {
  std::vector<std::string> out;
  for (PFileEntry e = dir->FirstChild; e != nullptr; e = e->Next) out.push_back(e->LongName);
  return out;
}

// An entry built by hand, as a session import makes them.
int32_t AddRecord(TzqCDBurner& b, PDirEntry dir, const std::string& name, uint32_t size,
                  int32_t imported_sector = 0) {
  TSearchRec rec;
  rec.Name = name;
  rec.SizeLow = size;
  rec.Size = static_cast<int32_t>(size);
  rec.Attr = platform::faArchive;
  rec.Time = static_cast<int32_t>(platform::EncodeDosDateTime({2010, 5, 6, 7, 8, 10, 0}));
  return b.InsertFile(dir, rec, false, imported_sector, imported_sector ? "" : "/src/" + name);
}

TEST(NextEntry, WalksAFolder) {
  TzqCDBurner b;
  int32_t kind = 99;
  PFileEntry cursor = nullptr;
  EXPECT_FALSE(b.NextEntry(b.RootDir(), kind, cursor));
  EXPECT_EQ(cursor, nullptr);
  EXPECT_EQ(kind, 99);
  EXPECT_FALSE(b.NextEntry(nullptr, kind, cursor));
  AddRecord(b, b.RootDir(), "a.txt", 1);
  b.CreateDir(b.RootDir(), "sub", 16);
  std::vector<int32_t> kinds;
  while (b.NextEntry(b.RootDir(), kind, cursor)) kinds.push_back(kind);
  EXPECT_EQ(kinds, (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(cursor->LongName, "sub");
  EXPECT_EQ(kind, 1);
}

TEST(DeleteDir, TheRootStays) {
  TzqCDBurner b;
  AddRecord(b, b.RootDir(), "a.txt", 10);
  for (const char* path : {"\\", "", "\\missing"}) {
    EXPECT_FALSE(b.DeleteDir(path)) << path;
    EXPECT_EQ(b.FilesCount(), 1);
    EXPECT_EQ(b.TotalAddedBytes(), 2048);
  }
}

TEST(DeleteDir, RemovesTheWholeSubtree) {
  TzqCDBurner b;
  AddRecord(b, b.RootDir(), "before.txt", 1);
  PDirEntry docs = b.CreateDir(b.RootDir(), "docs", 16);
  AddRecord(b, b.RootDir(), "after.txt", 1);
  PDirEntry other = b.CreateDir(b.RootDir(), "other", 16);
  AddRecord(b, docs, "1.txt", 1);
  AddRecord(b, docs, "2.txt", 2048);
  AddRecord(b, docs, "3.txt", 2049);
  PDirEntry sub = b.CreateDir(docs, "sub", 16);
  AddRecord(b, sub, "4.txt", 0);
  AddRecord(b, sub, "5.txt", 5000);
  AddRecord(b, other, "6.txt", 1);
  // As if a layout had ordered the folders differently.
  std::reverse(b.IsoDirOrder().begin() + 1, b.IsoDirOrder().end());
  const int32_t dirs = b.DirsCount();
  const int32_t files = b.FilesCount();
  const int64_t bytes = b.TotalAddedBytes();
  // Folder entries carry directory sizes once a layout ran; they never
  // counted toward the total.
  docs->Entry->Size = 2048;
  sub->Entry->Size = 4096;

  ASSERT_TRUE(b.DeleteDir("\\docs\\"));
  EXPECT_EQ(b.DirsCount(), dirs - 2);
  EXPECT_EQ(b.FilesCount(), files - 7);
  EXPECT_EQ(b.TotalAddedBytes(), bytes - (2048 + 2048 + 4096 + 0 + 6144));
  EXPECT_EQ(b.FindDir("\\DOCS"), nullptr);
  EXPECT_EQ(b.FindDir("\\DOCS\\SUB"), nullptr);
  EXPECT_EQ(Names(b.RootDir()), (std::vector<std::string>{"before.txt", "after.txt", "other"}));
  std::vector<std::string> table;
  for (PFileEntry f : b.FileTable()) table.push_back(f->LongName);
  EXPECT_EQ(table, (std::vector<std::string>{"before.txt", "after.txt", "other", "6.txt"}));
  ASSERT_EQ(b.DirTable().size(), 2u);
  EXPECT_EQ(b.DirTable()[1], other);
  EXPECT_EQ(b.IsoDirOrder(), b.DirTable());
  EXPECT_EQ(b.JolietDirOrder(), b.DirTable());
  // The freed places are used again.
  EXPECT_NE(b.CreateDir(b.RootDir(), "docs", 16), nullptr);
  EXPECT_EQ(b.RootDir()->FirstChild->Next->Next->Next->LongName, "docs");
}

TEST(DeleteEntry, FilesAndImportedFiles) {
  TzqCDBurner b;
  AddRecord(b, b.RootDir(), "new.txt", 3000);
  AddRecord(b, b.RootDir(), "old.txt", 3000, 500);
  EXPECT_EQ(b.TotalAddedBytes(), 4096);
  EXPECT_EQ(b.DeleteEntry("\\", "OLD.TXT"), 1);
  EXPECT_EQ(b.TotalAddedBytes(), 4096);
  EXPECT_EQ(b.DeleteEntry("\\", "old.txt"), 0);
  EXPECT_EQ(b.DeleteEntry("\\missing", "new.txt"), 0);
  EXPECT_EQ(b.DeleteEntry("\\", "new.txt"), 1);
  EXPECT_EQ(b.TotalAddedBytes(), 0);
  EXPECT_EQ(b.FilesCount(), 0);
  EXPECT_EQ(b.RootDir()->FirstChild, nullptr);
  // An entry of another folder is not taken out.
  PDirEntry sub = b.CreateDir(b.RootDir(), "sub", 16);
  AddRecord(b, sub, "x.txt", 1);
  EXPECT_EQ(b.RemoveEntry(b.RootDir(), sub->FirstChild), 0);
  EXPECT_EQ(b.RemoveEntry(b.RootDir(), nullptr), 0);
  EXPECT_EQ(b.FilesCount(), 2);
}

TEST(DeleteEntry, FromTheEndOfALongList) {
  TzqCDBurner b;
  for (int i = 0; i < 2000; ++i) AddRecord(b, b.RootDir(), "f" + std::to_string(i) + ".txt", 1);
  for (int i = 1999; i >= 0; i -= 2)
    ASSERT_EQ(b.DeleteEntry("\\", "f" + std::to_string(i) + ".txt"), 1);
  EXPECT_EQ(b.FilesCount(), 1000);
  const auto names = Names(b.RootDir());
  ASSERT_EQ(names.size(), 1000u);
  EXPECT_EQ(names.front(), "f0.txt");
  EXPECT_EQ(names.back(), "f1998.txt");
  EXPECT_EQ(b.FileTable().size(), 1000u);
  EXPECT_EQ(b.FileTable()[1]->LongName, "f2.txt");
}

TEST(RenameEntry, LongAndShortNames) {
  struct Case {
    const char* new_long;
    const char* new_short;
    bool result;
    const char* short_after;
  };
  for (const Case c : {
           Case{"report.txt", "", true, "REPORT.TXT"},
           Case{"x.txt", "abcdefghij.ab", true, "ABCDEFGHIJ.AB"},
           Case{"y.txt", "abcdefghij.abc", false, "OLD.TXT"},
           Case{"caf\xC3\xA9.txt", "", true, "CAF\xC3\xA9.TXT"},
           Case{"a very long name indeed.txt", "", false, "OLD.TXT"},
       }) {
    TzqCDBurner b;
    AddRecord(b, b.RootDir(), "old.txt", 1);
    PFileEntry e = b.RootDir()->FirstChild;
    EXPECT_EQ(b.RenameEntry(e, c.new_long, c.new_short), c.result) << c.new_long;
    EXPECT_EQ(e->LongName, c.new_long);
    EXPECT_EQ(e->ShortName, c.short_after);
    EXPECT_EQ(b.FindEntry(b.RootDir(), c.new_long), e);
    EXPECT_EQ(b.FindEntry(b.RootDir(), "old.txt"), nullptr);
  }
  TzqCDBurner b;
  AddRecord(b, b.RootDir(), "a.txt", 1);
  EXPECT_EQ(b.RenameFile("\\", "A.TXT", "", "b.txt"), 1);
  EXPECT_EQ(b.RenameFile("\\", "a.txt", "", "c.txt"), 0);
  EXPECT_EQ(b.RenameFile("\\none", "b.txt", "", "c.txt"), 0);
  EXPECT_NE(b.FindEntryByPath("\\", "b.TXT"), nullptr);
}

TEST(CopyFile, NewAndImportedEntries) {
  TzqCDBurner b;
  PDirEntry dest = b.CreateDir(b.RootDir(), "dest", 16);
  AddRecord(b, b.RootDir(), "new.txt", 100);
  AddRecord(b, b.RootDir(), "old.txt", 100, 777);
  b.RootDir()->FirstChild->Next->ClearArchive = 1;
  ASSERT_TRUE(b.CopyFile("\\DEST\\", "\\", 0, "old.txt"));
  EXPECT_EQ(b.TotalAddedBytes(), 2048);
  PFileEntry copy = dest->FirstChild;
  EXPECT_EQ(copy->IsoSector, 777);
  EXPECT_EQ(copy->JolietSector, 777);
  EXPECT_EQ(copy->Imported, 1);
  EXPECT_EQ(copy->Size, 100);
  ASSERT_TRUE(b.CopyFile("\\DEST", "\\", 0, "new.txt"));
  EXPECT_EQ(b.TotalAddedBytes(), 4096);
  EXPECT_EQ(copy->Next->SourcePath, "/src/new.txt");
  EXPECT_EQ(copy->Next->Imported, 0);
  ASSERT_TRUE(b.CopyFile("\\DEST", "\\", 55, "new.txt"));
  EXPECT_EQ(dest->LastChild->IsoSector, 55);
  EXPECT_EQ(Names(dest), (std::vector<std::string>{"old.txt", "new.txt", "new.txt"}));
  EXPECT_FALSE(b.CopyFile("\\missing", "\\", 0, "new.txt"));
  EXPECT_FALSE(b.CopyFile("\\DEST", "\\", 0, "none.txt"));
  EXPECT_FALSE(b.CopyFile("\\", "\\", 0, "dest"));  // folder entries are not copied alone
  b.ClearAll(3, 10);
  AddRecord(b, b.RootDir(), "a.txt", 1);
  b.CreateDir(b.RootDir(), "d", 16);
  ASSERT_TRUE(b.CopyFile("\\D", "\\", 0, "a.txt"));
  EXPECT_FALSE(b.CopyFile("\\D", "\\", 0, "a.txt"));  // the table is full
}

TEST(CopyDir, FolderRenameAsTheApplicationDoesIt) {
  TzqCDBurner b;
  PDirEntry parent = b.CreateDir(b.RootDir(), "parent", 16);
  PDirEntry old_dir = b.CreateDir(parent, "old", 16);
  b.CreateDir(parent, "sibling", 16);
  AddRecord(b, old_dir, "a.txt", 10);
  PDirEntry inner = b.CreateDir(old_dir, "inner", 16);
  AddRecord(b, inner, "b.txt", 3000);
  AddRecord(b, inner, "c.txt", 5, 900);
  const int64_t bytes = b.TotalAddedBytes();

  ASSERT_EQ(b.InsertDir("\\PARENT\\", "\\Brand New Name\\", false, true, true, 63, "*.*"), 0);
  ASSERT_TRUE(b.CopyDir("\\PARENT\\Brand New Name\\", "\\PARENT\\old\\", false));
  ASSERT_TRUE(b.DeleteDir("\\PARENT\\old\\"));

  EXPECT_EQ(Names(parent), (std::vector<std::string>{"sibling", "Brand New Name"}));
  PDirEntry renamed = b.FindDir("\\PARENT\\BRAND NEW NAME");
  ASSERT_NE(renamed, nullptr);
  EXPECT_EQ(renamed->ShortName, "BRAND_NEW_NAM");
  EXPECT_EQ(Names(renamed), (std::vector<std::string>{"a.txt", "inner"}));
  PDirEntry copied_inner = b.FindDir("\\PARENT\\BRAND NEW NAME\\INNER");
  ASSERT_NE(copied_inner, nullptr);
  EXPECT_EQ(Names(copied_inner), (std::vector<std::string>{"b.txt", "c.txt"}));
  EXPECT_EQ(copied_inner->LastChild->IsoSector, 900);
  EXPECT_EQ(b.TotalAddedBytes(), bytes);
  EXPECT_EQ(b.DirsCount(), 4);
  EXPECT_EQ(b.FilesCount(), 7);
  EXPECT_FALSE(b.CopyDir("\\X\\", "\\missing\\", false));
}

TEST(CopyDir, NeverIntoItself) {
  TzqCDBurner b;
  PDirEntry a = b.CreateDir(b.RootDir(), "a", 16);
  PDirEntry sub = b.CreateDir(a, "b", 16);
  AddRecord(b, sub, "f.txt", 1);
  const int32_t files = b.FilesCount();
  EXPECT_FALSE(b.CopyDir("\\A\\B\\", "\\A\\", false));
  EXPECT_FALSE(b.CopyDir("\\A\\", "\\A\\", false));
  EXPECT_FALSE(b.CopyDir("\\A\\", "\\", false));
  EXPECT_EQ(b.FilesCount(), files);
  // Into a sibling it works, and the copy does not feed on itself.
  b.CreateDir(b.RootDir(), "c", 16);
  EXPECT_TRUE(b.CopyDir("\\C\\", "\\A\\", false));
  EXPECT_EQ(Names(b.FindDir("\\C\\B")), std::vector<std::string>{"f.txt"});
}

TEST(ClearArchiveBits, OnlyMarkedFilesWithTheBit) {
  TempTree t;
  const std::string marked = t.File("src/marked.txt", "1");
  const std::string unmarked = t.File("src/unmarked.txt", "1");
  const std::string no_bit = t.File("src/nobit.txt", "1");
  if (!platform::FileSetAttr(no_bit, platform::faArchive))
    GTEST_SKIP() << "no user extended attributes here";
  TzqCDBurner b;
  ASSERT_EQ(b.InsertDir("\\", t.Path("src"), true, false, true, 63, "*.*"), 1);
  ASSERT_EQ(b.FilesCount(), 3);
  b.FindEntry(b.RootDir(), "unmarked.txt")->ClearArchive = 0;
  b.FindEntry(b.RootDir(), "nobit.txt")->Attr &= ~platform::faArchive;
  EXPECT_TRUE(b.ClearArchiveBits());
  EXPECT_EQ(platform::FileGetAttr(marked), 0);
  EXPECT_EQ(platform::FileGetAttr(unmarked), platform::faArchive);
  EXPECT_EQ(platform::FileGetAttr(no_bit), platform::faArchive);
  // A second archive-only add leaves out what was written.
  TzqCDBurner again;
  ASSERT_EQ(again.InsertDir("\\", t.Path("src"), true, false, true, 63, "*.*"), 1);
  EXPECT_EQ(again.FindEntry(again.RootDir(), "marked.txt"), nullptr);
  EXPECT_EQ(again.FilesCount(), 2);
}

// The indexes must give exactly what the linear searches give, whatever
// mix of operations came before.
PFileEntry ScanEntry(PDirEntry dir, const std::string& name) {
  for (PFileEntry e = dir->FirstChild; e != nullptr; e = e->Next)
    if (burner::UpperAscii(e->LongName) == burner::UpperAscii(name)) return e;
  return nullptr;
}

PDirEntry ScanDir(TzqCDBurner& b, const std::string& path) {
  if (path.empty() || path == "\\") return b.RootDir();
  std::string p = path;
  if (p.back() == '\\') p.pop_back();
  p = burner::UpperAscii(p);
  const auto& table = b.DirTable();
  for (size_t i = 1; i < table.size(); ++i)
    if (table[i]->Path == p) return table[i];
  return nullptr;
}

TEST(Indexes, MatchTheLinearSearches) {
  std::mt19937 rng(12345);
  const std::vector<std::string> names = {"a.txt", "A.TXT",       "b",   "B.",  "c.d", "Cc",
                                          "x y",   "caf\xC3\xA9", "z.z", "dup", "DUP"};
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  TzqCDBurner b;
  b.ClearAll(400, 60);
  for (int step = 0; step < 4000; ++step) {
    const auto& table = b.DirTable();
    PDirEntry dir = table[pick(table.size())];
    const std::string& name = names[pick(names.size())];
    switch (pick(8)) {
      case 0:
      case 1:
        AddRecord(b, dir, name, static_cast<uint32_t>(pick(5000)));
        break;
      case 2:
        b.CreateDir(dir, name, 16);
        break;
      case 3:
        if (PFileEntry e = ScanEntry(dir, name)) b.RenameEntry(e, names[pick(names.size())], "");
        break;
      case 4:
        b.CopyFile(table[pick(table.size())]->Path, dir->Path, 0, name);
        break;
      case 5:
        if (PFileEntry e = ScanEntry(dir, name)) b.RemoveEntry(dir, e);
        break;
      case 6:
        if (pick(4) == 0) b.DeleteDir(dir->Path);
        break;
      case 7:
        b.ForceDirPath(dir->Path + "\\" + name + "\\" + names[pick(names.size())]);
        break;
    }
    for (PDirEntry d : b.DirTable()) {
      for (const std::string& n : names) ASSERT_EQ(b.FindEntry(d, n), ScanEntry(d, n)) << step;
      for (const char* suffix : {"", "\\"}) {
        const std::string lower = d->Path + suffix;
        ASSERT_EQ(b.FindDir(lower), ScanDir(b, lower)) << step << " " << lower;
      }
      for (const std::string& n : names) {
        const std::string probe = (d == b.RootDir() ? "" : d->Path) + "\\" + n;
        ASSERT_EQ(b.FindDir(probe), ScanDir(b, probe)) << step << " " << probe;
      }
    }
    // Counters and totals agree with the tables.
    int64_t bytes = 0;
    for (PFileEntry f : b.FileTable())
      if (!IsFolderEntry(f) && f->Imported == 0) bytes += RoundUpToSector(f->Size);
    ASSERT_EQ(b.TotalAddedBytes(), bytes) << step;
    ASSERT_EQ(static_cast<size_t>(b.FilesCount()), b.FileTable().size());
    ASSERT_EQ(static_cast<size_t>(b.DirCount()), b.DirTable().size());
  }
}

}  // namespace
