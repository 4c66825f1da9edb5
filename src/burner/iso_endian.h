#pragma once
// Byte-order helpers for the file-system structures of an image. ISO 9660
// writes most numbers twice, little-endian then big-endian ("both-endian"),
// so that readers of either kind take them without swapping.

#include <cstddef>
#include <cstdint>
#include <span>

namespace iso {

inline void put_le16(std::span<uint8_t, 2> b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}
inline void put_be16(std::span<uint8_t, 2> b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v >> 8);
  b[1] = static_cast<uint8_t>(v);
}
inline void put_le32(std::span<uint8_t, 4> b, uint32_t v) {
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
  b[2] = static_cast<uint8_t>(v >> 16);
  b[3] = static_cast<uint8_t>(v >> 24);
}
inline void put_be32(std::span<uint8_t, 4> b, uint32_t v) {
  b[0] = static_cast<uint8_t>(v >> 24);
  b[1] = static_cast<uint8_t>(v >> 16);
  b[2] = static_cast<uint8_t>(v >> 8);
  b[3] = static_cast<uint8_t>(v);
}
// Little-endian, then the same value big-endian.
inline void put_both16(std::span<uint8_t, 4> b, uint16_t v) {
  put_le16(b.first<2>(), v);
  put_be16(b.last<2>(), v);
}
inline void put_both32(std::span<uint8_t, 8> b, uint32_t v) {
  put_le32(b.first<4>(), v);
  put_be32(b.last<4>(), v);
}

inline uint16_t get_le16(std::span<const uint8_t, 2> b) {
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}
inline uint16_t get_be16(std::span<const uint8_t, 2> b) {
  return static_cast<uint16_t>(b[0] << 8 | b[1]);
}
inline uint32_t get_le32(std::span<const uint8_t, 4> b) {
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}
inline uint32_t get_be32(std::span<const uint8_t, 4> b) {
  return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
         static_cast<uint32_t>(b[2]) << 8 | static_cast<uint32_t>(b[3]);
}

// The N bytes of Buf at Offset, as a fixed-size view: field(buf, 80) for
// bytes 80..87 of a descriptor. The subspan checks the bounds in debug
// builds; every offset passed is a named constant inside the structure.
template <size_t N, typename T>
inline std::span<T, N> field(std::span<T> Buf, size_t Offset) {
  return Buf.subspan(Offset).template first<N>();
}

}  // namespace iso
