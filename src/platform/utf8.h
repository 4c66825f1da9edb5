#pragma once
// UTF-8 and UTF-16. Names are UTF-8 throughout the system; Joliet names are
// UTF-16. Bytes that are not valid UTF-8 stand for U+FFFD, one per byte.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

constexpr char32_t kReplacementChar = 0xFFFD;

// Decodes the character at Pos and advances Pos past it. An invalid byte
// (a stray continuation, an overlong form, a surrogate, a value above
// U+10FFFF, a truncated sequence) gives U+FFFD and advances by one byte.
char32_t DecodeUtf8(std::string_view Text, size_t& Pos);
void AppendUtf8(std::string& Out, char32_t Ch);

bool IsValidUtf8(std::string_view Text);
// Text with every invalid byte replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view Text);
// Number of characters (invalid bytes count one each).
size_t Utf8Length(std::string_view Text);
// The first Count characters of Text (all of it when shorter), sanitized.
std::string Utf8Prefix(std::string_view Text, size_t Count);

std::u16string Utf8ToUtf16(std::string_view Text);
// An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view Text);

}  // namespace platform
