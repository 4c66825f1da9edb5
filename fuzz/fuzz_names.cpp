// Arbitrary bytes as file names from disk: every name rule gives valid
// UTF-8 of bounded length, and UTF-8 survives a trip through UTF-16.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "burner/name_rules.h"
#include "platform/short_name.h"
#include "platform/utf8.h"

namespace {
void Check(bool ok) {
  if (!ok) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  const std::string clean = platform::SanitizeUtf8(raw);
  Check(platform::IsValidUtf8(clean));
  Check(platform::Utf8Length(clean) == platform::Utf8Length(raw));
  Check(platform::Utf16ToUtf8(platform::Utf8ToUtf16(clean)) == clean);

  const std::string name = burner::CompilationName(raw);
  Check(platform::IsValidUtf8(name) && name.find('\\') == std::string::npos);
  const std::string folder_short = burner::FolderShortName(name);
  Check(platform::Utf8Length(folder_short) <= 13);
  Check(burner::NameKey(name) == burner::NameKey(burner::UpperAscii(name)));

  const std::string path = burner::HostToCompilationPath(raw);
  Check(platform::IsValidUtf8(path));

  // The input as a folder listing: names separated by "/".
  std::vector<std::string> names;
  size_t pos = 0;
  while (pos <= raw.size() && names.size() < 64) {
    const size_t slash = raw.find('/', pos);
    const size_t end = slash == std::string_view::npos ? raw.size() : slash;
    names.push_back(platform::SanitizeUtf8(raw.substr(pos, end - pos)));
    if (slash == std::string_view::npos) break;
    pos = slash + 1;
  }
  const auto alternates = platform::SynthesizeAlternateNames(names);
  Check(alternates.size() == names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    Check(alternates[i].empty() == platform::IsValid83Name(names[i]));
    if (!alternates[i].empty()) Check(platform::IsValid83Name(alternates[i]));
  }
  return 0;
}
