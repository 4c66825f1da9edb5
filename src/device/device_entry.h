#pragma once
// The device-list entry text: "H:T:L,D: " followed by the 28 identification
// characters of INQUIRY (vendor, product, revision), and " (not supported)"
// for a write-once device. D is the drive column: the device node's name
// ("sr0") where the drive has one, "?" where it has none.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace device {

inline constexpr uint8_t kDeviceTypeCdDvd = 0x05;
inline constexpr uint8_t kDeviceTypeWriteOnce = 0x04;

struct DeviceAddress {
  uint8_t adapter = 0;
  uint8_t target = 0;
  uint8_t lun = 0;
  bool operator==(const DeviceAddress&) const = default;
};

// Builds the entry from the address, the drive column (empty: "?") and the
// INQUIRY reply (at least bytes 0-35; missing bytes count as zero).
std::string DeviceEntryText(const DeviceAddress& address, std::string_view drive,
                            std::span<const uint8_t> inquiry);

// The address at the front of an entry, read up to its separators (":",
// ":", then "," or the end), so that adapters of 10 and more are read
// whole. nullopt when the entry does not begin with three decimal numbers
// below 256 so separated.
std::optional<DeviceAddress> ParseDeviceAddress(std::string_view entry);

// The drive column of an entry ("sr0", or "?" for none); empty when the
// entry has no such column.
std::string EntryDrive(std::string_view entry);

}  // namespace device
