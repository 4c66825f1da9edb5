#pragma once
// How the records of one directory extent are laid out, shared by the
// layout (which sizes the extents) and the header writer (which fills
// them), so that both place every record at the same byte.

#include <algorithm>
#include <cstdint>
#include <string>

#include "burner/compilation.h"
#include "burner/iso_dir_record.h"
#include "burner/iso_fields.h"

namespace burner::iso_layout {

enum class Hierarchy { Iso, Joliet };

// The names an entry's records carry. A folder entry takes its folder's
// names, which the path tables carry too, so that the two always agree.
inline const std::string& IsoName(const TFEntry* Entry) {
  return IsFolderEntry(Entry) ? Entry->Dir->ShortName : Entry->ShortName;
}
inline const std::string& JolietName(const TFEntry* Entry) {
  return Entry->JolietId.empty() ? Entry->LongName : Entry->JolietId;
}
// A folder's Joliet name, as its entry's record and the path tables carry it.
inline const std::string& JolietName(const TDEntry* Dir) {
  return Dir->Entry != nullptr ? JolietName(Dir->Entry) : Dir->LongName;
}

// ";1" follows every file identifier.
inline constexpr size_t kVersionLength = 2;

// Identifier length in bytes of an entry's record.
inline size_t IdentifierBytes(const TFEntry* Entry, Hierarchy Kind) {
  const size_t version = IsFolderEntry(Entry) ? 0 : kVersionLength;
  if (Kind == Hierarchy::Iso) return IsoName(Entry).size() + version;
  return 2 * (iso::Utf16Units(JolietName(Entry)) + version);
}

// Packs a directory's records into sectors: "." and "..", then one record
// per entry in list order. A record never crosses a sector boundary (one
// that fits exactly fits); the rest of a sector that cannot take the next
// record stays zero. Place(Entry, Offset, IdentifierBytes) is called for
// every entry. Returns the extent's size: whole sectors, at least one.
template <typename PlaceFn>
int64_t PackRecords(const TDEntry* Dir, Hierarchy Kind, PlaceFn&& Place) {
  int64_t pos = 2 * static_cast<int64_t>(iso::kDotRecordSize);
  for (const TFEntry* e = Dir->FirstChild; e != nullptr; e = e->Next) {
    const size_t id = IdentifierBytes(e, Kind);
    const auto length = static_cast<int64_t>(iso::RecordLength(id));
    if (pos % kSectorSize + length > kSectorSize) pos = RoundUpToSector(pos);
    Place(e, pos, id);
    pos += length;
  }
  return std::max(RoundUpToSector(pos), kSectorSize);
}

inline int64_t ExtentSize(const TDEntry* Dir, Hierarchy Kind) {
  return PackRecords(Dir, Kind, [](const TFEntry*, int64_t, size_t) {});
}

}  // namespace burner::iso_layout
