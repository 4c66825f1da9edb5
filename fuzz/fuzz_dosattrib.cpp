// Arbitrary bytes as the extended attributes a file may carry: the DOS
// attribute value and the archived stamp. Reading stays inside the input;
// a value rewritten with a new attribute word reads back with that word
// and keeps its size.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/file_attr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> value(data, size);
  const auto parsed = platform::ParseDosAttrib(value);
  const uint32_t attr = size > 0 ? data[0] * 0x01010101u : 0;
  const auto rewritten = platform::FormatDosAttrib(value, attr);
  const auto again = platform::ParseDosAttrib(rewritten);
  if (!again || again->Attr != attr) __builtin_trap();
  if (parsed && parsed->BinaryOffset && rewritten.size() != size) __builtin_trap();
  (void)platform::ParseArchivedStamp(value);
  return 0;
}
