#include "burner/iso_names.h"

#include <algorithm>

#include "burner/iso_dir_record.h"
#include "burner/iso_fields.h"

namespace iso {
namespace {

constexpr size_t kVersionBytes = 2;  // ";1"
constexpr size_t kFileNamePart = 8;
constexpr size_t kFolderName = 13;

bool IsDigits(std::string_view Text) {
  return !Text.empty() &&
         std::all_of(Text.begin(), Text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Count bytes of Text, or fewer so that no UTF-8 sequence is cut.
size_t CharBoundary(std::string_view Text, size_t Count) {
  Count = std::min(Count, Text.size());
  while (Count > 0 && Count < Text.size() && (static_cast<uint8_t>(Text[Count]) & 0xC0) == 0x80)
    --Count;
  return Count;
}

}  // namespace

bool IsoNameFits(std::string_view ShortName, bool IsFile) {
  return ShortName.size() + (IsFile ? kVersionBytes : 0) <= kMaxIsoIdentifier;
}

bool JolietNameFits(std::string_view LongName, bool IsFile) {
  return Utf16Units(LongName) + (IsFile ? kVersionBytes : 0) <= kMaxJolietUnits;
}

std::string_view IsoNameKey(std::string_view ShortName, bool IsFile) {
  if (IsFile) {
    while (!ShortName.empty() && ShortName.back() == '.') ShortName.remove_suffix(1);
  }
  return ShortName;
}

std::string NumberedName(std::string_view ShortName, bool IsFile, unsigned K) {
  std::string_view stem = ShortName;
  std::string_view extension;
  if (IsFile) {
    const size_t dot = ShortName.rfind('.');
    if (dot != std::string_view::npos) {
      stem = ShortName.substr(0, dot);
      extension = ShortName.substr(dot);
    }
  }
  const size_t limit = std::max(IsFile ? kFileNamePart : kFolderName, stem.size());
  const size_t tilde = stem.rfind('~');
  if (tilde != std::string_view::npos && IsDigits(stem.substr(tilde + 1)))
    stem = stem.substr(0, tilde);
  const std::string suffix = "~" + std::to_string(K);
  const size_t room = limit > suffix.size() ? limit - suffix.size() : 1;
  std::string out(stem.substr(0, CharBoundary(stem, room)));
  out += suffix;
  out += extension;
  return out;
}

}  // namespace iso
