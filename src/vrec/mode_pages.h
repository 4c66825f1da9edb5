#pragma once
// The recorder's mode pages: read error recovery (01h), write parameters
// (05h) and capabilities (2Ah), each with its changeable mask and defaults.

#include <cstdint>
#include <vector>

#include "vrec/drive_state.h"

namespace vrec::detail {

enum class PageControl : std::uint8_t { kCurrent = 0, kChangeable = 1, kDefault = 2, kSaved = 3 };

// Appends page `code` to `out`; false when the recorder has no such page.
bool AppendModePage(const DriveState& s, std::uint8_t code, PageControl pc,
                    std::vector<std::uint8_t>& out);

// Offsets in the capabilities page.
namespace page2a {
inline constexpr std::size_t kReadCaps = 2, kWriteCaps = 3, kFeatures = 4, kMechanism = 6,
                             kMaxReadSpeed = 8, kBufferSize = 12, kCurrentReadSpeed = 14,
                             kMaxWriteSpeed = 18, kCurrentWriteSpeedOld = 20,
                             kCurrentWriteSpeed = 28, kDescriptorCount = 30, kDescriptors = 32;
}

}  // namespace vrec::detail
