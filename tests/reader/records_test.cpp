// Volumes crafted byte by byte: system use areas, the XA block, records
// whose lengths do not add up, loops, deep nesting, unreadable sectors,
// files the compilation cannot hold, odd names and dates. Each must import
// what can be imported, leave out the rest with a log line, and end.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "burner/iso_read.h"
#include "platform/date_time.h"
#include "reader_fixture.h"
#include "volume_builder.h"

namespace {

using namespace reader_test;
using namespace volume;

// Names of an import's tree, depth first, "/" after a folder.
std::vector<std::string> Names(TzqCDBurner& b) {
  std::vector<std::string> out;
  for (const auto& [path, e] : EntriesByPath(b)) out.push_back(path + (e->Dir != nullptr ? "/" : ""));
  return out;
}

using V = std::vector<std::string>;

TEST(ImportRecords, SystemUseAreasAreSteppedOverByTheRecordLength) {
  // Rock Ridge style areas after every identifier ("." carrying SP and a
  // long CE/ER area, files carrying NM, PX and TF entries), and CD-ROM XA
  // blocks inside records and once between two records.
  MemoryDisc disc;
  PutVolume(disc, 20);
  Bytes rr_dot(120, 0x52), rr_file(60, 0x4E);
  rr_dot[0] = 'S', rr_dot[1] = 'P', rr_dot[2] = 7, rr_dot[3] = 1, rr_dot[4] = 0xBE,
  rr_dot[5] = 0xEF;
  const Bytes xa = {0, 0, 0, 0, 0x0D, 0x55, 'X', 'A', 1, 0, 0, 0, 0, 0};
  Rec dot = Dot(20);
  dot.system_use = rr_dot;
  Rec a = File(Ascii("A.TXT;1"), 30, 5);
  a.system_use = rr_file;
  Rec b = File(Ascii("B.TXT;1"), 31, 6);
  b.system_use = xa;
  Rec c = File(Ascii("C.TXT;1"), 32, 7);
  // The length byte leaves the XA block that follows outside the record.
  Rec d = File(Ascii("D.TXT;1"), 33, 8);
  std::vector<Bytes> recs = Encoded({dot, DotDot(20), a, b, c});
  recs.push_back(xa);
  recs.push_back(Encode(d));
  PutDirectory(disc, 20, recs);
  disc.Sector(40);
  Reader r(disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  EXPECT_EQ(Names(r.b), (V{"\\A.TXT", "\\B.TXT", "\\C.TXT", "\\D.TXT"}));
  EXPECT_TRUE(r.log.lines.size() == 1) << r.log.lines.back().text;  // the progress line only
}

TEST(ImportRecords, BadRecordsEndThemselvesOrTheirSectorWithALogLine) {
  MemoryDisc disc;
  PutVolume(disc, 20, 0, 2 * 2048);
  // A length byte shorter than the identifier: left out, and the next
  // record found where the identifier ends.
  Rec short_length = File(Ascii("SHORT.TXT;1"), 30, 1);
  short_length.length = 40;
  Rec empty_id = File(Bytes{}, 30, 1);
  // Seven records of 255 bytes bring the next one to offset 2019, where
  // not even its fixed part fits: the sector ends there, and the next
  // sector is read as usual.
  std::vector<Rec> recs = {Dot(20, 4096), DotDot(20, 4096),
                           short_length,  File(Ascii("AFTER.TXT;1"), 31, 2),
                           empty_id,      File(Ascii("NEXT.TXT;1"), 32, 3)};
  for (int i = 0; i < 7; ++i) {
    recs.push_back(File(Ascii("PAD" + std::to_string(i) + ".TXT;1"), 33, 1));
    recs.back().system_use.assign(211, 0xEE);
  }
  PutDirectory(disc, 20, Encoded(recs));
  const Bytes cut = Encode(File(Ascii("CUT.TXT;1"), 30, 1));
  std::memcpy(disc.Sector(20) + 2019, cut.data(), 29);
  PutDirectory(disc, 21, Encoded({File(Ascii("SECOND.TXT;1"), 33, 4)}));
  disc.Sector(40);
  Reader r(disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  EXPECT_EQ(Names(r.b),
            (V{"\\AFTER.TXT", "\\NEXT.TXT", "\\PAD0.TXT", "\\PAD1.TXT", "\\PAD2.TXT", "\\PAD3.TXT",
               "\\PAD4.TXT", "\\PAD5.TXT", "\\PAD6.TXT", "\\SECOND.TXT"}));
  EXPECT_TRUE(r.log.Has("BAD DIRECTORY RECORD IN SECTOR 20 (RECORD LENGTH SHORTER", 4));
  EXPECT_TRUE(r.log.Has("(EMPTY IDENTIFIER)", 4));
  EXPECT_TRUE(r.log.Has("(RECORD CUT BY THE SECTOR END)", 4));
}

TEST(ImportRecords, LoopsAndSharedExtentsAreNotWalkedAgain) {
  // /A points back at the root, /B/C at /B, /D and /E share one extent.
  MemoryDisc disc;
  PutVolume(disc, 20);
  PutDirectory(
      disc, 20,
      Encoded({Dot(20), DotDot(20), Folder(Ascii("A"), 20), Folder(Ascii("B"), 21),
               Folder(Ascii("D"), 23), Folder(Ascii("E"), 23), File(Ascii("F.TXT;1"), 30, 1)}));
  PutDirectory(disc, 21, Encoded({Dot(21), DotDot(20), Folder(Ascii("C"), 21)}));
  PutDirectory(disc, 23, Encoded({Dot(23), DotDot(20), File(Ascii("IN-D.TXT;1"), 31, 1)}));
  disc.Sector(40);
  Reader r(disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  EXPECT_EQ(Names(r.b), (V{"\\B/", "\\D/", "\\D\\IN-D.TXT", "\\F.TXT"}));
  EXPECT_TRUE(r.log.Has("FOLDER POINTS BACK INTO THE TREE (SECTOR 20): \\A", 4));
  EXPECT_TRUE(r.log.Has("(SECTOR 21): \\B\\C", 4));
  EXPECT_TRUE(r.log.Has("(SECTOR 23): \\E", 4));
}

TEST(ImportRecords, NestingIsBoundedAndDeepTreesStillImportUpToTheBound) {
  MemoryDisc disc;
  PutVolume(disc, 20);
  const uint32_t levels = TzqCDBurner::kMaxImportDepth + 5;
  for (uint32_t i = 0; i < levels; ++i)
    PutDirectory(disc, 20 + i,
                 Encoded({Dot(20 + i), DotDot(i == 0 ? 20 : 19 + i), Folder(Ascii("L"), 21 + i)}));
  PutDirectory(disc, 20 + levels, Encoded({Dot(20 + levels), DotDot(19 + levels)}));
  Reader r(disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  EXPECT_EQ(r.b.DirsCount(), static_cast<int32_t>(TzqCDBurner::kMaxImportDepth));
  EXPECT_TRUE(r.log.Has("FOLDERS NESTED DEEPER THAN 128", 4));
}

TEST(ImportRecords, UnreadableAndOversizedDirectoriesEndWhereTheyCannotBeRead) {
  MemoryDisc disc;
  PutVolume(disc, 20);
  // /BAD cannot be read at all; /HUGE claims 4 GiB but its second sector
  // is unreadable; the walk goes on with the root's next entries.
  PutDirectory(disc, 20,
               Encoded({Dot(20), DotDot(20), Folder(Ascii("BAD"), 21),
                        Folder(Ascii("HUGE"), 22, 0xFFFFF800), File(Ascii("LAST.TXT;1"), 30, 1)}));
  PutDirectory(disc, 22, Encoded({Dot(22), DotDot(20), File(Ascii("IN.TXT;1"), 31, 1)}));
  disc.unreadable = {21, 23};
  disc.Sector(40);
  Reader r(disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  EXPECT_EQ(Names(r.b), (V{"\\BAD/", "\\HUGE/", "\\HUGE\\IN.TXT", "\\LAST.TXT"}));
  EXPECT_TRUE(r.log.Has("DIRECTORY SECTOR 21 UNREADABLE: \\BAD", 4));
  EXPECT_TRUE(r.log.Has("DIRECTORY SECTOR 23 UNREADABLE: \\HUGE", 4));
  EXPECT_LT(disc.reads, 40u);
}

TEST(ImportRecords, FilesTheCompilationCannotHoldAreLeftOutWithAReason) {
  MemoryDisc disc;
  PutVolume(disc, 20);
  Rec multi1 = File(Ascii("BIG.DAT;1"), 30, 0xFFFFF800, 0x80);
  Rec multi2 = File(Ascii("BIG.DAT;1"), 40, 4096);
  Rec fork = File(Ascii("DOC.TXT;1"), 50, 10, 0x04);
  Rec nothing = File(Ascii("NOWHERE.TXT;1"), 0, 10);
  Rec outside = File(Ascii("OUTSIDE.TXT;1"), 5000, 10);
  Rec xattr = File(Ascii("XATTR.TXT;1"), 52, 3);
  xattr.ext_attr = 1;
  PutDirectory(disc, 20,
               Encoded({Dot(20), DotDot(20), multi1, multi2, File(Ascii("AFTER.TXT;1"), 51, 1),
                        fork, File(Ascii("DOC.TXT;1"), 51, 20), nothing, outside, xattr,
                        File(Ascii("EMPTY.TXT;1"), 0, 0)}));
  disc.Sector(60);
  Reader r(disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  EXPECT_EQ(Names(r.b), (V{"\\AFTER.TXT", "\\DOC.TXT", "\\EMPTY.TXT", "\\XATTR.TXT"}));
  const auto got = EntriesByPath(r.b);
  EXPECT_EQ(got.at("\\DOC.TXT")->Size, 20) << "the file, not its associated fork";
  EXPECT_EQ(got.at("\\XATTR.TXT")->IsoSector, 53) << "the data follows the attribute record";
  EXPECT_EQ(got.at("\\EMPTY.TXT")->Imported, 0);
  EXPECT_TRUE(r.log.Has("FILE IN SEVERAL EXTENTS NOT IMPORTED: \\BIG.DAT", 4));
  EXPECT_TRUE(r.log.Has("FILE DATA OUTSIDE THE DISC NOT IMPORTED: \\NOWHERE.TXT", 4));
  EXPECT_TRUE(r.log.Has("FILE DATA OUTSIDE THE DISC NOT IMPORTED: \\OUTSIDE.TXT", 4));
}

TEST(ImportRecords, JolietNamesLengthsAndHierarchyChoice) {
  // Joliet first; the ISO tree (one file) is not read when Joliet is there.
  MemoryDisc disc;
  PutVolume(disc, 20, 21);
  PutDirectory(disc, 20, Encoded({Dot(20), DotDot(20), File(Ascii("ISO.TXT;1"), 30, 1)}));
  const std::u16string n107 = std::u16string(101, u'x') + u".txt";  // with ";1": 107 characters
  const std::u16string n108 = std::u16string(102, u'y') + u".txt";  // 108 characters, 216 bytes
  PutDirectory(
      disc, 21,
      Encoded({Dot(21), DotDot(21), File(Ucs(n107 + u";1"), 30, 1), File(Ucs(n108 + u";1"), 30, 1),
               // a surrogate pair, a ";" kept before the third character, a
               // slash, a backslash and a control character
               File(Ucs(u"\xD83D\xDE00 smile.txt;1"), 31, 2), File(Ucs(u";a.b;1"), 31, 2),
               File(Ucs(u"a/b\\c\x01.txt"), 31, 2)}));
  disc.Sector(40);
  Reader r(disc);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  const std::string x = std::string(101, 'x') + ".txt";
  EXPECT_EQ(Names(r.b), (V{"\\;a.b", "\\a/b_c_.txt", "\\" + x, "\\\xF0\x9F\x98\x80 smile.txt"}));
  EXPECT_TRUE(
      r.log.Has("FILE NAME LENGTH EXCEEDS 120 CHARS\n\r" + std::string(102, 'y') + ".txt;1", 4));
}

TEST(ImportRecords, DescriptorScanTakesJolietOnlyByItsEscapeAndStopsAtTheTerminator) {
  struct Case {
    const char* what;
    bool escape;
    bool terminator_first;
    const char* expected;
  } cases[] = {{"Joliet", true, false, "\\joliet.txt"},
               {"other supplementary", false, false, "\\ISO.TXT"},
               {"terminator before it", true, true, "\\ISO.TXT"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryDisc disc;
    PutDescriptor(disc, 16, 1, 20);
    PutDescriptor(disc, c.terminator_first ? 18 : 17, 2, 21, 2048, c.escape);
    PutDescriptor(disc, c.terminator_first ? 17 : 18, 255);
    PutDirectory(disc, 20, Encoded({Dot(20), DotDot(20), File(Ascii("ISO.TXT;1"), 30, 1)}));
    PutDirectory(disc, 21, Encoded({Dot(21), DotDot(21), File(Ucs(u"joliet.txt;1"), 30, 1)}));
    disc.Sector(40);
    Reader r(disc);
    ASSERT_TRUE(r.b.ImportSession(1, nullptr));
    EXPECT_EQ(Names(r.b), V{c.expected});
  }
}

TEST(ImportRecords, FullTablesStopTheImport) {
  MemoryDisc disc;
  PutVolume(disc, 20);
  std::vector<Rec> recs = {Dot(20), DotDot(20)};
  for (int i = 0; i < 20; ++i)
    recs.push_back(File(Ascii("F" + std::to_string(i) + ".TXT;1"), 30, 1));
  PutDirectory(disc, 20, Encoded(recs));
  disc.Sector(40);
  Reader r(disc, 5, 3);
  ASSERT_TRUE(r.b.ImportSession(1, nullptr));
  EXPECT_EQ(r.b.FileCount(), 5);
  EXPECT_TRUE(r.log.Has("MAXIMUM FILES CAN BE 5", 3));
  EXPECT_TRUE(r.log.Has("TABLES FULL, IMPORT STOPPED AT \\F5.TXT", 4));
}

TEST(ImportRecords, ImportingTwiceReusesFoldersAndRefusesOrReplacesFiles) {
  MemoryDisc disc;
  PutVolume(disc, 20);
  PutDirectory(disc, 20, Encoded({Dot(20), DotDot(20), Folder(Ascii("DIR"), 21)}));
  PutDirectory(disc, 21, Encoded({Dot(21), DotDot(20), File(Ascii("F.TXT;1"), 30, 9)}));
  disc.Sector(40);
  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace);
    Reader r(disc);
    r.b.ReplaceFile = replace;
    ASSERT_TRUE(r.b.ImportSession(1, nullptr));
    const PFileEntry first = EntriesByPath(r.b).at("\\DIR\\F.TXT");
    ASSERT_TRUE(r.b.ImportSession(1, nullptr));
    EXPECT_EQ(Names(r.b), (V{"\\DIR/", "\\DIR\\F.TXT"}));
    EXPECT_EQ(r.b.DirsCount(), 1);
    EXPECT_EQ(EntriesByPath(r.b).at("\\DIR\\F.TXT"), first) << "the entry keeps its place";
    EXPECT_EQ(r.log.Has("FILE ALREADY IN FOLDER"), !replace);
  }
}

TEST(RecordDates, InvalidDatesFallBackAndOutOfRangeYearsAreHeld) {
  const auto dos = [](int y, int mo, int d, int h, int mi, int s) {
    return platform::EncodeDosDateTime(platform::DateTimeParts{y, mo, d, h, mi, s, 0});
  };
  struct Case {
    Date date;
    uint32_t expected;
  } cases[] = {
      {{104, 7, 15, 14, 30, 5, 4}, dos(2004, 7, 15, 14, 30, 4)},  // 2-second resolution
      {{0, 0, 0, 0, 0, 0, 0}, dos(1980, 1, 1, 0, 0, 0)},          // all zero
      {{104, 13, 1, 0, 0, 0, 0}, dos(1980, 1, 1, 0, 0, 0)},       // month 13
      {{104, 2, 30, 0, 0, 0, 0}, dos(1980, 1, 1, 0, 0, 0)},       // 30 February
      {{104, 7, 15, 24, 0, 0, 0}, dos(1980, 1, 1, 0, 0, 0)},      // hour 24
      {{70, 1, 1, 0, 0, 0, 0}, dos(1980, 1, 1, 0, 0, 0)},         // 1970
      {{250, 6, 1, 12, 0, 0, 0}, dos(2107, 12, 31, 23, 59, 58)},  // 2150
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.date[0]});
    EXPECT_EQ(iso::RecordDateToDos(c.date), c.expected);
  }
}

}  // namespace
