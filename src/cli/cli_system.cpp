#include "cli/cli_system.h"

#include <cstdio>

#include "cli/cli_frame.h"
#include "cli/cli_options.h"
#include "cli/command.h"
#include "device/drive_mounts.h"
#include "device/scsi_device.h"

namespace cli {

void AddUnmountOption(Options& Opts) {
  Opts.Add("--unmount", "",
           "unmount the disc first when the desktop has mounted it (through udisks2)");
}

std::optional<int> ReleaseMountedDisc(const TSCSIDevice& Device, const Frame& F) {
  const device::MountedDisc disc = device::MountedDiscOf(Device.DeviceId);
  if (!disc.Mounted()) return std::nullopt;
  if (!F.Opts().Has("--unmount"))
    return F.Fail(kExitFailed, disc.Text() + "; --unmount unmounts it first");
  std::string error;
  if (!device::UnmountDisc(disc, error)) return F.Fail(kExitFailed, error);
  return std::nullopt;
}

platform::SleepInhibitor KeepAwake(const Frame& F, const std::string& Why) {
  platform::ServiceOutcome outcome;
  platform::SleepInhibitor lock = platform::SleepInhibitor::Take(Why, outcome);
  if (outcome.status == platform::ServiceOutcome::Status::NoService) {
    if (F.Verbose())
      std::fprintf(stderr, "tidemark: note: nothing keeps the machine awake during the job: %s\n",
                   outcome.text.c_str());
  } else if (!outcome.Done()) {
    F.Warn("the machine may sleep during the job: " + outcome.text);
  }
  return lock;
}

}  // namespace cli
