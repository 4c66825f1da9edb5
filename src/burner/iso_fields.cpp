#include "burner/iso_fields.h"

#include <algorithm>
#include <cstdio>

#include "platform/utf8.h"

namespace iso {
namespace {

// Bytes of the UTF-8 sequence that Lead begins (1 for anything else).
size_t SequenceLength(uint8_t Lead) {
  if (Lead >= 0xF0 && Lead < 0xF8) return 4;
  if (Lead >= 0xE0) return Lead < 0xF0 ? 3 : 1;
  if (Lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

void SpacePad(std::span<uint8_t> Out, std::string_view Text) {
  size_t n = 0;
  while (n < Text.size()) {
    const size_t len = std::min(SequenceLength(static_cast<uint8_t>(Text[n])), Text.size() - n);
    if (n + len > Out.size()) break;
    for (size_t i = 0; i < len; ++i) {
      char c = Text[n + i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      Out[n + i] = static_cast<uint8_t>(c);
    }
    n += len;
  }
  std::fill(Out.begin() + static_cast<ptrdiff_t>(n), Out.end(), uint8_t{' '});
}

namespace {

void PutUnit(std::span<uint8_t> Out, size_t Unit, char16_t Value) {
  Out[2 * Unit] = static_cast<uint8_t>(Value >> 8);
  Out[2 * Unit + 1] = static_cast<uint8_t>(Value);
}

}  // namespace

void UcsPad(std::span<uint8_t> Out, std::string_view Text) {
  const size_t units = Out.size() / 2;
  size_t unit = 0;
  size_t pos = 0;
  while (unit < units && pos < Text.size()) {
    const char32_t ch = platform::DecodeUtf8(Text, pos);
    if (ch < 0x10000) {
      PutUnit(Out, unit++, static_cast<char16_t>(ch));
    } else if (unit + 2 <= units) {
      const char32_t v = ch - 0x10000;
      PutUnit(Out, unit++, static_cast<char16_t>(0xD800 + (v >> 10)));
      PutUnit(Out, unit++, static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      break;
    }
  }
  while (unit < units) PutUnit(Out, unit++, u' ');
}

size_t Utf16Units(std::string_view Text) {
  size_t units = 0;
  size_t pos = 0;
  while (pos < Text.size()) {
    const auto lead = static_cast<uint8_t>(Text[pos]);
    if (lead < 0x80) {  // the common case, without decoding
      ++units;
      ++pos;
      continue;
    }
    units += platform::DecodeUtf8(Text, pos) < 0x10000 ? 1 : 2;
  }
  return units;
}

size_t PutUtf16BE(std::span<uint8_t> Out, std::string_view Text) {
  size_t unit = 0;
  size_t pos = 0;
  while (pos < Text.size()) {
    const auto lead = static_cast<uint8_t>(Text[pos]);
    if (lead < 0x80) {
      PutUnit(Out, unit++, lead);
      ++pos;
      continue;
    }
    const char32_t ch = platform::DecodeUtf8(Text, pos);
    if (ch < 0x10000) {
      PutUnit(Out, unit++, static_cast<char16_t>(ch));
    } else {
      const char32_t v = ch - 0x10000;
      PutUnit(Out, unit++, static_cast<char16_t>(0xD800 + (v >> 10)));
      PutUnit(Out, unit++, static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    }
  }
  return 2 * unit;
}

void PutDescriptorDate(std::span<uint8_t, kDescriptorDateSize> Out, TDateTime Value) {
  const platform::DateTimeParts p = platform::DecodeDateTime(Value);
  // Formatted in full, then cut to 16 digits: the milliseconds keep their
  // leading digits.
  char text[40];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d%02d", std::clamp(p.Year, 0, 9999),
                p.Month, p.Day, p.Hour, p.Minute, p.Second, p.Millisecond);
  for (size_t i = 0; i < 16; ++i) Out[i] = static_cast<uint8_t>(text[i]);
  Out[16] = 0;
}

void PutUnsetDescriptorDate(std::span<uint8_t, kDescriptorDateSize> Out) {
  std::fill(Out.begin(), Out.begin() + 16, uint8_t{'0'});
  Out[16] = 0;
}

void PutRecordDate(std::span<uint8_t, kRecordDateSize> Out, TDateTime Value,
                   int16_t TimeZoneOffset) {
  const platform::DateTimeParts p = platform::DecodeDateTime(Value);
  Out[0] = static_cast<uint8_t>(std::clamp(p.Year - 1900, 0, 255));
  Out[1] = static_cast<uint8_t>(p.Month);
  Out[2] = static_cast<uint8_t>(p.Day);
  Out[3] = static_cast<uint8_t>(p.Hour);
  Out[4] = static_cast<uint8_t>(p.Minute);
  Out[5] = static_cast<uint8_t>(p.Second);
  Out[6] = static_cast<uint8_t>(static_cast<int8_t>(TimeZoneOffset));
}

}  // namespace iso
