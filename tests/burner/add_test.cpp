// Adding files and folders: names, sizes, duplicates, the folder walk and
// what it does with input it cannot add.

#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "platform/file_attr.h"
#include "temp_tree.h"

namespace {

// A host folder's compilation path as a WithPath add without
// StripSourcePath makes it: /tmp/x/y as \TMP\X\Y.
std::string burner_test_path(const std::string& host) {
  std::string out;
  for (char c : host) {
    if (c == '/')
      out += '\\';
    else
      out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}

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

namespace {

TEST(AddFile, AlternateNameBecomesShortName) {
  TempTree t;
  t.File("longfilename.txt", "x");
  t.File("LONGFI~1.TXT", "y");
  TzqCDBurner b;
  ASSERT_EQ(b.InsertFile("\\", t.Path("longfilename.txt"), false), 1);
  PFileEntry e = b.FindEntry(b.RootDir(), "LONGFILENAME.TXT");
  ASSERT_NE(e, nullptr);
  // LONGFI~1.TXT is taken in that folder by a file of that very name.
  EXPECT_EQ(e->ShortName, "LONGFI~2.TXT");
  EXPECT_EQ(e->LongName, "longfilename.txt");
}

TEST(CreateDir, ShortNamesByName) {
  struct Case {
    const char* name;
    const char* short_name;
    const char* long_name;
    const char* path;
  };
  for (const Case c : {
           Case{"my documents", "MY_DOCUMENTS", "my documents", "\\MY DOCUMENTS"},
           Case{"Program Files (x86)", "PROGRAM_FILES", "Program Files (x86)",
                "\\PROGRAM FILES (X86)"},
           Case{"caf\xC3\xA9", "CAF_", "caf\xC3\xA9", "\\CAF\xC3\xA9"},
           Case{"\\docs\\", "DOCS", "docs", "\\DOCS"},
           Case{"a|b{c}", "A_B_C_", "a|b{c}", "\\A|B{C}"},
           Case{"x\\y", "X_Y", "x_y", "\\X_Y"},
       }) {
    TzqCDBurner b;
    PDirEntry d = b.CreateDir(b.RootDir(), c.name, 16);
    ASSERT_NE(d, nullptr) << c.name;
    EXPECT_EQ(d->ShortName, c.short_name);
    EXPECT_EQ(d->LongName, c.long_name);
    EXPECT_EQ(d->Path, c.path);
    EXPECT_EQ(d->Parent, b.RootDir());
    ASSERT_NE(d->Entry, nullptr);
    EXPECT_EQ(d->Entry->Dir, d);
    EXPECT_EQ(d->Entry->ShortName, c.short_name);
    EXPECT_EQ(d->Entry->Attr, 16);
    EXPECT_EQ(b.FindDir(c.path), d);
    // Creating it again gives the same folder.
    EXPECT_EQ(b.CreateDir(b.RootDir(), c.name, 16), d);
    EXPECT_EQ(b.DirsCount(), 1);
  }
}

TEST(CreateDir, NotOverAFileOfTheSameName) {
  TempTree t;
  t.File("data.d", "x");
  TzqCDBurner b;
  LogLines log(b);
  ASSERT_EQ(b.InsertFile("\\", t.Path("data.d"), false), 1);
  EXPECT_EQ(b.CreateDir(b.RootDir(), "DATA.D", 16), nullptr);
  EXPECT_TRUE(log.Has("A FILE OF THIS NAME IS IN THE FOLDER", 4));
  EXPECT_EQ(b.DirsCount(), 0);
}

TEST(ForceDirPath, CreatesEveryLevel) {
  TzqCDBurner b;
  PDirEntry c = b.ForceDirPath("\\A\\B\\C");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Path, "\\A\\B\\C");
  EXPECT_EQ(c->LongName, "C");
  EXPECT_EQ(c->Parent, b.FindDir("\\A\\B"));
  EXPECT_EQ(b.FindDir("\\A\\B")->Parent, b.FindDir("\\A"));
  EXPECT_EQ(b.DirsCount(), 3);
  EXPECT_EQ(b.ForceDirPath("\\a\\b\\c"), c);

  TzqCDBurner d;
  EXPECT_EQ(d.ForceDirPath("\\x\\y\\"), nullptr);
  ASSERT_NE(d.FindDir("\\X\\Y"), nullptr);
  EXPECT_EQ(d.FindDir("\\X\\Y")->LongName, "y");
  EXPECT_EQ(d.DirsCount(), 2);
  PDirEntry plain = d.ForceDirPath("plain");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain, d.FindDir("\\PLAIN"));
  EXPECT_EQ(d.ForceDirPath(""), d.RootDir());
}

TEST(AddFile, DuplicatesAndReplace) {
  TempTree t;
  const std::string p = t.File("a/report.txt", "12345");
  TzqCDBurner b;
  LogLines log(b);
  ASSERT_EQ(b.InsertFile("\\", p, false), 1);
  ASSERT_EQ(b.InsertFile("\\", t.File("b/other.txt", "1"), false), 1);
  EXPECT_EQ(b.TotalAddedBytes(), 4096);
  EXPECT_EQ(b.InsertFile("\\", p, false), 0);
  EXPECT_EQ(b.TotalAddedBytes(), 4096);
  EXPECT_EQ(b.FilesCount(), 2);
  EXPECT_TRUE(log.Has("FILE ALREADY IN FOLDER: " + p, 4));

  // Replacing keeps the entry's place and counts the new size only.
  t.SizedFile("a/report.txt", 5000);
  b.ReplaceFile = true;
  PFileEntry before = b.RootDir()->FirstChild;
  ASSERT_EQ(b.InsertFile("\\", p, false), 1);
  EXPECT_EQ(b.RootDir()->FirstChild, before);
  EXPECT_EQ(before->Size, 5000);
  EXPECT_EQ(b.TotalAddedBytes(), 6144 + 2048);
  EXPECT_EQ(b.FilesCount(), 2);
  EXPECT_EQ(b.FileTable()[0], before);
}

TEST(AddFile, ReplaceNeverTurnsAFolderIntoAFile) {
  TempTree t;
  const std::string p = t.File("x.y", "1");
  TzqCDBurner b;
  LogLines log(b);
  b.ReplaceFile = true;
  PDirEntry folder = b.CreateDir(b.RootDir(), "x.y", 16);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(b.InsertFile("\\", p, false), 0);
  EXPECT_EQ(folder->Entry->Dir, folder);
  EXPECT_TRUE(log.Has("A FOLDER OF THIS NAME IS IN THE FOLDER", 4));
}

TEST(AddFile, ByPathResults) {
  TempTree t;
  const std::string p = t.File("one.txt", "1");
  t.Dir("folder");
  ASSERT_EQ(mkfifo(t.Path("pipe").c_str(), 0644), 0);
  TzqCDBurner b;
  LogLines log(b);
  EXPECT_EQ(b.InsertFile("\\", t.Path("missing.txt"), false), 255);
  EXPECT_EQ(b.InsertFile("\\nowhere", p, false), 0);
  EXPECT_TRUE(log.Has("INVALID DESTINATION PATH", 4));
  EXPECT_EQ(b.InsertFile("\\", t.Path("folder"), false), 0);
  EXPECT_TRUE(log.Has("A FOLDER CANNOT BE ADDED AS A FILE", 4));
  EXPECT_EQ(b.InsertFile("\\", t.Path("pipe"), false), 0);
  EXPECT_TRUE(log.Has("NOT A REGULAR FILE", 4));
  EXPECT_EQ(b.FilesCount(), 0);
  // A missing source with a path makes no folders.
  b.StripSourcePath = true;
  EXPECT_EQ(b.InsertFile("", t.Path("gone/x.txt"), true), 255);
  EXPECT_EQ(b.DirsCount(), 0);
}

TEST(AddFile, WithPath) {
  TempTree t;
  const std::string p = t.File("data/photos/cat.jpg", "meow");
  TzqCDBurner b;
  b.StripSourcePath = true;
  ASSERT_EQ(b.InsertFile("\\ignored", p, true), 1);
  PDirEntry photos = b.FindDir("\\PHOTOS");
  ASSERT_NE(photos, nullptr);
  EXPECT_EQ(photos->LongName, "photos");
  EXPECT_EQ(Names(photos), std::vector<std::string>{"cat.jpg"});

  TzqCDBurner full;
  ASSERT_EQ(full.InsertFile("", p, true), 1);
  PDirEntry deep = full.FindDir(burner_test_path(t.Path("data/photos")));
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(Names(deep), std::vector<std::string>{"cat.jpg"});
}

TEST(AddDir, NotRecursiveOrNotOnDisk) {
  TempTree t;
  t.File("data/photos/cat.jpg", "meow");
  TzqCDBurner b;
  b.StripSourcePath = true;
  EXPECT_EQ(b.InsertDir("\\", t.Path("data/photos") + "/", false, true, false, 63, "*.*"), 0);
  PDirEntry photos = b.FindDir("\\PHOTOS");
  ASSERT_NE(photos, nullptr);
  EXPECT_EQ(photos->FirstChild, nullptr);
  // The create-folder form: a compilation-style source creates and scans
  // nothing else.
  EXPECT_EQ(b.InsertDir("\\PHOTOS\\", "\\PHOTOS\\New Folder\\", false, true, true, 63, "*.*"), 0);
  ASSERT_NE(b.FindDir("\\PHOTOS\\NEW FOLDER"), nullptr);
  EXPECT_EQ(b.FindDir("\\PHOTOS\\NEW FOLDER")->LongName, "New Folder");
  EXPECT_EQ(b.InsertDir("\\", "\\Renamed\\", false, true, true, 63, "*.*"), 0);
  EXPECT_NE(b.FindDir("\\RENAMED"), nullptr);
  EXPECT_EQ(b.FilesCount(), 3);
  LogLines log(b);
  EXPECT_EQ(b.InsertDir("\\missing", t.Path("data") + "/", false, true, true, 63, "*.*"), 0);
  EXPECT_TRUE(log.Has("INVALID DESTINATION PATH", 4));
}

TEST(AddDir, WithPathUnderAFolder) {
  TempTree t;
  t.File("data/photos/cat.jpg", "meow");
  t.File("data/photos/2004/dog.jpg", "woof");
  for (const bool strip : {true, false}) {
    TzqCDBurner b;
    b.StripSourcePath = strip;
    PDirEntry docs = b.CreateDir(b.RootDir(), "docs", 16);
    ASSERT_EQ(b.InsertDir(docs, t.Path("data/photos") + "/", false, true, true, 63, "*.*"), 1);
    const std::string where =
        strip ? "\\DOCS\\PHOTOS" : "\\DOCS" + burner_test_path(t.Path("data/photos"));
    PDirEntry photos = b.FindDir(where);
    ASSERT_NE(photos, nullptr) << where;
    EXPECT_EQ(Names(photos), (std::vector<std::string>{"cat.jpg", "2004"}));
    ASSERT_NE(b.FindDir(where + "\\2004"), nullptr);
    EXPECT_EQ(Names(b.FindDir(where + "\\2004")), std::vector<std::string>{"dog.jpg"});
  }
}

TEST(AddDir, OnAddDirSkipsAndRenames) {
  TempTree t;
  t.File("src/keep/a.txt", "a");
  t.File("src/skip/b.txt", "b");
  t.File("src/skip/below/c.txt", "c");
  t.File("src/rename/d.txt", "d");
  TzqCDBurner b;
  std::vector<std::string> asked;
  b.OnAddDir = [&](TzqCDBurner* sender, std::string& long_name, std::string& short_name,
                   bool& skip) {
    EXPECT_EQ(sender, &b);
    EXPECT_EQ(short_name, long_name);
    asked.push_back(long_name);
    if (long_name == "skip") skip = true;
    if (long_name == "rename") {
      long_name = "Renamed Folder";
      short_name = "IGNORED";
    }
  };
  ASSERT_EQ(b.InsertDir("\\", t.Path("src") + "/", false, false, true, 63, "*.*"), 1);
  EXPECT_EQ(asked.size(), 3u);
  EXPECT_EQ(b.FindDir("\\SKIP"), nullptr);
  EXPECT_EQ(b.FindDir("\\SKIP\\BELOW"), nullptr);
  ASSERT_NE(b.FindDir("\\KEEP"), nullptr);
  PDirEntry renamed = b.FindDir("\\RENAMED FOLDER");
  ASSERT_NE(renamed, nullptr);
  EXPECT_EQ(renamed->ShortName, "RENAMED_FOLDE");  // the 13-character rule, not the handler's
  // Its files come from the folder on disk, under its own name.
  EXPECT_EQ(Names(renamed), std::vector<std::string>{"d.txt"});
  EXPECT_EQ(b.TotalAddedBytes(), 2 * 2048);
}

TEST(AddFile, OnAddFileSeesAndChanges) {
  TempTree t;
  const std::string p = t.File("in/photo.jpeg", "12345");
  const std::string q = t.File("in/second.txt", "1");
  TzqCDBurner b;
  struct Seen {
    std::string path, long_name, short_name;
    int32_t attr;
    int64_t size;
    bool skip;
  };
  std::vector<Seen> seen;
  b.OnAddFile = [&](TzqCDBurner*, const std::string& full, std::string& long_name,
                    std::string& short_name, TDateTime& date, int32_t attr, int64_t size,
                    bool& skip) {
    seen.push_back({full, long_name, short_name, attr, size, skip});
    if (long_name == "photo.jpeg") {
      long_name = "Picture.jpg";
      short_name = "pic.jpg";
      date = 40000.5;
    }
    if (long_name == "second.txt") skip = true;
  };
  ASSERT_EQ(b.InsertFile("\\", p, false), 1);
  EXPECT_EQ(b.InsertFile("\\", q, false), 0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].path, p);
  EXPECT_EQ(seen[0].long_name, "photo.jpeg");
  EXPECT_EQ(seen[0].short_name, "PHOTO~1.JPE");
  EXPECT_EQ(seen[0].size, 5);
  EXPECT_EQ(seen[0].attr & platform::faArchive, platform::faArchive);
  EXPECT_FALSE(seen[0].skip);
  PFileEntry e = b.RootDir()->FirstChild;
  EXPECT_EQ(e->LongName, "Picture.jpg");
  EXPECT_EQ(e->ShortName, "PIC.JPG");
  EXPECT_DOUBLE_EQ(e->DateTime, 40000.5);
  EXPECT_EQ(b.FindEntry(b.RootDir(), "photo.jpeg"), nullptr);
  EXPECT_EQ(b.FindEntry(b.RootDir(), "PICTURE.JPG"), e);
  EXPECT_EQ(b.FilesCount(), 1);

  // A handler that renames onto a name the folder holds is refused.
  const std::string r = t.File("in/third.txt", "3");
  b.OnAddFile = [](TzqCDBurner*, const std::string&, std::string& long_name, std::string&,
                   TDateTime&, int32_t, int64_t, bool&) { long_name = "picture.JPG"; };
  EXPECT_EQ(b.InsertFile("\\", r, false), 0);
  EXPECT_EQ(b.FilesCount(), 1);
}

TEST(AddFile, LongNamesAndLargeFiles) {
  TempTree t;
  const std::string n127(123, 'n');
  const std::string ok = t.File("in/" + n127 + ".txt", "1");         // 127 characters
  const std::string too_long = t.File("in/" + n127 + "x.txt", "1");  // 128
  // 127 characters but 254 bytes: the rule counts characters.
  std::string wide;
  for (int i = 0; i < 127; ++i) wide += "\xC3\xA9";
  const std::string wide_ok = t.File("in/" + wide, "1");
  const std::string huge = t.SizedFile("in/huge.iso", int64_t{4} << 30);
  const std::string big = t.SizedFile("in/big.iso", (int64_t{3} << 30) + 7);
  // A Joliet record holds a file name of 108 UTF-16 units at most (the
  // record limit of 255 bytes): longer names are refused whatever else.
  const std::string fits = t.File("in/" + std::string(104, 'f') + ".txt", "1");
  TzqCDBurner b;
  LogLines log(b);
  EXPECT_EQ(b.InsertFile("\\", fits, false), 1);
  EXPECT_EQ(b.InsertFile("\\", ok, false), 0);
  EXPECT_EQ(b.InsertFile("\\", too_long, false), 0);
  EXPECT_TRUE(log.Has("NAME TOO LONG", 4));
  EXPECT_EQ(b.InsertFile("\\", wide_ok, false), 0);  // 127 + the appended dot = 128
  EXPECT_EQ(b.InsertFile("\\", huge, false), 0);
  EXPECT_TRUE(log.Has("FILE OF 4 GB OR MORE NOT ADDED: " + huge, 4));
  std::vector<int64_t> sizes;
  b.OnAddFile = [&](TzqCDBurner*, const std::string&, std::string& long_name, std::string&,
                    TDateTime&, int32_t, int64_t size, bool& skip) {
    sizes.push_back(size);
    if (long_name.size() >= 128) skip = false;  // the handler may take a long name after all
  };
  EXPECT_EQ(b.InsertFile("\\", big, false), 1);
  EXPECT_EQ(sizes.back(), (int64_t{3} << 30) + 7);
  EXPECT_EQ(b.FindEntry(b.RootDir(), "big.iso")->Size, (int64_t{3} << 30) + 7);
  EXPECT_EQ(b.InsertFile("\\", too_long, false), 0);  // no handler makes it fit a record
}

TEST(AddDir, ArchiveOnly) {
  TempTree t;
  const std::string set = t.File("src/changed.txt", "1");
  const std::string clear = t.File("src/saved.txt", "2");
  if (!platform::FileSetAttr(clear, 0)) GTEST_SKIP() << "no user extended attributes here";
  TzqCDBurner b;
  ASSERT_EQ(b.InsertDir("\\", t.Path("src"), true, false, true, 63, "*.*"), 1);
  ASSERT_EQ(Names(b.RootDir()), std::vector<std::string>{"changed.txt"});
  EXPECT_EQ(b.RootDir()->FirstChild->ClearArchive, 1);
  EXPECT_EQ(b.TotalAddedBytes(), 2048);
}

TEST(AddDir, WalkGoesOnAfterFilesItCannotAdd) {
  TempTree t;
  // The last file of the first folder is a duplicate of one added before,
  // its neighbour has a name too long; the later subfolders still come in.
  t.File("src/dup.txt", "1");
  t.File("src/first/" + std::string(130, 'z'), "1");
  t.File("src/first/dup.txt", "1");
  t.File("src/second/b.txt", "1");
  t.File("src/third/c.txt", "1");
  TzqCDBurner b;
  LogLines log(b);
  ASSERT_EQ(b.InsertFile("\\", t.Path("src/dup.txt"), false), 1);
  PDirEntry first = b.CreateDir(b.RootDir(), "first", 16);
  ASSERT_EQ(b.InsertFile("\\FIRST", t.Path("src/first/dup.txt"), false), 1);
  EXPECT_EQ(b.InsertDir("\\", t.Path("src"), false, false, true, 63, "*.*"), 1);
  EXPECT_NE(b.FindDir("\\SECOND"), nullptr);
  EXPECT_NE(b.FindDir("\\THIRD"), nullptr);
  EXPECT_EQ(Names(b.FindDir("\\THIRD")), std::vector<std::string>{"c.txt"});
  EXPECT_EQ(Names(first), std::vector<std::string>{"dup.txt"});
  EXPECT_TRUE(log.Has("FILE ALREADY IN FOLDER", 4));
  EXPECT_TRUE(log.Has("NAME TOO LONG", 4));
}

TEST(AddDir, FolderTableFullStopsTheWalk) {
  TempTree t;
  t.File("src/a/1.txt", "1");
  t.File("src/b/2.txt", "1");
  t.File("src/c/3.txt", "1");
  TzqCDBurner b;
  LogLines log(b);
  b.ClearAll(100, 2);
  EXPECT_EQ(b.InsertDir("\\", t.Path("src"), false, false, true, 63, "*.*"), 0);
  EXPECT_EQ(b.DirsCount(), 1);
  EXPECT_TRUE(log.Has("MAXIMUM DIRECTORIES CAN BE 2", 3));
  EXPECT_TRUE(log.Has("ADDING STOPPED", 4));
}

TEST(AddDir, BadInputIsReportedAndTheRestAdded) {
  TempTree t;
  t.File("src/good.txt", "1");
  t.File("src/back\\slash.txt", "1");
  t.File(std::string("src/tab\there.txt"), "1");
  t.File("src/bad\xFE.txt", "1");
  t.File("src/sub/inner.txt", "1");
  t.Link("src/sub/up", t.Path("src"));        // a loop back to the top
  t.Link("src/sub/self", t.Path("src/sub"));  // a loop to itself
  t.Link("src/dangling", t.Path("nowhere"));
  t.Link("src/linked.txt", t.Path("src/good.txt"));
  t.Dir("src/odd\\dir");
  t.File("src/odd\\dir/x.txt", "1");
  ASSERT_EQ(mkfifo(t.Path("src/pipe").c_str(), 0644), 0);
  TzqCDBurner b;
  LogLines log(b);
  ASSERT_EQ(b.InsertDir("\\", t.Path("src"), false, false, true, 63, "*.*"), 1);
  PDirEntry root = b.RootDir();
  for (const char* name :
       {"good.txt", "back_slash.txt", "tab_here.txt", "bad\xEF\xBF\xBD.txt", "linked.txt"})
    EXPECT_NE(b.FindEntry(root, name), nullptr) << name;
  EXPECT_EQ(b.FindEntry(root, "bad\xEF\xBF\xBD.txt")->SourcePath, t.Path("src/bad\xFE.txt"));
  EXPECT_EQ(b.FindEntry(root, "back_slash.txt")->SourcePath, t.Path("src/back\\slash.txt"));
  EXPECT_EQ(b.FindEntry(root, "linked.txt")->Size, 1);
  PDirEntry odd = b.FindDir("\\ODD_DIR");
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(Names(odd), std::vector<std::string>{"x.txt"});
  EXPECT_EQ(b.FindEntry(odd, "x.txt")->SourcePath, t.Path("src/odd\\dir/x.txt"));
  EXPECT_EQ(Names(b.FindDir("\\SUB")), std::vector<std::string>{"inner.txt"});
  EXPECT_EQ(b.DirsCount(), 2);
  EXPECT_TRUE(log.Has("FOLDER LINK LOOP SKIPPED: " + t.Path("src/sub/up"), 4));
  EXPECT_TRUE(log.Has("FOLDER LINK LOOP SKIPPED: " + t.Path("src/sub/self"), 4));
  EXPECT_TRUE(log.Has("CANNOT READ FILE: " + t.Path("src/dangling"), 4));
  EXPECT_TRUE(log.Has("NOT A REGULAR FILE, SKIPPED: " + t.Path("src/pipe"), 4));
  EXPECT_TRUE(log.Has("NAME CHANGED IN THE COMPILATION", 4));
}

class AsNobody {
 public:
  AsNobody() {
    if (geteuid() == 0) setfsuid(65534), setfsgid(65534);
  }
  ~AsNobody() {
    if (geteuid() == 0) setfsuid(0), setfsgid(0);
  }
};

TEST(AddDir, UnreadableFoldersAndFiles) {
  TempTree t;
  chmod(t.Path().c_str(), 0755);
  t.File("src/a/one.txt", "1");
  t.File("src/locked/two.txt", "1");
  t.File("src/z/three.txt", "1");
  t.File("src/secret.txt", "1");
  for (const char* d : {"src", "src/a", "src/z"}) chmod(t.Path(d).c_str(), 0755);
  chmod(t.Path("src/locked").c_str(), 0);
  chmod(t.Path("src/secret.txt").c_str(), 0);
  TzqCDBurner b;
  LogLines log(b);
  {
    AsNobody nobody;
    ASSERT_EQ(b.InsertDir("\\", t.Path("src"), false, false, true, 63, "*.*"), 1);
  }
  EXPECT_EQ(b.FindEntry(b.RootDir(), "secret.txt"), nullptr);
  EXPECT_TRUE(log.Has("CANNOT READ FILE: " + t.Path("src/secret.txt"), 4));
  EXPECT_TRUE(log.Has("CANNOT READ FOLDER: " + t.Path("src/locked"), 4));
  ASSERT_NE(b.FindDir("\\LOCKED"), nullptr);
  EXPECT_EQ(b.FindDir("\\LOCKED")->FirstChild, nullptr);
  EXPECT_EQ(Names(b.FindDir("\\A")), std::vector<std::string>{"one.txt"});
  EXPECT_EQ(Names(b.FindDir("\\Z")), std::vector<std::string>{"three.txt"});
}

TEST(AddFile, DatesFromTheFileSystem) {
  ScopedTimeZone tz("UTC0");
  TempTree t;
  const std::string old_file = t.File("old.txt", "1");
  const std::string new_file = t.File("new.txt", "1");
  t.Touch("old.txt", 0);           // 1970: before what a DOS date holds
  t.Touch("new.txt", 1000000001);  // 2001-09-09 01:46:41
  TzqCDBurner b;
  ASSERT_EQ(b.InsertFile("\\", old_file, false), 1);
  ASSERT_EQ(b.InsertFile("\\", new_file, false), 1);
  EXPECT_DOUBLE_EQ(b.FindEntry(b.RootDir(), "old.txt")->DateTime,
                   platform::EncodeDateTime({1980, 1, 1, 0, 0, 0, 0}));
  EXPECT_DOUBLE_EQ(b.FindEntry(b.RootDir(), "new.txt")->DateTime,
                   platform::EncodeDateTime({2001, 9, 9, 1, 46, 40, 0}));
}

TEST(AddFile, ImportedEntries) {
  TzqCDBurner b;
  TSearchRec rec;
  rec.Name = "old.dat";
  rec.SizeLow = 10000;
  rec.Size = 10000;
  rec.Attr = platform::faArchive;
  rec.Time = static_cast<int32_t>(platform::EncodeDosDateTime({2001, 1, 1, 0, 0, 0, 0}));
  ASSERT_EQ(b.InsertFile(b.RootDir(), rec, false, 1234, ""), 1);
  PFileEntry e = b.RootDir()->FirstChild;
  EXPECT_EQ(e->Imported, 1);
  EXPECT_EQ(e->IsoSector, 1234);
  EXPECT_EQ(e->JolietSector, 1234);
  EXPECT_EQ(e->SourcePath, "");
  EXPECT_EQ(e->ShortName, "OLD.DAT");
  EXPECT_EQ(b.TotalAddedBytes(), 0);
  // An extent of 0 makes an ordinary entry.
  rec.Name = "empty";
  rec.SizeLow = 0;
  ASSERT_EQ(b.InsertFile(b.RootDir(), rec, false, 0, ""), 1);
  EXPECT_EQ(b.FindEntry(b.RootDir(), "EMPTY.")->Imported, 0);
}

}  // namespace
