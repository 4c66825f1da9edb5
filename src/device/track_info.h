#pragma once
// The reply of READ TRACK INFORMATION as the component keeps it: the bytes
// the drive sent (at most 38) and the fields in host order.

#include <array>
#include <cstdint>

struct TTrackInfo {
  uint16_t DataLength = 0;       // bytes 0-1
  uint8_t TrackNumber = 0;       // byte 2 (low byte)
  uint8_t SessionNumber = 0;     // byte 3 (low byte)
  uint8_t TrackMode = 0;         // byte 5: damage, copy, track mode
  uint8_t DataMode = 0;          // byte 6: RT, blank, packet, FP, data mode
  uint8_t Flags = 0;             // byte 7: LRA_V, NWA_V
  uint32_t TrackStart = 0;       // bytes 8-11
  uint32_t NextWritable = 0;     // bytes 12-15
  uint32_t FreeBlocks = 0;       // bytes 16-19
  uint32_t FixedPacketSize = 0;  // bytes 20-23
  uint32_t TrackSize = 0;        // bytes 24-27
  uint32_t LastRecorded = 0;     // bytes 28-31
  std::array<uint8_t, 38> Raw{};
};
