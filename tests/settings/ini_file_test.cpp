#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using platform::IniFile;
using platform::ParseProfileInteger;

TEST(ProfileInteger, Forms) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0", 0},
      {"123", 123},
      {"-5", -5},
      {"+7", 7},
      {"0x1F", 31},
      {"0X1f", 31},
      {"$ff", 255},
      {"-$10", -16},
      {"$FFFFFFFF", -1},
      {"0x000000010", 16},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"0x123456789", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"yes", std::nullopt},
      {"12abc", std::nullopt},
      {"1 2", std::nullopt},
      {"1.5", std::nullopt},
      {"0xG", std::nullopt},
      {"--1", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseProfileInteger(c.text), c.value) << "text: \"" << c.text << "\"";
  }
}

TEST(IniFile, ReadingRules) {
  IniFile ini = IniFile::FromBytes(
      "\xEF\xBB\xBF"  // UTF-8 mark
      "top=before any section\r\n"
      "; a comment=1\r\n"
      "[options]\r\n"
      "  ArchiveFiles =  1  \r\n"
      "VolumeLable=\"My Disc, 2024\"\n"
      "path=C:\\Temp\\new\r"
      "hash=#not a comment\n"
      "quoted='single'\n"
      "half=\"open\n"
      "empty=\n"
      "no equals sign here\n"
      "=no key\n"
      "dup=first\n"
      "dup=second\n"
      "[ Other ]\n"
      "ArchiveFiles=0\n"
      "[OPTIONS]\n"
      "late=ignored, only the first section of a name counts\n");
  EXPECT_EQ(ini.ReadRaw("Options", "ArchiveFiles"), "1");
  EXPECT_EQ(ini.ReadRaw("OPTIONS", "archivefiles"), "1");
  EXPECT_EQ(ini.ReadRaw("Options", "VolumeLable"), "My Disc, 2024");
  EXPECT_EQ(ini.ReadRaw("Options", "path"), "C:\\Temp\\new");
  EXPECT_EQ(ini.ReadRaw("Options", "hash"), "#not a comment");
  EXPECT_EQ(ini.ReadRaw("Options", "quoted"), "single");
  EXPECT_EQ(ini.ReadRaw("Options", "half"), "\"open");
  EXPECT_EQ(ini.ReadRaw("Options", "empty"), "");
  EXPECT_EQ(ini.ReadRaw("Options", "dup"), "first");
  EXPECT_EQ(ini.ReadRaw("Options", "; a comment"), std::nullopt);
  EXPECT_EQ(ini.ReadRaw("Options", "top"), std::nullopt);
  EXPECT_EQ(ini.ReadRaw("Options", "late"), std::nullopt);
  EXPECT_EQ(ini.ReadRaw("Other", "ArchiveFiles"), "0");
  EXPECT_EQ(ini.ReadRaw("Missing", "ArchiveFiles"), std::nullopt);
}

TEST(IniFile, TypedReads) {
  IniFile ini = IniFile::FromBytes(
      "[Options]\nA=0\nB=2\nC=yes\nD=-1\nE=$10\nF=0x10\nG=\nLabel=caf\xC3\xA9 \xFF!\n");
  EXPECT_FALSE(ini.ReadBool("Options", "A", true));
  EXPECT_TRUE(ini.ReadBool("Options", "B", false));
  EXPECT_FALSE(ini.ReadBool("Options", "C", false));  // not a number: absent
  EXPECT_TRUE(ini.ReadBool("Options", "C", true));
  EXPECT_TRUE(ini.ReadBool("Options", "D", false));
  EXPECT_EQ(ini.ReadInteger("Options", "E", 7), 16);
  EXPECT_EQ(ini.ReadInteger("Options", "F", 7), 16);
  EXPECT_EQ(ini.ReadInteger("Options", "G", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Options", "Missing", 7), 7);
  EXPECT_EQ(ini.ReadString("Options", "Label", "x"), "caf\xC3\xA9 \xEF\xBF\xBD!");
  EXPECT_EQ(ini.ReadString("Options", "Missing", "x"), "x");
}

TEST(IniFile, Utf16LittleEndianFile) {
  // "[Options]\r\nVolumeLable=光盘\r\n" in UTF-16 LE with its mark.
  std::u16string text = u"[Options]\r\nVolumeLable=\u5149\u76D8\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  IniFile ini = IniFile::FromBytes(bytes);
  EXPECT_EQ(ini.ReadString("Options", "VolumeLable", ""), "\xE5\x85\x89\xE7\x9B\x98");
}

TEST(IniFile, MissingFileIsEmpty) {
  IniFile ini = IniFile::Load("/nonexistent/folder/zqcb.ini");
  EXPECT_EQ(ini.ReadRaw("Options", "CacheSize"), std::nullopt);
}
