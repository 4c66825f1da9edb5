#include "device/drive_mounts.h"

#include "device/aspi_loader.h"
#include "device/device_entry.h"
#include "device/sgio_transport.h"
#include "platform/mounts.h"
#include "platform/system_services.h"

namespace device {
namespace {

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

}  // namespace

std::string MountedDisc::Text() const {
  if (!Mounted()) return {};
  return "the disc in " + node + " is mounted on " + Joined(mount_points);
}

std::string EntryNode(std::string_view entry) {
  if (ASPIName != kBuiltInTransportName) return {};
  const std::string name = EntryDrive(entry);
  for (const TSPTIDrive& d : SPTIDriveMap.Drives) {
    if (d.Name == name) return d.Node;
  }
  return {};
}

MountedDisc MountedDiscOf(std::string_view entry) {
  MountedDisc disc;
  disc.node = EntryNode(entry);
  if (!disc.node.empty()) disc.mount_points = platform::MountPointsOf(disc.node);
  return disc;
}

bool UnmountDisc(const MountedDisc& disc, std::string& Error) {
  if (!disc.Mounted()) return true;
  const platform::ServiceOutcome outcome = platform::UnmountThroughUdisks(disc.node);
  if (outcome.status == platform::ServiceOutcome::Status::NoService) {
    Error = disc.Text() + " and cannot be unmounted here (" + outcome.text + "): umount " +
            disc.mount_points.front() + " first";
    return false;
  }
  if (!outcome.Done()) {
    Error = disc.Text() + " and could not be unmounted: " + outcome.text;
    return false;
  }
  MountedDisc after = disc;
  after.mount_points = platform::MountPointsOf(disc.node);
  if (after.Mounted()) {
    Error = "the disc in " + disc.node + " is still mounted on " + Joined(after.mount_points);
    return false;
  }
  return true;
}

}  // namespace device
