#pragma once
// The set of drive abilities read from mode page 2Ah and GET CONFIGURATION.
// The element's value is its bit number in the 32-bit representation.

#include <cstdint>

enum class TCapability : uint8_t {
  ReadCDR = 0,
  ReadCDRW = 1,
  ReadMode2 = 2,
  ReadDVD = 3,
  ReadDVDR = 4,
  ReadDVDRW = 5,
  ReadDVDRAM = 6,
  ReadDVDPR = 7,
  ReadDVDPRW = 8,
  WriteCDR = 9,
  WriteCDRW = 10,
  WriteTest = 11,
  WriteDVDR = 12,
  WriteDVDRW = 13,
  WriteDVDRAM = 14,
  WriteDVDPR = 15,
  WriteDVDPRW = 16,
  UnderrunProtection = 18,
};

class TCapabilities {
 public:
  constexpr TCapabilities() = default;
  constexpr explicit TCapabilities(uint32_t bits) : bits_(bits) {}

  constexpr bool Has(TCapability c) const { return (bits_ >> static_cast<unsigned>(c)) & 1u; }
  constexpr void Add(TCapability c) { bits_ |= 1u << static_cast<unsigned>(c); }
  constexpr void Remove(TCapability c) { bits_ &= ~(1u << static_cast<unsigned>(c)); }
  constexpr void Clear() { bits_ = 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr bool operator==(const TCapabilities&) const = default;

 private:
  uint32_t bits_ = 0;
};
