#pragma once
// Where a mode page sits in a MODE SENSE (10) reply. Drives differ in the
// block descriptors they put before it, so the page is looked for at byte
// 16, then 8, then 7 of the reply, and assumed at `fallback` when none of
// those bytes holds its code.

#include <cstddef>
#include <cstdint>
#include <span>

namespace device {

inline constexpr uint8_t kPageWriteParameters = 0x05;
inline constexpr uint8_t kPageCapabilities = 0x2A;
inline constexpr uint8_t kPageVendor30 = 0x30;
// MODE SENSE page control "default values".
inline constexpr uint8_t kPageControlDefaults = 0x80;
// Byte 0 bit 7 of a page (parameters savable) is reserved in MODE SELECT.
inline constexpr uint8_t kPageSavable = 0x80;

size_t LocateModePage(std::span<const uint8_t> reply, uint8_t page, size_t fallback = 8);

}  // namespace device
