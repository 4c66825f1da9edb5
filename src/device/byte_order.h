#pragma once
// Explicit byte-order helpers for command blocks and drive replies. SCSI
// fields are big-endian; the ASPI request block itself is host order
// (little-endian on every machine we build for).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace device {

inline uint16_t get_be16(std::span<const uint8_t, 2> b) {
  return static_cast<uint16_t>(b[0] << 8 | b[1]);
}
inline uint32_t get_be24(std::span<const uint8_t, 3> b) {
  return static_cast<uint32_t>(b[0]) << 16 | static_cast<uint32_t>(b[1]) << 8 | b[2];
}
inline uint32_t get_be32(std::span<const uint8_t, 4> b) {
  return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
         static_cast<uint32_t>(b[2]) << 8 | b[3];
}

inline void put_be16(std::span<uint8_t, 2> b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v >> 8);
  b[1] = static_cast<uint8_t>(v);
}
inline void put_be24(std::span<uint8_t, 3> b, uint32_t v) {
  b[0] = static_cast<uint8_t>(v >> 16);
  b[1] = static_cast<uint8_t>(v >> 8);
  b[2] = static_cast<uint8_t>(v);
}
inline void put_be32(std::span<uint8_t, 4> b, uint32_t v) {
  b[0] = static_cast<uint8_t>(v >> 24);
  b[1] = static_cast<uint8_t>(v >> 16);
  b[2] = static_cast<uint8_t>(v >> 8);
  b[3] = static_cast<uint8_t>(v);
}

inline void put_le16(std::span<uint8_t, 2> b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}
inline void put_le32(std::span<uint8_t, 4> b, uint32_t v) {
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
  b[2] = static_cast<uint8_t>(v >> 16);
  b[3] = static_cast<uint8_t>(v >> 24);
}

// Field views at a fixed offset of a buffer whose size is known at compile
// time or checked by the caller: `at<4>(buf, 8)` is bytes 8..11.
template <size_t N, typename T, size_t E>
inline std::span<T, N> at(std::span<T, E> buf, size_t offset) {
  return std::span<T>(buf).subspan(offset).template first<N>();
}
template <size_t N, typename T, size_t M>
inline std::span<T, N> at(std::array<T, M>& buf, size_t offset) {
  return at<N>(std::span<T, M>(buf), offset);
}

}  // namespace device
