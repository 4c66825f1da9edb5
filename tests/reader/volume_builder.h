#pragma once
// Volumes built byte by byte for the reader's tests: descriptors, directory
// records with any lengths, flags, dates and system use areas, and
// directories packed into sectors, written into a disc in memory. Written
// without the system's own encoders, so that what a test puts on the disc
// is what any writer could have put there.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "memory_disc.h"

namespace volume {

using Bytes = std::vector<uint8_t>;

inline void Le32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Be32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}
inline void Both32(uint8_t* p, uint32_t v) {
  Le32(p, v);
  Be32(p + 4, v);
}

// Text as UTF-16 big-endian (ASCII and two-byte characters given as \u
// escapes in a u16string).
inline Bytes Ucs(const std::u16string& Text) {
  Bytes out;
  for (const char16_t c : Text) {
    out.push_back(static_cast<uint8_t>(c >> 8));
    out.push_back(static_cast<uint8_t>(c));
  }
  return out;
}
inline Bytes Ascii(const std::string& Text) {
  return Bytes(Text.begin(), Text.end());
}

using Date = std::array<uint8_t, 7>;
inline constexpr Date kDate = {104, 7, 15, 14, 30, 6, 0};  // 2004-07-15 14:30:06

struct Rec {
  Bytes id;
  uint32_t extent = 0;
  uint32_t size = 0;
  uint8_t flags = 0;
  Date date = kDate;
  Bytes system_use;  // after the identifier (and its padding byte)
  int length = -1;   // the length byte when not the true length
  uint8_t ext_attr = 0;
};

inline Rec File(Bytes id, uint32_t extent, uint32_t size, uint8_t flags = 0) {
  Rec r;
  r.id = std::move(id);
  r.extent = extent;
  r.size = size;
  r.flags = flags;
  return r;
}
inline Rec Folder(Bytes id, uint32_t extent, uint32_t size = 2048) {
  return File(std::move(id), extent, size, 0x02);
}
inline Rec Dot(uint32_t extent, uint32_t size = 2048) {
  return Folder({0x00}, extent, size);
}
inline Rec DotDot(uint32_t extent, uint32_t size = 2048) {
  return Folder({0x01}, extent, size);
}

inline Bytes Encode(const Rec& r) {
  const size_t id = r.id.size();
  const size_t pad = id % 2 == 0 ? 1 : 0;
  Bytes out(33 + id + pad + r.system_use.size(), 0);
  out[0] = static_cast<uint8_t>(r.length >= 0 ? r.length : static_cast<int>(out.size()));
  out[1] = r.ext_attr;
  Both32(&out[2], r.extent);
  Both32(&out[10], r.size);
  std::memcpy(&out[18], r.date.data(), 7);
  out[25] = r.flags;
  out[28] = 1;
  out[31] = 1;
  out[32] = static_cast<uint8_t>(id);
  std::copy(r.id.begin(), r.id.end(), out.begin() + 33);
  std::copy(r.system_use.begin(), r.system_use.end(), out.begin() + 33 + id + pad);
  return out;
}

// Records from Sector on; a record that does not fit the rest of a sector
// goes to the next one. Raw byte runs (Bytes) are placed as they are.
inline void PutDirectory(MemoryDisc& Disc, uint32_t Sector, const std::vector<Bytes>& Records) {
  size_t at = 0;
  uint32_t s = Sector;
  for (const Bytes& r : Records) {
    if (at + r.size() > MemoryDisc::kSector) {
      ++s;
      at = 0;
    }
    std::memcpy(Disc.Sector(s) + at, r.data(), r.size());
    at += r.size();
  }
}
inline std::vector<Bytes> Encoded(const std::vector<Rec>& Recs) {
  std::vector<Bytes> out;
  for (const Rec& r : Recs) out.push_back(Encode(r));
  return out;
}

// A volume descriptor: 1 primary, 2 supplementary (Joliet when Escape),
// 255 terminator; the root record at bytes 156-189.
inline void PutDescriptor(MemoryDisc& Disc, uint32_t Sector, uint8_t Type, uint32_t RootExtent = 0,
                          uint32_t RootSize = 2048, bool Escape = true) {
  uint8_t* d = Disc.Sector(Sector);
  std::memset(d, 0, MemoryDisc::kSector);
  d[0] = Type;
  std::memcpy(d + 1, "CD001", 5);
  d[6] = 1;
  if (Type == 255) return;
  if (Type == 2 && Escape) std::memcpy(d + 88, "%/E", 3);
  const Bytes root = Encode(Dot(RootExtent, RootSize));
  std::memcpy(d + 156, root.data(), root.size());
}

// A one-session volume: descriptors at 16 (primary), 17 (Joliet, when
// JolietRoot is not 0) and the terminator; roots where the test puts them.
inline void PutVolume(MemoryDisc& Disc, uint32_t IsoRoot, uint32_t JolietRoot = 0,
                      uint32_t IsoSize = 2048, uint32_t JolietSize = 2048) {
  PutDescriptor(Disc, 16, 1, IsoRoot, IsoSize);
  uint32_t next = 17;
  if (JolietRoot != 0) PutDescriptor(Disc, next++, 2, JolietRoot, JolietSize);
  PutDescriptor(Disc, next, 255);
}

}  // namespace volume
