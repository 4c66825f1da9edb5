#pragma once
// Building the built-in transport's drive map from sysfs, and opening the
// drives' device nodes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/sgio_transport.h"

namespace device {

struct ScsiAddress {
  uint8_t host;
  uint8_t target;
  uint8_t lun;
};

// Parses the last path component of a sysfs device link, "H:C:T:L".
std::optional<ScsiAddress> ParseScsiAddress(const std::string& link_target);

// Opens a drive's node: read-write and non-blocking, falling back to
// read-only; with `exclusive`, read-write and O_EXCL only. -1 with errno set
// when it cannot be opened.
int OpenDriveNode(const std::string& node, bool exclusive, bool& writable);

// The device nodes of the CD/DVD drives the kernel lists, in node-number
// order, whether or not they can be opened or answer.
std::vector<std::string> ListedDriveNodes();

// The roots of the two trees (environment, or /sys and /dev).
std::string SysfsRoot();
std::string DevRoot();

}  // namespace device
