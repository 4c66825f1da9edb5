#pragma once
// The machine's services a recording deals with, reached over the D-Bus
// system bus: logind, to keep the machine from sleeping or shutting down
// while a disc is written, and udisks2, to unmount a disc the desktop
// mounted. The bus is the one $DBUS_SYSTEM_BUS_ADDRESS names, else the
// system's. Where there is no bus (a container, a minimal install) or no
// such service on it, a request says so instead of failing.

#include <string>

namespace platform {

struct ServiceOutcome {
  enum class Status {
    Done,       // the service did what was asked
    NoService,  // no system bus, or the service is not on it
    Failed,     // the service answered with an error
  };
  Status status = Status::Failed;
  std::string text;  // why, when not Done

  bool Done() const { return status == Status::Done; }
};

// A logind inhibitor lock for "shutdown:sleep:idle" in block mode, held
// while the object lives (logind drops it when its descriptor is closed).
class SleepInhibitor {
 public:
  SleepInhibitor() = default;
  SleepInhibitor(const SleepInhibitor&) = delete;
  SleepInhibitor& operator=(const SleepInhibitor&) = delete;
  SleepInhibitor(SleepInhibitor&& other) noexcept;
  SleepInhibitor& operator=(SleepInhibitor&& other) noexcept;
  ~SleepInhibitor();

  // Asks logind for the lock; `why` is the reason the session's power
  // dialogs show. The outcome says whether it is held, and why not.
  static SleepInhibitor Take(const std::string& why, ServiceOutcome& outcome);

  bool Held() const { return fd_ >= 0; }
  void Release();

 private:
  int fd_ = -1;
};

// Asks udisks2 to unmount the file system on the block device `node`
// (/dev/sr0), as the desktop's own eject does; the user may be asked for
// authorisation by the desktop.
ServiceOutcome UnmountThroughUdisks(const std::string& node);

// Shows a desktop notification through the session's notification
// service (org.freedesktop.Notifications on the bus $DBUS_SESSION_BUS_ADDRESS
// names); a session without one is NoService.
ServiceOutcome NotifyDesktop(const std::string& summary, const std::string& body);

}  // namespace platform
