#pragma once
// Discs the desktop has mounted. A recorder whose disc is mounted must not
// be written, erased or opened under the file system: the user is told
// which mount holds it and offered to unmount it (through udisks2).

#include <string>
#include <string_view>
#include <vector>

namespace device {

struct MountedDisc {
  std::string node;                       // /dev/sr0
  std::vector<std::string> mount_points;  // empty: not mounted

  bool Mounted() const { return !mount_points.empty(); }
  // "the disc in /dev/sr0 is mounted on /media/u/DISC"; empty when not
  // mounted.
  std::string Text() const;
};

// The device node of the recorder of a device-list entry; empty when the
// transport in use has none (a library, such as the virtual recorder).
std::string EntryNode(std::string_view entry);

// What is mounted from the disc of the recorder of a device-list entry.
MountedDisc MountedDiscOf(std::string_view entry);

// Unmounts the disc through udisks2. False, with Error saying why and what
// the user can do instead, when it is still mounted afterwards.
bool UnmountDisc(const MountedDisc& disc, std::string& Error);

}  // namespace device
