// The image layout: positions, sizes, order and numbers of every structure,
// and the header's length and padding.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "image_bytes.h"
#include "layout_fixtures.h"

namespace {

using namespace image_bytes;
using layout_fixtures::AddFile;
using layout_fixtures::AddFolder;

struct Places {
  int32_t pvd, svd, term, iso_l, iso_m, jol_l, jol_m, iso_dirs, jol_dirs, first_file;
  int64_t session_sectors;
};

Places PlacesOf(const TzqCDBurner& b) {
  return {b.PvdSector,        b.SvdSector,         b.TermSector,        b.IsoPathLSector,
          b.IsoPathMSector,   b.JolietPathLSector, b.JolietPathMSector, b.IsoDirsSector,
          b.JolietDirsSector, b.FirstFileSector,   b.SessionSectors};
}

void ExpectPlaces(const Places& got, const Places& want) {
  EXPECT_EQ(got.pvd, want.pvd);
  EXPECT_EQ(got.svd, want.svd);
  EXPECT_EQ(got.term, want.term);
  EXPECT_EQ(got.iso_l, want.iso_l);
  EXPECT_EQ(got.iso_m, want.iso_m);
  EXPECT_EQ(got.jol_l, want.jol_l);
  EXPECT_EQ(got.jol_m, want.jol_m);
  EXPECT_EQ(got.iso_dirs, want.iso_dirs);
  EXPECT_EQ(got.jol_dirs, want.jol_dirs);
  EXPECT_EQ(got.first_file, want.first_file);
  EXPECT_EQ(got.session_sectors, want.session_sectors);
}

TEST(Layout, EmptyCompilationWithAndWithoutJoliet) {
  for (const bool joliet : {true, false}) {
    SCOPED_TRACE(joliet ? "Joliet" : "ISO only");
    TzqCDBurner b;
    b.JolietFileSystem = joliet;
    ASSERT_TRUE(b.Prepare(true));
    if (joliet)
      ExpectPlaces(PlacesOf(b), {16, 17, 18, 19, 20, 21, 22, 23, 24, 150, 150});
    else
      ExpectPlaces(PlacesOf(b), {16, 0, 17, 18, 19, 0, 0, 20, 0, 150, 150});
    EXPECT_EQ(b.SessionStart, 0);
    EXPECT_EQ(b.IsoPathSize, 10);
    EXPECT_EQ(b.JolietPathSize, 10);
    EXPECT_EQ(b.RootDir()->IsoSize, 2048);
    EXPECT_EQ(b.RootDir()->JolietSize, joliet ? 2048 : 0);
    EXPECT_EQ(b.FileSectors, 0);
    EXPECT_EQ(b.SessionEnd, 150);
    EXPECT_EQ(b.HeaderPad, (150 - (joliet ? 25 : 21)) * 2048);
    const auto h = b.HeaderStream.Bytes();
    ASSERT_EQ(h.size(), 150u * kSector);
    EXPECT_TRUE(AllZero(h.first(16 * kSector))) << "system area";
    EXPECT_TRUE(AllZero(h.subspan((joliet ? 25 : 21) * kSector))) << "padding to sector 150";
    EXPECT_EQ(h[16 * kSector], 1);
    EXPECT_EQ(h[(joliet ? 18 : 17) * kSector], 255);
    if (joliet) {
      EXPECT_EQ(h[17 * kSector], 2);
    }
  }
}

TEST(Layout, FilePlacementAndSessionLength) {
  struct Case {
    std::vector<int64_t> sizes;
    std::vector<int32_t> sectors;  // IsoSector of each file
    int64_t file_sectors;
  };
  const Case cases[] = {
      {{5000}, {0}, 3},
      {{0, 1, 2048}, {0, 0, 1}, 2},
      {{2049, 63488, 1}, {0, 2, 33}, 34},
  };
  for (const Case& c : cases) {
    TzqCDBurner b;
    std::vector<PFileEntry> files;
    for (size_t i = 0; i < c.sizes.size(); ++i)
      files.push_back(AddFile(b, b.RootDir(), "f" + std::to_string(i) + ".bin", c.sizes[i]));
    ASSERT_TRUE(b.Prepare(true));
    for (size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(files[i]->IsoSector, c.sectors[i]) << i;
      EXPECT_EQ(files[i]->JolietSector, c.sectors[i]) << i;
      EXPECT_EQ(files[i]->JolietSize, c.sizes[i]) << i;
    }
    EXPECT_EQ(b.FileSectors, c.file_sectors);
    EXPECT_EQ(b.FirstFileSector, 150);
    EXPECT_EQ(b.SessionSectors, 150 + c.file_sectors);
    EXPECT_EQ(b.HeaderStream.Size(), 150 * 2048);
  }
}

TEST(Layout, RecordsNeverCrossASectorBoundary) {
  // Identifiers of 7 bytes (F00.D;1): 40-byte records. After "." and ".."
  // (68 bytes) 49 fit into the first sector (2028 bytes), 21 start the
  // second one.
  TzqCDBurner b;
  b.JolietFileSystem = false;
  PDirEntry dir = AddFolder(b, b.RootDir(), "BIG");
  for (int i = 0; i < 70; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "F%02d.D", i);
    AddFile(b, dir, name, 1);
  }
  ASSERT_TRUE(b.Prepare(true));
  EXPECT_EQ(dir->IsoSize, 4096);
  const auto h = b.HeaderStream.Bytes();
  const auto extent = h.subspan(size_t(b.IsoDirsSector + dir->IsoSector) * kSector, 4096);
  const std::vector<Record> records = Records(extent);
  ASSERT_EQ(records.size(), 72u);
  EXPECT_EQ(records[2 + 48].offset, 68u + 48 * 40);
  EXPECT_EQ(records[2 + 49].offset, 2048u) << "the 50th entry starts the second sector";
  EXPECT_TRUE(AllZero(extent.subspan(2028, 20)));
  for (const Record& r : records) EXPECT_LE(r.offset % kSector + r.length, kSector);
}

TEST(Layout, PathTableOrderAndNumbers) {
  TzqCDBurner b;
  // Created B, then A, then C inside B and Z, Y inside A: path-table order
  // is root, A, B, then A's children Y, Z, then B's child C.
  PDirEntry B = AddFolder(b, b.RootDir(), "B");
  PDirEntry A = AddFolder(b, b.RootDir(), "A");
  PDirEntry C = AddFolder(b, B, "C");
  PDirEntry Z = AddFolder(b, A, "Z");
  PDirEntry Y = AddFolder(b, A, "Y");
  ASSERT_TRUE(b.Prepare(true));
  const std::vector<PDirEntry> want = {b.RootDir(), A, B, Y, Z, C};
  EXPECT_EQ(b.IsoDirOrder(), want);
  EXPECT_EQ(b.JolietDirOrder(), want);
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(want[i]->Number, int32_t(i + 1));
  // The directory area keeps creation order: root, B, A, C, Z, Y.
  EXPECT_EQ(B->IsoSector, 1);
  EXPECT_EQ(A->IsoSector, 2);
  EXPECT_EQ(C->IsoSector, 3);
  EXPECT_EQ(Y->IsoSector, 5);

  // The path table lists them in that order with parent numbers.
  const auto h = b.HeaderStream.Bytes();
  const auto table = SectorOf(h, size_t(b.IsoPathLSector));
  const auto mtable = SectorOf(h, size_t(b.IsoPathMSector));
  size_t pos = 10;
  std::vector<std::pair<std::string, uint16_t>> seen;
  for (size_t i = 1; i < want.size(); ++i) {
    const uint8_t len = table[pos];
    seen.emplace_back(Text(table, pos + 8, len), Le16(table, pos + 6));
    EXPECT_EQ(Le32(table, pos + 2), uint32_t(b.IsoDirsSector + want[i]->IsoSector));
    EXPECT_EQ(Be32(mtable, pos + 2), Le32(table, pos + 2));
    EXPECT_EQ(Be16(mtable, pos + 6), Le16(table, pos + 6));
    pos += 8 + len + len % 2;
  }
  const std::vector<std::pair<std::string, uint16_t>> names = {
      {"A", 1}, {"B", 1}, {"Y", 2}, {"Z", 2}, {"C", 3}};
  EXPECT_EQ(seen, names);
  EXPECT_EQ(int64_t(pos), b.IsoPathSize);
}

TEST(Layout, JolietPathTableKeepsShortNameOrder) {
  TzqCDBurner b;
  // Short names order them a, b; long names the other way round.
  PDirEntry first = AddFolder(b, b.RootDir(), "zeta", "A");
  PDirEntry second = AddFolder(b, b.RootDir(), "alpha", "B");
  ASSERT_TRUE(b.Prepare(true));
  EXPECT_EQ(first->Number, 2);
  EXPECT_EQ(second->Number, 3);
  const auto table = SectorOf(b.HeaderStream.Bytes(), size_t(b.JolietPathLSector));
  EXPECT_EQ(Utf16({table.begin() + 18, table.begin() + 26}), u"zeta");
  EXPECT_EQ(b.JolietPathSize, 10 + (8 + 8) + (8 + 10));
}

TEST(Layout, PathTablesOfExactlyOneAndTwoSectors) {
  struct Case {
    int ten_char_folders, twelve_char_folders;
    int64_t size;
    int32_t sectors;
  };
  // 10 + 111 x 18 + 2 x 20 = 2048; 10 + 227 x 18 = 4096.
  for (const Case c : {Case{111, 2, 2048, 1}, Case{227, 0, 4096, 2}}) {
    TzqCDBurner b;
    b.JolietFileSystem = false;
    for (int i = 0; i < c.ten_char_folders; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "D%09d", i);
      AddFolder(b, b.RootDir(), name);
    }
    for (int i = 0; i < c.twelve_char_folders; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "E%011d", i);
      AddFolder(b, b.RootDir(), name);
    }
    ASSERT_TRUE(b.Prepare(true));
    EXPECT_EQ(b.IsoPathSize, c.size);
    EXPECT_EQ(b.IsoPathMSector - b.IsoPathLSector, c.sectors);
    EXPECT_EQ(b.IsoDirsSector - b.IsoPathMSector, c.sectors);
  }
}

TEST(Layout, PrepareAgainStartsAFreshHeaderAndKeepsTheLayout) {
  TzqCDBurner b;
  AddFile(b, b.RootDir(), "a.txt", 10);
  ASSERT_TRUE(b.Prepare(true));
  const std::vector<uint8_t> first(b.HeaderStream.Bytes().begin(), b.HeaderStream.Bytes().end());
  ASSERT_TRUE(b.Prepare(true));
  EXPECT_EQ(b.HeaderStream.Size(), 150 * 2048);
  // Only the "." and ".." dates may differ (taken from the clock).
  EXPECT_EQ(b.SessionSectors, 151);
  EXPECT_EQ(first.size(), size_t(b.HeaderStream.Size()));
}

// A disc that continues after an earlier session.
class ContinuedDisc : public TzqCDBurner {
 public:
  explicit ContinuedDisc(int32_t next) : next_(next) {}

 protected:
  int32_t NextSessionStart() override { return next_; }

 private:
  int32_t next_;
};

TEST(Layout, LaterSessionStartsAtTheNextWritableAddress) {
  ContinuedDisc b(11702);
  PFileEntry f = AddFile(b, b.RootDir(), "new.txt", 3000);
  ASSERT_TRUE(b.Prepare(false));
  EXPECT_EQ(b.SessionStart, 11702);
  ExpectPlaces(PlacesOf(b), {11718, 11719, 11720, 11721, 11722, 11723, 11724, 11725, 11726, 11727,
                             11727 + 2 - 11702});
  EXPECT_EQ(b.HeaderPad, 0) << "the first file follows the directories";
  EXPECT_EQ(b.SessionEnd, 11729);
  const auto h = b.HeaderStream.Bytes();
  ASSERT_EQ(h.size(), size_t(11727 - 11702) * kSector);
  uint32_t v = 0;
  ASSERT_TRUE(Both32(SectorOf(h, 16), 80, v));
  EXPECT_EQ(v, 27u) << "the volume space is the new session's length";
  ASSERT_TRUE(Both32(SectorOf(h, 16), 158, v));
  EXPECT_EQ(v, 11725u) << "sector numbers are absolute";
  const auto records = Records(SectorOf(h, 11725 - 11702));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2].extent, 11727u);
  EXPECT_EQ(f->IsoSector, 0);
  // A negative address (above FF000000h) counts as 0.
  ContinuedDisc negative(-150);
  ASSERT_TRUE(negative.Prepare(false));
  EXPECT_EQ(negative.SessionStart, 0);
  EXPECT_EQ(negative.PvdSector, 16);
  // An image always starts at 0.
  ASSERT_TRUE(b.Prepare(true));
  EXPECT_EQ(b.SessionStart, 0);
}

TEST(Layout, FolderEntriesTakeTheirFoldersValues) {
  TzqCDBurner b;
  PDirEntry dir = AddFolder(b, b.RootDir(), "DATA");
  for (int i = 0; i < 60; ++i) AddFile(b, dir, "file" + std::to_string(i) + ".txt", 1);
  ASSERT_TRUE(b.Prepare(true));
  PFileEntry entry = dir->Entry;
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->IsoSector, dir->IsoSector);
  EXPECT_EQ(entry->JolietSector, dir->JolietSector);
  EXPECT_EQ(entry->Size, dir->IsoSize);
  EXPECT_EQ(entry->JolietSize, dir->JolietSize);
  // 68 + 10 x 44 + 50 x 46 bytes of ISO records, 68 + 10 x 56 + 50 x 58 of
  // Joliet records: two sectors each.
  EXPECT_EQ(dir->IsoSize, 4096);
  EXPECT_EQ(dir->JolietSize, 4096);
}

}  // namespace
