#pragma once
// Reading the structures of a disc's file system back: the volume
// descriptors of a session and the directory records of its extents. The
// bytes come from a disc, so nothing in them is trusted: every field is read
// through a bounded cursor over the one sector that holds it, and a record
// whose lengths do not agree with each other or with its sector is reported
// as bad instead of being read past its end.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "burner/iso_dir_record.h"
#include "burner/iso_volume_descriptor.h"

namespace iso {

using ConstSector = std::span<const uint8_t, kSectorBytes>;

// The descriptor set starts 16 sectors into the session; the reader looks
// at no more than this many sectors for the descriptors it needs.
inline constexpr uint32_t kDescriptorSetOffset = 16;
inline constexpr uint32_t kDescriptorScanSectors = 21;

enum class DescriptorKind {
  None,                // not a volume descriptor
  Primary,             // type 1
  Supplementary,       // type 2 with a Joliet escape sequence
  OtherSupplementary,  // type 2 of another character set (ISO 9660:1999 and the like)
  Terminator,          // type 255
  Other,               // boot record, partition descriptor, ...
};

// What the reader takes from a volume descriptor: its kind and the extent
// and data length of its root directory (little-endian halves).
struct DescriptorInfo {
  DescriptorKind Kind = DescriptorKind::None;
  uint32_t RootExtent = 0;
  uint32_t RootSize = 0;
};
DescriptorInfo ReadDescriptor(ConstSector Sector);

// A Joliet escape sequence (UCS-2 levels 1, 2 and 3) in the 32 escape bytes.
bool HasJolietEscape(std::span<const uint8_t> Escapes);

// The 14-byte system use block of CD-ROM XA: four zero bytes, one byte of
// attributes, then 55h "X" "A". Older writers left it between records.
inline constexpr size_t kXaBlockSize = 14;
// Identifiers this long or longer are refused with the length message.
inline constexpr size_t kJolietIdentifierLimit = 215;
inline constexpr size_t kIsoIdentifierLimit = 240;

// Flags of a directory record beyond hidden and directory.
inline constexpr uint8_t kFlagAssociated = 0x04;   // an associated file (resource fork)
inline constexpr uint8_t kFlagMultiExtent = 0x80;  // more extents of this file follow

enum class RecordKind {
  Record,       // a record to take
  XaBlock,      // the XA block: step over it
  EndOfSector,  // a zero length byte: the rest of the sector is padding
  Bad,          // lengths that contradict each other or the sector
};

struct DirRecordView {
  RecordKind Kind = RecordKind::EndOfSector;
  size_t Step = 0;  // bytes from this record to the next one (Record, XaBlock, Bad with a step)
  uint32_t Extent = 0;
  uint32_t DataLength = 0;
  RecordDate Date{};
  uint8_t Flags = 0;
  std::span<const uint8_t> Identifier;  // inside the sector
  const char* Problem = nullptr;        // why a record is Bad
};

// The record at Offset of a directory sector. IsoRules: the ISO 9660
// hierarchy, where the XA block may stand between records. The step is the
// record's length byte when that length holds the identifier; otherwise the
// record is Bad and the step is the end of its identifier (and padding),
// when that still lies inside the sector, else 0 (the sector ends there).
DirRecordView ReadDirRecordAt(ConstSector Sector, size_t Offset, bool IsoRules);

// "." or "..": a one-byte identifier 00h or 01h.
bool IsDotIdentifier(std::span<const uint8_t> Identifier);

// A Joliet identifier (UTF-16 big-endian) as UTF-8, cut at the first ";"
// from its third character on. An odd last byte is dropped; an unpaired
// surrogate becomes U+FFFD.
std::string JolietIdentifierName(std::span<const uint8_t> Identifier);
// An ISO 9660 identifier cut at the first ";", as valid UTF-8 (each byte
// that is not becomes U+FFFD).
std::string IsoIdentifierName(std::span<const uint8_t> Identifier);
// The identifier as a log line shows it.
std::string ShownIdentifier(std::span<const uint8_t> Identifier, bool Joliet);

// The packed DOS date-time of a record date (the offset byte ignored).
// Fields that form no valid date give 1980-01-01 00:00:00; years before
// 1980 and after 2107 are held at the nearest end of what the form holds.
uint32_t RecordDateToDos(const RecordDate& Date);

}  // namespace iso
