#pragma once
// The write types a drive accepted when it was selected.

#include <cstdint>

enum class TWriteMode : uint8_t { RAW = 0, SAO = 1, TAO = 2 };

class TWriteModes {
 public:
  constexpr bool Has(TWriteMode m) const { return (bits_ >> static_cast<unsigned>(m)) & 1u; }
  constexpr void Add(TWriteMode m) {
    bits_ = static_cast<uint8_t>(bits_ | 1u << static_cast<unsigned>(m));
  }
  constexpr void Clear() { bits_ = 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const TWriteModes&) const = default;

 private:
  uint8_t bits_ = 0;
};
