#pragma once
// Which file systems are mounted from a block device, read from the
// kernel's mount table (/proc/self/mountinfo, or $TIDEMARK_MOUNTINFO so
// that tests can present mounts of their own).

#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct MountEntry {
  unsigned major = 0;
  unsigned minor = 0;
  std::string mount_point;  // octal escapes (\040 for a blank) decoded
  std::string source;       // the mount source, e.g. /dev/sr0
};

// The entries of a mountinfo text. A line that does not have the fields a
// mount entry has is skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The mount points of the file systems mounted from `node` (a device node
// such as /dev/sr0, or a link to one): entries with the node's device
// number, or whose source names the same file. Empty when nothing is
// mounted or the table cannot be read.
std::vector<std::string> MountPointsOf(const std::string& node);

}  // namespace platform
