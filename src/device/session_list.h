#pragma once
// The disc information the session dialog shows, shared by the window and
// the tidemark command: one line per session (its number, the start of its
// first track as MMM:SS:FF, its size in megabytes), the " Free" line, and
// the medium, total and used figures.

#include <cstdint>
#include <string>
#include <vector>

class TSCSIDevice;

namespace device {

inline constexpr const char* kSessionListHeader = "Session    Duration     Size";
// The only line when the drive is not ready or holds no disc.
inline constexpr const char* kNoDiscLine = "     -------";

struct SessionList {
  bool Ready = false;
  std::vector<std::string> Lines;  // the sessions, then " Free"
  std::string Medium;              // a MediaNames entry
  std::string DiscSize;            // "0.00 MB"
  std::string UsedSpace;           // "0.00 MB"
  // The figures behind the texts, in blocks of 2048 bytes.
  uint32_t CapacityBlocks = 0;
  uint32_t UsedBlocks = 0;
  uint32_t FreeBlocks = 0;
  uint8_t FirstSession = 0;
  uint8_t LastSession = 0;
};

SessionList ReadSessionList(TSCSIDevice& device);

// "0.00 MB" of a count of 2048-byte blocks.
std::string MegabytesText(uint32_t blocks);

}  // namespace device
