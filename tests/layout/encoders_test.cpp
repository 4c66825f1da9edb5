// The field encoders on their own: padded text, UTF-16, dates, numbered
// names, record and path-record lengths.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "burner/iso_dir_record.h"
#include "burner/iso_fields.h"
#include "burner/iso_names.h"
#include "burner/iso_path_table.h"
#include "platform/date_time.h"

namespace {

std::string Str(const std::vector<uint8_t>& b) {
  return std::string(b.begin(), b.end());
}

TEST(Encoders, SpacePadUpperCasesAndNeverCutsACharacter) {
  struct Case {
    std::string in;
    size_t n;
    std::string out;
  };
  const Case cases[] = {
      {"My Disc", 10, "MY DISC   "},     {"abcdef", 4, "ABCD"},
      {"caf\xC3\xA9", 4, "CAF "},  // the two-byte é does not fit
      {"caf\xC3\xA9", 5, "CAF\xC3\xA9"}, {"", 3, "   "},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out(c.n, 0xAA);
    iso::SpacePad(out, c.in);
    EXPECT_EQ(Str(out), c.out) << c.in;
  }
}

TEST(Encoders, UcsPadKeepsSurrogatePairsWhole) {
  std::vector<uint8_t> out(8);
  iso::UcsPad(out, "ab\xF0\x9F\x98\x80");  // a, b, then a pair: 4 units fit
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 'a', 0, 'b', 0xD8, 0x3D, 0xDE, 0x00}));
  std::vector<uint8_t> cut(6);
  iso::UcsPad(cut, "ab\xF0\x9F\x98\x80");  // the pair would be cut: a space instead
  EXPECT_EQ(cut, (std::vector<uint8_t>{0, 'a', 0, 'b', 0, ' '}));
}

TEST(Encoders, Utf16UnitsAndBigEndianForm) {
  EXPECT_EQ(iso::Utf16Units("abc"), 3u);
  EXPECT_EQ(iso::Utf16Units("caf\xC3\xA9"), 4u);
  EXPECT_EQ(iso::Utf16Units("\xE4\xB8\xAD"), 1u);
  EXPECT_EQ(iso::Utf16Units("\xF0\x9F\x98\x80"), 2u);
  EXPECT_EQ(iso::Utf16Units("\xFF"), 1u);  // an invalid byte stands for U+FFFD
  std::vector<uint8_t> out(8);
  EXPECT_EQ(iso::PutUtf16BE(out, "\xC3\xA9\xF0\x9F\x98\x80"), 6u);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00, 0, 0}));
}

TEST(Encoders, Dates) {
  std::array<uint8_t, 17> d{};
  iso::PutDescriptorDate(d, 0);
  EXPECT_EQ(std::string(d.begin(), d.begin() + 16), "1899123000000000");
  EXPECT_EQ(d[16], 0);
  iso::PutDescriptorDate(d, platform::EncodeDateTime({2024, 2, 29, 23, 59, 58, 999}));
  EXPECT_EQ(std::string(d.begin(), d.begin() + 16), "2024022923595899");
  iso::PutUnsetDescriptorDate(d);
  EXPECT_EQ(std::string(d.begin(), d.begin() + 16), "0000000000000000");

  std::array<uint8_t, 7> r{};
  iso::PutRecordDate(r, platform::EncodeDateTime({2004, 7, 15, 14, 30, 5, 900}), -20);
  EXPECT_EQ(r, (std::array<uint8_t, 7>{104, 7, 15, 14, 30, 5, 0xEC}));
  iso::PutRecordDate(r, 0, 0);  // 1899: the earliest year the byte holds
  EXPECT_EQ(r[0], 0);
}

TEST(Encoders, NumberedNames) {
  struct Case {
    const char* name;
    bool file;
    unsigned k;
    const char* out;
  };
  const Case cases[] = {
      {"README.", true, 2, "README~2."},
      {"LONGFI~1.TXT", true, 3, "LONGFI~3.TXT"},
      {"ABCDEFGH.TXT", true, 10, "ABCDE~10.TXT"},
      {"A.B.C", true, 2, "A.B~2.C"},
      {"PROGRAM_FILES", false, 2, "PROGRAM_FIL~2"},
      {"DIR", false, 2, "DIR~2"},
      {"X~Y.TXT", true, 2, "X~Y~2.TXT"},
  };
  for (const Case& c : cases) EXPECT_EQ(iso::NumberedName(c.name, c.file, c.k), c.out) << c.name;
}

TEST(Encoders, RecordAndPathRecordLengths) {
  EXPECT_EQ(iso::RecordLength(1), 34u);
  EXPECT_EQ(iso::RecordLength(11), 44u);
  EXPECT_EQ(iso::RecordLength(4), 38u);
  EXPECT_EQ(iso::RecordLength(221), 254u);
  EXPECT_EQ(iso::PathRecordLength(4), 12u);
  EXPECT_EQ(iso::PathRecordLength(5), 14u);
  std::vector<uint8_t> rec(40, 0xAA);
  iso::DirRecordFields f;
  f.Extent = 0x01020304;
  f.DataLength = 10;
  const uint8_t id[4] = {'D', 'A', 'T', 'A'};
  EXPECT_EQ(iso::PutDirRecord(rec, f, id), 38u);
  EXPECT_EQ(rec[0], 38);
  EXPECT_EQ(rec[2], 0x04);
  EXPECT_EQ(rec[9], 0x04);  // big-endian half
  EXPECT_EQ(rec[28], 1);
  EXPECT_EQ(rec[31], 1);
  EXPECT_EQ(rec[32], 4);
  EXPECT_EQ(rec[37], 0) << "padding byte after an even identifier";
}

}  // namespace
