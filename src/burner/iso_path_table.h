#pragma once
// Path table records (ECMA-119 9.4): one per directory in path-table order,
// the root first. Each hierarchy has a type L table (little-endian numbers)
// and a type M table (big-endian) with the same records.

#include <cstddef>
#include <cstdint>
#include <span>

namespace iso {

inline constexpr size_t kPtIdentifierLength = 0;
inline constexpr size_t kPtExtAttrLength = 1;
inline constexpr size_t kPtExtent = 2;  // 32-bit, the table's byte order
inline constexpr size_t kPtParent = 6;  // 16-bit, the table's byte order
inline constexpr size_t kPtIdentifier = 8;
inline constexpr size_t kPtFixedSize = 8;

// The root's record: identifier length 1, identifier 0, one padding byte.
inline constexpr size_t kPtRootRecordSize = 10;

enum class ByteOrder { Little, Big };

// An odd identifier is followed by one zero byte.
constexpr size_t PathRecordLength(size_t IdentifierBytes) {
  return kPtFixedSize + IdentifierBytes + (IdentifierBytes % 2);
}

// Writes every byte but the identifier (which the caller puts at
// kPtIdentifier). Out holds PathRecordLength(IdentifierBytes) bytes.
size_t PutPathRecordFixed(std::span<uint8_t> Out, ByteOrder Order, uint32_t Extent, uint16_t Parent,
                          size_t IdentifierBytes);
size_t PutPathRecord(std::span<uint8_t> Out, ByteOrder Order, uint32_t Extent, uint16_t Parent,
                     std::span<const uint8_t> Identifier);
// The root's record (parent number 1).
size_t PutRootPathRecord(std::span<uint8_t> Out, ByteOrder Order, uint32_t Extent);

}  // namespace iso
