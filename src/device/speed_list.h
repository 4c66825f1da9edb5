#pragma once
// The write-speed list as the drive bar presents it, shared by the window
// and the tidemark command: "Max", then one entry per speed the drive
// really takes, fastest first, each once ("08X (1,200 KB/s)").

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TSCSIDevice;

namespace device {

inline constexpr std::string_view kMaxSpeedEntry = "Max";

// 1 for CD media and no medium (media type below 4), 7 for DVD media.
uint16_t MediaDivisor(uint16_t media_type);

// The entry of a drive speed of `x` CD x: x div divisor as "00X " below 10
// and "0X " from 10 on, then x × 150 as "(#,##0 KB/s)".
std::string SpeedEntry(uint16_t x, uint16_t divisor);

// Tries every speed from the drive's maximum down to 1 and lists what the
// drive took each time. Leaves the drive and WriteSpeed at the last speed
// tried (1), as the window does; a job sets its own speed before it starts.
std::vector<std::string> BuildWriteSpeedList(TSCSIDevice& device, uint16_t divisor);

// The write speed, in CD x, that an entry stands for: 0 for "Max";
// otherwise the number before the first "X", times 7 on DVD media. 0 for a
// text that does not begin with a number.
uint16_t SpeedFromText(std::string_view text, uint16_t media_type);

}  // namespace device
