#pragma once
// The records of a compilation: one TDEntry per folder, one TFEntry per
// entry of a folder (a file or a subfolder). Every subfolder has both: a
// TDEntry in the directory tables and a folder TFEntry in its parent's
// list. The component owns every record; the links between them are not
// owning.

#include <cstdint>
#include <string>

#include "burner/name_index.h"

#include "platform/date_time.h"

constexpr int64_t kSectorSize = 2048;

// Bytes rounded up to whole sectors.
constexpr int64_t RoundUpToSector(int64_t Bytes) {
  return Bytes <= 0 ? 0 : (Bytes + kSectorSize - 1) / kSectorSize * kSectorSize;
}

struct TDEntry;
struct TFEntry;
using PDirEntry = TDEntry*;
using PFileEntry = TFEntry*;

struct TDEntry {
  std::string ShortName;            // ISO 9660 identifier (upper case)
  std::string LongName;             // Joliet name, as the user or the source folder gave it
  int64_t IsoSize = 0;              // bytes of the ISO 9660 extent, whole sectors (layout)
  int64_t JolietSize = 0;           // the same for the Joliet extent (layout)
  std::string Path;                 // compilation path: \DOCS\2004; the root's is "\"
  int32_t IsoSector = 0;            // from the first sector of the ISO directory area (layout)
  int32_t JolietSector = 0;         // from the first sector of the Joliet directory area (layout)
  int32_t Number = 0;               // 1-based position in path-table order (layout); root 1
  PDirEntry Parent = nullptr;       // the root's parent is the root
  PFileEntry FirstChild = nullptr;  // head of the entries, in insertion order

  // Kept by the component's operations; change the list only through them.
  PFileEntry LastChild = nullptr;  // tail of the list
  PFileEntry Entry = nullptr;      // this folder's entry in its parent's list (none for the root)
  // Entries by the hash of their upper-cased long name (ASCII letters
  // only); entries of one name share a key, the earliest in the list is the
  // one found.
  TNameIndex Names;
  bool Removed = false;  // taken out; freed when the tables are next compacted
};

struct TFEntry {
  std::string ShortName;  // ISO 9660 name without ";1" (upper case)
  std::string LongName;   // Joliet name without the version suffix
  // The name the Joliet records carry when it differs from LongName (set by
  // the layout: characters Joliet forbids replaced, clashes numbered);
  // empty otherwise.
  std::string JolietId;
  std::string SourcePath;  // host path the data is read from; empty for folders and imported files
  uint8_t Imported = 0;    // 1: the data lies on the disc at the absolute sector IsoSector
  TDateTime DateTime = 0;  // recording date, local time
  int64_t Size = 0;        // a file's bytes; a folder entry: its ISO directory size (layout)
  int64_t JolietSize = 0;  // Size for a file; a folder entry: its Joliet directory size (layout)
  int32_t IsoSector = 0;   // new file: from the first file sector; imported: absolute
  int32_t JolietSector = 0;  // the same for the Joliet records (IsoSector for files)
  int32_t Attr = 0;          // 0x10 folder, 0x02 hidden, 0x20 archive, others kept as given
  uint8_t ClearArchive = 0;  // clear the source's archive bit after a successful write
  PDirEntry Dir = nullptr;   // a folder entry's folder; null for a file
  PFileEntry Next = nullptr;

  // Kept by the component's operations.
  PFileEntry Prev = nullptr;  // previous entry of the same list
  PDirEntry Owner = nullptr;  // the folder whose list holds this entry
  uint64_t Order = 0;         // increases along every list; ranks entries of one name
  bool Removed = false;       // taken out; freed when the tables are next compacted
};

// A folder entry (as opposed to a file).
inline bool IsFolderEntry(const TFEntry* Entry) {
  return Entry->Dir != nullptr;
}
