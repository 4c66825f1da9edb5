// The bytes of the header: volume descriptors, path tables and directory
// records of both hierarchies.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "image_bytes.h"
#include "layout_fixtures.h"
#include "platform/date_time.h"
#include "temp_tree.h"

namespace {

using namespace image_bytes;
using layout_fixtures::AddFile;
using layout_fixtures::AddFolder;

std::string Spaces(size_t n) {
  return std::string(n, ' ');
}

std::u16string Utf16Field(std::span<const uint8_t> b, size_t at, size_t bytes) {
  return Utf16(std::vector<uint8_t>(b.begin() + at, b.begin() + at + bytes));
}

TEST(Format, PrimaryAndJolietDescriptors) {
  TzqCDBurner b;
  b.IdVolume = "My Disc";
  b.IdSystem = "linux";
  b.IdPublisher = "Tidemark";
  b.FileCopyright = "copy.txt";
  ASSERT_TRUE(b.Prepare(true));
  const auto h = b.HeaderStream.Bytes();
  const auto pvd = SectorOf(h, 16);
  const auto svd = SectorOf(h, 17);

  EXPECT_EQ(Text(pvd, 0, 8), std::string("\x01"
                                         "CD001\x01\x00",
                                         8));
  EXPECT_EQ(Text(pvd, 8, 32), "LINUX" + Spaces(27));
  EXPECT_EQ(Text(pvd, 40, 32), "MY DISC" + Spaces(25));
  EXPECT_EQ(Text(pvd, 318, 128), "TIDEMARK" + Spaces(120));
  EXPECT_EQ(Text(pvd, 702, 37), "COPY.TXT" + Spaces(29));
  EXPECT_EQ(Text(pvd, 190, 128), Spaces(128));
  uint32_t v = 0;
  ASSERT_TRUE(Both32(pvd, 80, v));
  EXPECT_EQ(v, 150u);
  // Bytes 88-119 stay zero in the primary descriptor even with Joliet.
  EXPECT_TRUE(AllZero(pvd.subspan(88, 32)));
  EXPECT_TRUE(AllZero(pvd.subspan(72, 8)));
  EXPECT_EQ(Text(pvd, 120, 12),
            std::string("\x01\x00\x00\x01\x01\x00\x00\x01\x00\x08\x08\x00", 12));
  ASSERT_TRUE(Both32(pvd, 132, v));
  EXPECT_EQ(v, 10u);
  EXPECT_EQ(Le32(pvd, 140), 19u);
  EXPECT_EQ(Le32(pvd, 144), 0u);
  EXPECT_EQ(Be32(pvd, 148), 20u);
  EXPECT_EQ(Be32(pvd, 152), 0u);
  // The root record: extent 23, one sector, no date, folder, identifier 0.
  EXPECT_EQ(pvd[156], 34);
  ASSERT_TRUE(Both32(pvd, 158, v));
  EXPECT_EQ(v, 23u);
  ASSERT_TRUE(Both32(pvd, 166, v));
  EXPECT_EQ(v, 2048u);
  EXPECT_TRUE(AllZero(pvd.subspan(174, 7)));
  EXPECT_EQ(pvd[181], 2);
  EXPECT_EQ(pvd[188], 1);
  EXPECT_EQ(pvd[189], 0);
  // Dates: creation and modification 0, expiration and effective unset.
  EXPECT_EQ(Text(pvd, 813, 16), "1899123000000000");
  EXPECT_EQ(pvd[829], 0);
  EXPECT_EQ(Text(pvd, 830, 16), "1899123000000000");
  EXPECT_EQ(Text(pvd, 847, 17), std::string("0000000000000000\0", 17));
  EXPECT_EQ(Text(pvd, 864, 17), std::string("0000000000000000\0", 17));
  EXPECT_EQ(pvd[881], 1);
  EXPECT_TRUE(AllZero(pvd.subspan(882, 1024 - 882)));
  EXPECT_EQ(Text(pvd, 1024, 8), Spaces(8));
  EXPECT_TRUE(AllZero(pvd.subspan(1032)));

  EXPECT_EQ(Text(svd, 0, 8), std::string("\x02"
                                         "CD001\x01\x00",
                                         8));
  EXPECT_EQ(Utf16Field(svd, 8, 32), u"linux           ");
  EXPECT_EQ(Utf16Field(svd, 40, 32), u"My Disc         ");
  EXPECT_EQ(Text(svd, 88, 3), "%/@");
  EXPECT_TRUE(AllZero(svd.subspan(91, 29)));
  EXPECT_EQ(Utf16Field(svd, 318, 128), u"Tidemark" + std::u16string(56, u' '));
  EXPECT_EQ(Utf16Field(svd, 702, 36), u"copy.txt" + std::u16string(10, u' '));
  EXPECT_EQ(svd[738], 0);
  EXPECT_EQ(svd[775], 0);
  EXPECT_EQ(svd[812], 0);
  ASSERT_TRUE(Both32(svd, 132, v));
  EXPECT_EQ(v, 10u);
  EXPECT_EQ(Le32(svd, 140), 21u);
  EXPECT_EQ(Be32(svd, 148), 22u);
  ASSERT_TRUE(Both32(svd, 158, v));
  EXPECT_EQ(v, 24u);
  EXPECT_EQ(Text(svd, 813, 68), Text(pvd, 813, 68));
  EXPECT_EQ(svd[881], 1);
  EXPECT_EQ(Text(svd, 1024, 8), Spaces(8));

  const auto term = SectorOf(h, 18);
  EXPECT_EQ(Text(term, 0, 7),
            "\xff"
            "CD001\x01");
  EXPECT_TRUE(AllZero(term.subspan(7)));
}

TEST(Format, LongIdentifiersAreCut) {
  TzqCDBurner b;
  b.IdVolume = std::string(40, 'v');
  b.DateCreation = platform::EncodeDateTime({2004, 7, 15, 14, 30, 5, 250});
  b.DateModification = platform::EncodeDateTime({2004, 7, 15, 14, 30, 5, 5});
  ASSERT_TRUE(b.Prepare(true));
  const auto h = b.HeaderStream.Bytes();
  EXPECT_EQ(Text(SectorOf(h, 16), 40, 32), std::string(32, 'V'));
  EXPECT_EQ(Utf16Field(SectorOf(h, 17), 40, 32), std::u16string(16, u'v'));
  EXPECT_EQ(Text(SectorOf(h, 16), 813, 16), "2004071514300525");
  EXPECT_EQ(Text(SectorOf(h, 16), 830, 16), "2004071514300505");
}

TEST(Format, NoJolietNoSupplementaryDescriptor) {
  TzqCDBurner b;
  b.JolietFileSystem = false;
  ASSERT_TRUE(b.Prepare(true));
  const auto h = b.HeaderStream.Bytes();
  EXPECT_TRUE(AllZero(SectorOf(h, 16).subspan(88, 3)));
  EXPECT_EQ(h[17 * kSector], 255) << "the terminator follows the primary descriptor";
}

struct Built {
  TzqCDBurner b;
  std::span<const uint8_t> header;
  std::vector<Record> IsoRecords(PDirEntry d) const {
    return Records(
        header.subspan(size_t(b.IsoDirsSector + d->IsoSector) * kSector, size_t(d->IsoSize)));
  }
  std::vector<Record> JolietRecords(PDirEntry d) const {
    return Records(header.subspan(size_t(b.JolietDirsSector + d->JolietSector) * kSector,
                                  size_t(d->JolietSize)));
  }
};

TEST(Format, RecordsOfFilesAndFolders) {
  ScopedTimeZone zone("XXX-1");  // one hour ahead of Greenwich, no daylight saving
  Built x;
  x.b.ClearAll(100, 10);
  PFileEntry notes = AddFile(x.b, x.b.RootDir(), "notes.txt", 10);
  PDirEntry data = AddFolder(x.b, x.b.RootDir(), "DATA");
  PFileEntry hidden = AddFile(x.b, x.b.RootDir(), ".secret", 0, "SECRET", "", 0x22);
  PDirEntry hidden_dir = AddFolder(x.b, x.b.RootDir(), ".cache", "", 0x12);
  PFileEntry emoji = AddFile(x.b, data, "\xF0\x9F\x98\x80.txt", 3000);
  ASSERT_TRUE(notes && data && hidden && hidden_dir && emoji);
  notes->DateTime = platform::EncodeDateTime({2004, 7, 15, 14, 30, 5, 0});
  ASSERT_TRUE(x.b.Prepare(true));
  x.header = x.b.HeaderStream.Bytes();

  const std::vector<Record> root = x.IsoRecords(x.b.RootDir());
  ASSERT_EQ(root.size(), 6u);
  // "." and "..": the root's ".." describes the root itself.
  EXPECT_EQ(root[0].id, std::vector<uint8_t>{0});
  EXPECT_EQ(root[1].id, std::vector<uint8_t>{1});
  EXPECT_EQ(root[0].length, 34);
  EXPECT_EQ(Text(x.header, 23 * kSector, 33), Text(x.header, 23 * kSector + 34, 33));
  EXPECT_EQ(root[0].extent, 23u);
  EXPECT_EQ(root[0].flags, 2);

  EXPECT_EQ(Ascii(root[2].id), "NOTES.TXT;1");
  EXPECT_EQ(root[2].length, 44);
  EXPECT_EQ(root[2].extent, 150u);
  EXPECT_EQ(root[2].size, 10u);
  EXPECT_EQ(root[2].flags, 0);
  const uint8_t date[7] = {104, 7, 15, 14, 30, 5, 4};
  EXPECT_TRUE(std::equal(date, date + 7, root[2].date));

  EXPECT_EQ(Ascii(root[3].id), "DATA");
  EXPECT_EQ(root[3].length, 38);
  EXPECT_EQ(root[3].flags, 2);
  EXPECT_EQ(root[3].extent, uint32_t(x.b.IsoDirsSector + data->IsoSector));

  EXPECT_EQ(Ascii(root[4].id), "SECRET.;1");
  EXPECT_EQ(root[4].flags, 1);
  EXPECT_EQ(root[4].extent, 0u) << "an empty file has no extent";
  EXPECT_EQ(root[4].size, 0u);
  EXPECT_EQ(root[5].flags, 3) << "hidden folder";

  const std::vector<Record> jroot = x.JolietRecords(x.b.RootDir());
  ASSERT_EQ(jroot.size(), 6u);
  EXPECT_EQ(Utf16(jroot[2].id), u"notes.txt;1");
  EXPECT_EQ(jroot[2].length, 56);
  EXPECT_EQ(jroot[2].extent, 150u) << "both hierarchies share the data";
  EXPECT_EQ(jroot[0].extent, uint32_t(x.b.JolietDirsSector));
  EXPECT_EQ(x.b.JolietDirsSector, 26) << "after three ISO extents";
  EXPECT_EQ(Utf16(jroot[3].id), u"DATA");

  // A character outside the BMP is a surrogate pair: 2 + 4 + 2 units.
  const std::vector<Record> jdata = x.JolietRecords(data);
  ASSERT_EQ(jdata.size(), 3u);
  EXPECT_EQ(Utf16(jdata[2].id), u"\U0001F600.txt;1");
  EXPECT_EQ(jdata[2].id.size(), 16u);
  EXPECT_EQ(jdata[2].length, 33 + 16 + 1);
  EXPECT_EQ(jdata[2].extent, 151u);
  EXPECT_EQ(jdata[1].extent, 26u) << "\"..\" of DATA is the Joliet root";

  // The path tables of both hierarchies.
  const auto iso_table = SectorOf(x.header, size_t(x.b.IsoPathLSector));
  EXPECT_EQ(Text(iso_table, 0, 10), std::string("\x01\x00\x17\x00\x00\x00\x01\x00\x00\x00", 10));
  EXPECT_EQ(x.b.IsoPathSize, 10 + 14 + 12);  // .CACHE sorts before DATA
  EXPECT_EQ(Text(iso_table, 18, 6), ".CACHE");
  EXPECT_EQ(Text(iso_table, 32, 4), "DATA");
  const auto joliet_table = SectorOf(x.header, size_t(x.b.JolietPathLSector));
  EXPECT_EQ(joliet_table[10], 12);
  EXPECT_EQ(joliet_table[30], 8);
  EXPECT_EQ(x.b.JolietPathSize, 10 + 20 + 16);
  EXPECT_TRUE(AllZero(iso_table.subspan(size_t(x.b.IsoPathSize))));
}

TEST(Format, ImportedFilesKeepTheirAbsoluteSector) {
  TzqCDBurner b;
  TSearchRec rec;
  rec.Name = "old.dat";
  rec.SizeLow = 4096;
  ASSERT_EQ(b.InsertFile(b.RootDir(), rec, false, 11000, ""), 1);
  AddFile(b, b.RootDir(), "new.dat", 100);
  ASSERT_TRUE(b.Prepare(true));
  const auto records = Records(b.HeaderStream.Bytes().subspan(23 * kSector, kSector));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[2].extent, 11000u);
  EXPECT_EQ(records[2].size, 4096u);
  EXPECT_EQ(records[3].extent, 150u) << "imported data takes no sectors of the session";
  EXPECT_EQ(b.SessionSectors, 151);
}

}  // namespace
