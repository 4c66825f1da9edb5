// UTF-8 decoding with one U+FFFD per invalid byte, and UTF-16.

#include <gtest/gtest.h>

#include "platform/utf8.h"

namespace {

TEST(Utf8, SanitizeAndCount) {
  struct Case {
    std::string in;
    std::string out;
    size_t chars;
  };
  const std::string r = "\xEF\xBF\xBD";
  for (const Case& c : {
           Case{"plain", "plain", 5}, Case{"caf\xC3\xA9", "caf\xC3\xA9", 4},
           Case{"\xE4\xB8\xAD\xE6\x96\x87", "\xE4\xB8\xAD\xE6\x96\x87", 2},
           Case{"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 1},
           Case{"a\xFF"
                "b",
                "a" + r + "b", 3},
           Case{"\xC3", r, 1},                          // truncated
           Case{"\xC0\xAF", r + r, 2},                  // overlong
           Case{"\xED\xA0\x80", r + r + r, 3},          // surrogate
           Case{"\xF4\x90\x80\x80", r + r + r + r, 4},  // above U+10FFFF
           Case{"\x80x", r + "x", 2},                   // stray continuation
           Case{r, r, 1},                               // a real U+FFFD stays
       }) {
    EXPECT_EQ(platform::SanitizeUtf8(c.in), c.out);
    EXPECT_EQ(platform::Utf8Length(c.in), c.chars);
    EXPECT_EQ(platform::IsValidUtf8(c.in), c.in == c.out);
  }
  EXPECT_EQ(platform::Utf8Prefix("caf\xC3\xA9s", 4), "caf\xC3\xA9");
  EXPECT_EQ(platform::Utf8Prefix("ab", 9), "ab");
}

TEST(Utf8, Utf16RoundTrip) {
  const std::string text = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  const std::u16string wide = platform::Utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'A', 0x00E9, 0x4E2D, 0xD83D, 0xDE00}));
  EXPECT_EQ(platform::Utf16ToUtf8(wide), text);
  EXPECT_EQ(platform::Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
  EXPECT_EQ(platform::Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
  EXPECT_EQ(platform::Utf8ToUtf16("\xFF"), std::u16string{0xFFFD});
}

}  // namespace
