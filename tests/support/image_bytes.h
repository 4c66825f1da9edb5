#pragma once
// Reading fields out of an image header or image file in tests, by byte
// offset, without the system's own code: what a test checks is then what
// any reader of the bytes would see.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace image_bytes {

constexpr size_t kSector = 2048;

inline uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}
inline uint32_t Be32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 |
         uint32_t(b[at + 3]);
}
inline uint16_t Le16(std::span<const uint8_t> b, size_t at) {
  return uint16_t(b[at] | b[at + 1] << 8);
}
inline uint16_t Be16(std::span<const uint8_t> b, size_t at) {
  return uint16_t(b[at] << 8 | b[at + 1]);
}
// A both-endian field: both halves must agree; the little-endian value.
inline bool Both32(std::span<const uint8_t> b, size_t at, uint32_t& value) {
  value = Le32(b, at);
  return value == Be32(b, at + 4);
}

inline std::span<const uint8_t> SectorOf(std::span<const uint8_t> image, size_t sector) {
  return image.subspan(sector * kSector, kSector);
}

inline std::string Text(std::span<const uint8_t> b, size_t at, size_t n) {
  return std::string(reinterpret_cast<const char*>(b.data() + at), n);
}

inline bool AllZero(std::span<const uint8_t> b) {
  for (uint8_t c : b)
    if (c != 0) return false;
  return true;
}

// One directory record as read from an extent.
struct Record {
  size_t offset = 0;  // in the extent
  uint8_t length = 0;
  uint32_t extent = 0;
  uint32_t size = 0;
  uint8_t date[7] = {};
  uint8_t flags = 0;
  std::vector<uint8_t> id;  // the identifier's raw bytes
};

// Every record of an extent, skipping the zero tail of each sector.
inline std::vector<Record> Records(std::span<const uint8_t> extent) {
  std::vector<Record> out;
  size_t pos = 0;
  while (pos < extent.size()) {
    const uint8_t len = extent[pos];
    if (len == 0) {
      pos = (pos / kSector + 1) * kSector;
      continue;
    }
    Record r;
    r.offset = pos;
    r.length = len;
    r.extent = Le32(extent, pos + 2);
    r.size = Le32(extent, pos + 10);
    for (int i = 0; i < 7; ++i) r.date[i] = extent[pos + 18 + i];
    r.flags = extent[pos + 25];
    const uint8_t idlen = extent[pos + 32];
    r.id.assign(extent.begin() + static_cast<ptrdiff_t>(pos + 33),
                extent.begin() + static_cast<ptrdiff_t>(pos + 33 + idlen));
    out.push_back(r);
    pos += len;
  }
  return out;
}

inline std::string Ascii(const std::vector<uint8_t>& id) {
  return std::string(id.begin(), id.end());
}

// A UTF-16 big-endian identifier as a UTF-16 string.
inline std::u16string Utf16(const std::vector<uint8_t>& id) {
  std::u16string s;
  for (size_t i = 0; i + 1 < id.size(); i += 2) s.push_back(char16_t(id[i] << 8 | id[i + 1]));
  return s;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace image_bytes
