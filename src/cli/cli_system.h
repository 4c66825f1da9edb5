#pragma once
// What the commands that write, erase or eject ask of the machine around
// the recorder: a disc the desktop mounted is unmounted first (--unmount,
// through udisks2) or the command refused, naming the mount point; and the
// machine is kept from sleeping or shutting down while a job writes or
// erases (a logind inhibitor), with a -v note where that cannot be had.

#include <optional>
#include <string>

#include "platform/system_services.h"

class TSCSIDevice;

namespace cli {

class Frame;
class Options;

// Declares --unmount.
void AddUnmountOption(Options& Opts);

// Before a command that writes, erases or ejects: nullopt when the disc in
// the selected recorder is not mounted, or was unmounted because --unmount
// was given; otherwise the failure, reported (exit 1, naming the node and
// the mount point and saying what to do).
std::optional<int> ReleaseMountedDisc(const TSCSIDevice& Device, const Frame& F);

// The inhibitor a writing or erasing job holds while it runs. Where there
// is no logind a note goes to standard error with --verbose; a logind that
// refuses is a warning (the job goes on).
platform::SleepInhibitor KeepAwake(const Frame& F, const std::string& Why);

}  // namespace cli
