#include "burner/extract_names.h"

#include "platform/utf8.h"

namespace burner {

std::string SafeHostName(std::string_view LongName) {
  std::string name = platform::SanitizeUtf8(LongName);
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) c = '_';
  }
  while (name.size() >= 2 && name.back() == '.') name.pop_back();
  // Of "." and "..", only "." is left here.
  if (name.empty() || name == ".") return "_";
  if (name.size() > kHostNameMax) {
    // Back to the start of the character the cut would split.
    size_t cut = kHostNameMax;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return name;
}

}  // namespace burner
