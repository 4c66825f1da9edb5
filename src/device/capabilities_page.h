#pragma once
// The capabilities mode page (2Ah) as the component keeps it: its first 22
// bytes as last read, and the speed and buffer fields in host order.

#include <array>
#include <cmath>
#include <cstdint>

struct TCapabilitiesPage {
  std::array<uint8_t, 22> Raw{};   // byte 0 = page code
  uint16_t MaxReadSpeed = 0;       // bytes 8-9, kilobytes per second
  uint16_t BufferSize = 0;         // bytes 12-13, kilobytes
  uint16_t CurrentReadSpeed = 0;   // bytes 14-15
  uint16_t MaxWriteSpeed = 0;      // bytes 18-19
  uint16_t CurrentWriteSpeed = 0;  // bytes 20-21
};

namespace device {

// Kilobytes per second of one x as drives report speeds in page 2Ah.
inline constexpr double kReportedKbpsPerX = 176.46;

// A reported speed in x: to the nearest whole number, halves to even
// (1,764 kB/s is 10x, 7,056 kB/s is 40x).
inline uint16_t ReportedSpeedX(uint16_t kbps) {
  return static_cast<uint16_t>(std::nearbyint(kbps / kReportedKbpsPerX));
}

}  // namespace device
