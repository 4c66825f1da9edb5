#include "platform/utf8.h"

namespace platform {

char32_t DecodeUtf8(std::string_view Text, size_t& Pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(Text[i]); };
  const unsigned char b0 = byte(Pos);
  if (b0 < 0x80) {
    ++Pos;
    return b0;
  }
  size_t len = 0;
  char32_t ch = 0;
  char32_t min = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, ch = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, ch = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, ch = b0 & 0x07, min = 0x10000;
  } else {
    ++Pos;
    return kReplacementChar;
  }
  if (Text.size() - Pos < len) {
    ++Pos;
    return kReplacementChar;
  }
  for (size_t i = 1; i < len; ++i) {
    const unsigned char b = byte(Pos + i);
    if ((b & 0xC0) != 0x80) {
      ++Pos;
      return kReplacementChar;
    }
    ch = ch << 6 | (b & 0x3F);
  }
  if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
    ++Pos;
    return kReplacementChar;
  }
  Pos += len;
  return ch;
}

void AppendUtf8(std::string& Out, char32_t Ch) {
  if (Ch > 0x10FFFF || (Ch >= 0xD800 && Ch <= 0xDFFF)) Ch = kReplacementChar;
  if (Ch < 0x80) {
    Out += static_cast<char>(Ch);
  } else if (Ch < 0x800) {
    Out += static_cast<char>(0xC0 | Ch >> 6);
    Out += static_cast<char>(0x80 | (Ch & 0x3F));
  } else if (Ch < 0x10000) {
    Out += static_cast<char>(0xE0 | Ch >> 12);
    Out += static_cast<char>(0x80 | (Ch >> 6 & 0x3F));
    Out += static_cast<char>(0x80 | (Ch & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | Ch >> 18);
    Out += static_cast<char>(0x80 | (Ch >> 12 & 0x3F));
    Out += static_cast<char>(0x80 | (Ch >> 6 & 0x3F));
    Out += static_cast<char>(0x80 | (Ch & 0x3F));
  }
}

bool IsValidUtf8(std::string_view Text) {
  size_t pos = 0;
  while (pos < Text.size()) {
    const size_t start = pos;
    if (DecodeUtf8(Text, pos) == kReplacementChar &&
        !(pos - start == 3 && Text.substr(start, 3) == "\xEF\xBF\xBD"))
      return false;
  }
  return true;
}

std::string SanitizeUtf8(std::string_view Text) {
  // Most names are plain ASCII or valid UTF-8: hand them back untouched.
  if (IsValidUtf8(Text)) return std::string(Text);
  std::string out;
  out.reserve(Text.size() + 8);
  size_t pos = 0;
  while (pos < Text.size()) AppendUtf8(out, DecodeUtf8(Text, pos));
  return out;
}

size_t Utf8Length(std::string_view Text) {
  size_t n = 0;
  size_t pos = 0;
  while (pos < Text.size()) {
    if (static_cast<unsigned char>(Text[pos]) < 0x80)
      ++pos;
    else
      DecodeUtf8(Text, pos);
    ++n;
  }
  return n;
}

std::string Utf8Prefix(std::string_view Text, size_t Count) {
  std::string out;
  size_t pos = 0;
  for (size_t n = 0; n < Count && pos < Text.size(); ++n) AppendUtf8(out, DecodeUtf8(Text, pos));
  return out;
}

std::u16string Utf8ToUtf16(std::string_view Text) {
  std::u16string out;
  out.reserve(Text.size());
  size_t pos = 0;
  while (pos < Text.size()) {
    const char32_t ch = DecodeUtf8(Text, pos);
    if (ch < 0x10000) {
      out += static_cast<char16_t>(ch);
    } else {
      const char32_t v = ch - 0x10000;
      out += static_cast<char16_t>(0xD800 | v >> 10);
      out += static_cast<char16_t>(0xDC00 | (v & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    char32_t ch = Text[i];
    if (ch >= 0xD800 && ch <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 &&
        Text[i + 1] <= 0xDFFF) {
      ch = 0x10000 + ((ch - 0xD800) << 10) + (Text[i + 1] - 0xDC00);
      ++i;
    } else if (ch >= 0xD800 && ch <= 0xDFFF) {
      ch = kReplacementChar;
    }
    AppendUtf8(out, ch);
  }
  return out;
}

}  // namespace platform
