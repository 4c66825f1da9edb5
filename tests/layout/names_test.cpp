// ISO names that stay distinct within a folder, and names too long for a
// directory record, refused when added (or, when they got in by a rename,
// when laid out).

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "burner/iso_names.h"
#include "image_bytes.h"
#include "layout_fixtures.h"
#include "temp_tree.h"

namespace {

using namespace image_bytes;
using layout_fixtures::AddFile;
using layout_fixtures::AddFolder;

std::vector<std::string> IsoIds(const TzqCDBurner& b, PDirEntry d) {
  std::vector<std::string> out;
  const auto records = Records(b.HeaderStream.Bytes().subspan(
      size_t(b.IsoDirsSector + d->IsoSector) * kSector, size_t(d->IsoSize)));
  for (size_t i = 2; i < records.size(); ++i) out.push_back(Ascii(records[i].id));
  return out;
}

TEST(IsoNames, LaterEntriesOfOneNameGetNumberedNames) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>>
        entries;  // long name, short name; "/" = folder
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {"folders cut to 13 characters",
       {{"/Program Files A", ""}, {"/Program Files B", ""}},
       {"PROGRAM_FILES", "PROGRAM_FIL~2"}},
      {"8.3 names from different source folders",
       {{"longfilename one.txt", "LONGFI~1.TXT"}, {"longfilename two.txt", "LONGFI~1.TXT"}},
       {"LONGFI~1.TXT;1", "LONGFI~2.TXT;1"}},
      {"a number a later entry holds is passed over",
       {{"a1.txt", "X~1.TXT"}, {"a2.txt", "X~1.TXT"}, {"a3.txt", "X~2.TXT"}},
       {"X~1.TXT;1", "X~3.TXT;1", "X~2.TXT;1"}},
      {"a file NAME. and a folder NAME meet where readers drop the dot",
       {{"/notes", ""}, {"notes", "NOTES"}},
       {"NOTES", "NOTES~2.;1"}},
      {"eight characters keep eight",
       {{"abcdefgh.txt", "ABCDEFGH.TXT"}, {"abcdefgh.text", "ABCDEFGH.TXT"}},
       {"ABCDEFGH.TXT;1", "ABCDEF~2.TXT;1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TzqCDBurner b;
    b.ClearAll(100, 10);
    for (const auto& [name, short_name] : c.entries) {
      if (name[0] == '/')
        ASSERT_NE(AddFolder(b, b.RootDir(), name.substr(1), short_name), nullptr);
      else
        ASSERT_NE(AddFile(b, b.RootDir(), name, 1, short_name), nullptr);
    }
    ASSERT_TRUE(b.Prepare(true));
    EXPECT_EQ(IsoIds(b, b.RootDir()), c.ids);
  }
}

TEST(IsoNames, NumberedFoldersKeepPathTableAndRecordsInStep) {
  TzqCDBurner b;
  PDirEntry first = AddFolder(b, b.RootDir(), "Documents and Settings");
  PDirEntry second = AddFolder(b, b.RootDir(), "Documents and Pictures");
  ASSERT_TRUE(b.Prepare(true));
  EXPECT_EQ(first->ShortName, "DOCUMENTS_AND");
  EXPECT_EQ(second->ShortName, "DOCUMENTS_A~2");
  EXPECT_EQ(second->Entry->ShortName, second->ShortName);
  // The path table sorts by the names the records carry.
  EXPECT_EQ(first->Number, 2);
  EXPECT_EQ(second->Number, 3);
  const auto table = SectorOf(b.HeaderStream.Bytes(), size_t(b.IsoPathLSector));
  EXPECT_EQ(Text(table, 18, 13), "DOCUMENTS_AND");
  EXPECT_EQ(Text(table, 40, 13), "DOCUMENTS_A~2");
  EXPECT_EQ(IsoIds(b, b.RootDir()), (std::vector<std::string>{"DOCUMENTS_AND", "DOCUMENTS_A~2"}));
  // A second layout finds nothing more to number.
  ASSERT_TRUE(b.Prepare(true));
  EXPECT_EQ(first->ShortName, "DOCUMENTS_AND");
  EXPECT_EQ(second->ShortName, "DOCUMENTS_A~2");
}

TEST(IsoNames, ManyClashesStayDistinct) {
  TzqCDBurner b;
  b.JolietFileSystem = false;
  for (int i = 0; i < 150; ++i)
    AddFile(b, b.RootDir(), "file" + std::to_string(i) + ".txt", 0, "FILE~1.TXT");
  ASSERT_TRUE(b.Prepare(true));
  const std::vector<std::string> ids = IsoIds(b, b.RootDir());
  ASSERT_EQ(ids.size(), 150u);
  const std::set<std::string> distinct(ids.begin(), ids.end());
  EXPECT_EQ(distinct.size(), 150u);
  EXPECT_EQ(ids[1], "FILE~2.TXT;1");
  EXPECT_EQ(ids[149], "FILE~150.TXT;1");
  for (const std::string& id : ids) EXPECT_LE(id.find('.'), 8u) << id;
}

TEST(NameLimits, RecordsOver255BytesAreRefusedWhenAdded) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
  std::string emoji_52, emoji_53;
  for (int i = 0; i < 52; ++i) emoji_52 += emoji;
  emoji_53 = emoji_52 + emoji;
  struct Case {
    std::string name;
    bool folder;
    bool added;
  };
  const Case cases[] = {
      {std::string(104, 'a') + ".txt", false, true},   // 108 units + ";1"
      {std::string(105, 'a') + ".txt", false, false},  // 109 units
      {emoji_52 + ".txt", false, true},                // 104 + 4 units
      {emoji_53 + ".txt", false, false},               // 57 characters, 110 units
      {std::string(110, 'd'), true, true},
      {std::string(111, 'd'), true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.size());
    TempTree tree;
    if (c.folder)
      tree.File(c.name + "/inside.txt", "x");
    else
      tree.File(c.name, "x");
    TzqCDBurner b;
    LogLines log(b);
    b.InsertDir(b.RootDir(), tree.Path() + "/", false, false, true, 63, "*.*");
    EXPECT_EQ(b.FindEntry(b.RootDir(), c.name) != nullptr, c.added);
    EXPECT_EQ(log.Has("NAME TOO LONG"), !c.added);
    ASSERT_TRUE(b.Prepare(true));
  }
}

TEST(NameLimits, IsoIdentifierOver221BytesIsRefused) {
  for (const size_t length : {219u, 220u}) {
    TzqCDBurner b;
    LogLines log(b);
    const std::string short_name = std::string(length - 4, 'S') + ".TXT";
    b.OnAddFile = [&](TzqCDBurner*, const std::string&, std::string&, std::string& Short,
                      TDateTime&, int32_t, int64_t, bool&) { Short = short_name; };
    const bool added = AddFile(b, b.RootDir(), "s.txt", 1) != nullptr;
    EXPECT_EQ(added, length == 219) << "identifier of " << length + 2 << " bytes";
    EXPECT_EQ(log.Has("NAME TOO LONG"), !added);
    if (added) {
      ASSERT_TRUE(b.Prepare(true));
      const auto records = Records(b.HeaderStream.Bytes().subspan(23 * kSector, kSector));
      EXPECT_EQ(records[2].length, 33 + 221);
    }
  }
}

TEST(NameLimits, PrepareRefusesANameRenamedPastTheLimit) {
  TzqCDBurner b;
  LogLines log(b);
  PFileEntry e = AddFile(b, b.RootDir(), "short.txt", 1);
  ASSERT_NE(e, nullptr);
  b.RenameEntry(e, std::string(120, 'r') + ".txt", "");
  EXPECT_FALSE(b.Prepare(true));
  EXPECT_TRUE(log.Has("NAME TOO LONG FOR THE IMAGE: \\" + std::string(120, 'r') + ".txt"));
  EXPECT_EQ(b.HeaderStream.Size(), 0);
  // Without Joliet only the ISO name counts.
  b.JolietFileSystem = false;
  EXPECT_TRUE(b.Prepare(true));
}

}  // namespace
