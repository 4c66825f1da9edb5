#pragma once
// Directory records (ECMA-119 9.1): one per entry of a directory extent,
// "." and ".." first. The ISO and the Joliet hierarchies use the same
// record; only the identifier differs (bytes of the short name, or the long
// name in UTF-16 big-endian).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "burner/iso_fields.h"

namespace iso {

// Offsets inside a directory record.
inline constexpr size_t kDrLength = 0;
inline constexpr size_t kDrExtAttrLength = 1;
inline constexpr size_t kDrExtent = 2;       // both-endian 32
inline constexpr size_t kDrDataLength = 10;  // both-endian 32
inline constexpr size_t kDrDate = 18;        // 7 bytes
inline constexpr size_t kDrFlags = 25;
inline constexpr size_t kDrUnitSize = 26;
inline constexpr size_t kDrInterleave = 27;
inline constexpr size_t kDrVolumeSeq = 28;  // both-endian 16
inline constexpr size_t kDrIdentifierLength = 32;
inline constexpr size_t kDrIdentifier = 33;
inline constexpr size_t kDrFixedSize = 33;

inline constexpr uint8_t kFlagHidden = 0x01;  // existence bit
inline constexpr uint8_t kFlagDirectory = 0x02;

// "." and ".." records: a one-byte identifier, 0x00 or 0x01.
inline constexpr size_t kDotRecordSize = 34;
inline constexpr uint8_t kSelfIdentifier = 0x00;
inline constexpr uint8_t kParentIdentifier = 0x01;

// The largest record the length byte can state.
inline constexpr size_t kMaxRecordSize = 255;
// The longest identifiers that fit: 33 + 221 = 254 bytes (odd identifier,
// no padding byte) for ISO; 33 + 2 x 110 + 1 = 254 for Joliet.
inline constexpr size_t kMaxIsoIdentifier = 221;
inline constexpr size_t kMaxJolietUnits = 110;

// Identifiers of even length are followed by one zero byte, so that every
// record has an even length.
constexpr size_t RecordLength(size_t IdentifierBytes) {
  return kDrFixedSize + IdentifierBytes + (IdentifierBytes % 2 == 0 ? 1 : 0);
}

using RecordDate = std::array<uint8_t, kRecordDateSize>;

struct DirRecordFields {
  uint32_t Extent = 0;
  uint32_t DataLength = 0;
  RecordDate Date{};
  uint8_t Flags = 0;
};

// Writes every byte of the record but the identifier itself: the length,
// the fields, the identifier length and the padding byte. Out holds at
// least RecordLength(IdentifierBytes) bytes. Returns the record's length.
size_t PutDirRecordFixed(std::span<uint8_t> Out, const DirRecordFields& Fields,
                         size_t IdentifierBytes);
// The whole record with its identifier.
size_t PutDirRecord(std::span<uint8_t> Out, const DirRecordFields& Fields,
                    std::span<const uint8_t> Identifier);

}  // namespace iso
