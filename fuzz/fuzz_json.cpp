// The JSON writer of --json output: whatever bytes a name holds, the text
// is valid UTF-8, every string is closed, and the _hex field gives the
// bytes back.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/json.h"
#include "platform/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
  platform::JsonObject o;
  o.Add("path", bytes);
  platform::JsonArray a;
  a.Push(bytes);
  o.Add("list", a);
  const std::string text = o.Text();
  if (!platform::IsValidUtf8(text)) std::abort();
  // No raw control character may stand in the text.
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20) std::abort();
  if (!platform::IsValidUtf8(bytes)) {
    const std::string hex = "\"path_hex\":\"" + platform::HexBytes(bytes) + "\"";
    if (text.find(hex) == std::string::npos) std::abort();
  }
  return 0;
}
