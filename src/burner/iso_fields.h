#pragma once
// Field encodings shared by the structures of an image: padded text fields
// of the volume descriptors, Joliet names in UTF-16 big-endian, and the two
// date forms (17-byte descriptor dates, 7-byte record dates).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/date_time.h"

namespace iso {

// The first Out.size() bytes of Text with a-z upper-cased, then spaces.
// Other bytes go in as they are; a character is never cut in half.
void SpacePad(std::span<uint8_t> Out, std::string_view Text);
// Text followed by spaces as UTF-16 big-endian code units, as many as fit
// (Out.size() / 2). A surrogate pair that would be cut becomes a space.
void UcsPad(std::span<uint8_t> Out, std::string_view Text);

// UTF-16 code units of a UTF-8 text: a character above U+FFFF takes two.
size_t Utf16Units(std::string_view Text);
// Writes Text as UTF-16 big-endian; Out holds at least 2 * Utf16Units(Text)
// bytes. Returns the bytes written.
size_t PutUtf16BE(std::span<uint8_t> Out, std::string_view Text);

inline constexpr size_t kDescriptorDateSize = 17;
inline constexpr size_t kRecordDateSize = 7;

// yyyymmddhhnnss and the first two digits of the milliseconds (at least two
// digits: 5 ms gives 05, 250 ms gives 25), then a zero offset byte.
void PutDescriptorDate(std::span<uint8_t, kDescriptorDateSize> Out, TDateTime Value);
// "0000000000000000" and a zero offset: a date that is not given.
void PutUnsetDescriptorDate(std::span<uint8_t, kDescriptorDateSize> Out);
// Years since 1900, month, day, hour, minute, second and the offset from
// Greenwich in 15-minute units. Years outside 1900..2155 are held at the
// nearest end, since the byte holds no more.
void PutRecordDate(std::span<uint8_t, kRecordDateSize> Out, TDateTime Value,
                   int16_t TimeZoneOffset);

}  // namespace iso
