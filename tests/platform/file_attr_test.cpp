// DOS attributes on Linux: the DOSATTRIB value forms, and reading and
// setting attributes of real files.

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/file_attr.h"
#include "temp_tree.h"

namespace {

using platform::faArchive;
using platform::faDirectory;
using platform::faHidden;
using platform::faReadOnly;

std::vector<uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

TEST(DosAttrib, ValueForms) {
  struct Case {
    std::vector<uint8_t> value;
    std::optional<uint32_t> attr;
    std::optional<size_t> offset;
  };
  const std::vector<Case> cases = {
      {Bytes("0x20"), 0x20, std::nullopt},
      {Bytes(std::string("0x21\0", 5)), 0x21, std::nullopt},
      {Bytes("0X0"), 0x0, std::nullopt},
      {Bytes("20"), std::nullopt, std::nullopt},
      {Bytes("0xZZ"), std::nullopt, std::nullopt},
      // Empty text, version 4 twice, padding, valid flags, attribute word.
      {{0, 0, 4, 0, 4, 0, 0, 0, 0x11, 0, 0, 0, 0x20, 0, 0, 0, 9, 9, 9, 9}, 0x20, 12},
      {{0, 0, 3, 0, 3, 0, 0, 0, 0x01, 0, 0, 0, 0x04, 0, 0, 0}, 0x04, 12},
      // Version 4 whose attribute word is marked not valid.
      {{0, 0, 4, 0, 4, 0, 0, 0, 0x10, 0, 0, 0, 0x20, 0, 0, 0}, std::nullopt, std::nullopt},
      {{0, 0, 1, 0, 1, 0, 0, 0, 0x02, 0, 0, 0}, 0x02, 8},
      {{0, 0, 2, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x22, 0, 0, 0}, 0x22, 12},
      {{0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x20, 0, 0, 0}, 0x20, 8},
      {{0, 0, 4, 0, 5, 0, 0, 0, 0x11, 0, 0, 0, 0x20, 0, 0, 0}, std::nullopt, std::nullopt},
      {{0, 0, 9, 0, 9, 0, 0, 0, 0x11, 0, 0, 0, 0x20, 0, 0, 0}, std::nullopt, std::nullopt},
      {{0, 0, 4, 0, 4, 0, 0, 0, 0x11, 0, 0}, std::nullopt, std::nullopt},  // cut short
      {{}, std::nullopt, std::nullopt},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto got = platform::ParseDosAttrib(cases[i].value);
    ASSERT_EQ(got.has_value(), cases[i].attr.has_value()) << i;
    if (!got) continue;
    EXPECT_EQ(got->Attr, *cases[i].attr) << i;
    EXPECT_EQ(got->BinaryOffset, cases[i].offset) << i;
  }
}

TEST(DosAttrib, FormatKeepsTheRest) {
  const std::vector<uint8_t> v4 = {0, 0, 4, 0, 4, 0, 0, 0, 0x11, 0, 0, 0, 0x20, 0, 0, 0, 7, 7};
  std::vector<uint8_t> want = v4;
  want[12] = 0x01;
  EXPECT_EQ(platform::FormatDosAttrib(v4, 0x01), want);
  EXPECT_EQ(platform::FormatDosAttrib({}, 0x20), Bytes(std::string("0x20\0", 5)));
  EXPECT_EQ(platform::FormatDosAttrib(Bytes("0x20"), 0x0), Bytes(std::string("0x0\0", 4)));
}

TEST(DosAttrib, ArchivedStamp) {
  EXPECT_EQ(platform::ParseArchivedStamp(Bytes("12.5")), std::make_pair(int64_t{12}, int64_t{5}));
  EXPECT_EQ(platform::ParseArchivedStamp(Bytes(platform::FormatArchivedStamp(-3, 999999999))),
            std::make_pair(int64_t{-3}, int64_t{999999999}));
  for (const char* bad : {"", "12", "12.", ".5", "1.2.3", "1.1000000000", "x.1", "1.-1"})
    EXPECT_FALSE(platform::ParseArchivedStamp(Bytes(bad))) << bad;
}

bool XattrsWork(const std::string& path) {
  if (setxattr(path.c_str(), "user.tidemark.probe", "1", 1, 0) != 0) return false;
  removexattr(path.c_str(), "user.tidemark.probe");
  return true;
}

TEST(FileAttr, ReadAndSetOnDisk) {
  TempTree t;
  const std::string f = t.File("plain.txt", "x");
  const std::string hidden = t.File(".hidden", "x");
  const std::string dir = t.Dir("folder");
  EXPECT_EQ(platform::FileGetAttr(f), faArchive);
  EXPECT_EQ(platform::FileGetAttr(hidden), faArchive | faHidden);
  EXPECT_EQ(platform::FileGetAttr(dir), faArchive | faDirectory);
  EXPECT_EQ(platform::FileGetAttr(t.Path("missing")), -1);
  EXPECT_FALSE(platform::FileSetAttr(t.Path("missing"), 0));
  if (!XattrsWork(f)) GTEST_SKIP() << "no user extended attributes here";

  ASSERT_TRUE(platform::FileSetAttr(f, faReadOnly | faArchive));
  EXPECT_EQ(platform::FileGetAttr(f), faReadOnly | faArchive);
  ASSERT_TRUE(platform::FileSetAttr(f, faArchive));
  EXPECT_EQ(platform::FileGetAttr(f), faArchive);
  ASSERT_TRUE(platform::FileSetAttr(f, 0));
  EXPECT_EQ(platform::FileGetAttr(f), 0);
  // Read-only and archive clear at once: the read-only file still gets its
  // attribute written.
  ASSERT_TRUE(platform::FileSetAttr(hidden, faReadOnly | faHidden));
  EXPECT_EQ(platform::FileGetAttr(hidden), faReadOnly | faHidden);
  // Changed after the bit was cleared: archive again.
  t.Touch("plain.txt", 1700000000);
  EXPECT_EQ(platform::FileGetAttr(f), faArchive);
  ASSERT_TRUE(platform::FileSetAttr(f, 0));
  EXPECT_EQ(platform::FileGetAttr(f), 0);
  // Set again: the bit is back and the stamp is gone.
  ASSERT_TRUE(platform::FileSetAttr(f, faArchive));
  EXPECT_EQ(platform::FileGetAttr(f), faArchive);
  char buf[64];
  EXPECT_LT(getxattr(f.c_str(), platform::kArchivedXattr, buf, sizeof buf), 0);
}

TEST(FileAttr, SambaValuesAreRead) {
  TempTree t;
  const std::string f = t.File("from-samba.doc", "x");
  if (!XattrsWork(f)) GTEST_SKIP() << "no user extended attributes here";
  const uint8_t v4_clear[] = {0, 0, 4, 0, 4, 0, 0, 0, 0x11, 0, 0, 0, 0x04, 0, 0, 0};
  ASSERT_EQ(setxattr(f.c_str(), platform::kDosAttribXattr, v4_clear, sizeof v4_clear, 0), 0);
  EXPECT_EQ(platform::FileGetAttr(f), platform::faSysFile);
  ASSERT_EQ(setxattr(f.c_str(), platform::kDosAttribXattr, "garbage", 7, 0), 0);
  EXPECT_EQ(platform::FileGetAttr(f), faArchive);  // not understood: archive
}

}  // namespace
