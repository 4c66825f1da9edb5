#pragma once
// The files that make the virtual recorder look like a Linux drive to the
// programs run under the shim: a stand-in for the device node, a sysfs
// entry (class/block/srN with its device link and INQUIRY strings, beside
// links to the machine's own entries) and /proc/sys/dev/cdrom/info.

#include <string>

namespace vrec {

struct ShimLayout {
  std::string root;  // folder holding everything below
  std::string node = "/dev/sr0";
  std::string address = "0:0:0:0";  // H:C:T:L

  std::string name() const;  // "sr0"
  int minor_number() const;  // the digits of the name
  std::string marker() const { return root + "/node"; }
  std::string block_dir() const { return root + "/sys/class/block"; }
  std::string device_dir() const { return root + "/sys/" + address; }
  std::string scsi_devices_dir() const { return root + "/sys/bus/scsi/devices"; }
  std::string cdrom_info() const { return root + "/proc/cdrom-info"; }
};

// H:C:T:L with four numbers 0..255.
bool ParseScsiAddress(const std::string& text, int out[4]);

// Creates the files in layout.root (which must exist and be empty).
bool BuildShimRoot(const ShimLayout& layout, std::string* error);
// Removes layout.root and everything in it.
void RemoveShimRoot(const std::string& root);

}  // namespace vrec
