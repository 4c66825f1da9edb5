#pragma once
// Small helpers shared by the device tests.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

// "2A 00 12" -> {0x2A, 0x00, 0x12}
inline std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> out;
  std::istringstream in(text);
  std::string byte;
  while (in >> byte) out.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
  return out;
}

// A field of a packed request block as a value (test macros take references,
// which must not bind to its unaligned fields).
template <typename T>
T Val(T v) {
  return v;
}

inline std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) {
  return {p, p + n};
}
