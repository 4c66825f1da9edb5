#pragma once
// The unit in which image data passes from a reader thread to a writer
// thread: up to 31 sectors of data and the count of valid bytes, always a
// whole number of sectors.

#include <array>
#include <cstdint>

namespace recording {

inline constexpr int32_t kSectorBytes = 2048;
inline constexpr int32_t kBlockSectors = 31;
inline constexpr int32_t kCacheBlockBytes = kBlockSectors * kSectorBytes;  // 63,488
// The cache's capacity in blocks counts 65,536 bytes per block.
inline constexpr int32_t kBlockBudget = 65536;

struct TCacheBlock {
  std::array<uint8_t, kCacheBlockBytes> Data;
  int32_t Count = 0;
};

}  // namespace recording
