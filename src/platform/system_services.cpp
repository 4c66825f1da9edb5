#include "platform/system_services.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace platform {
namespace {

constexpr const char* kLogindName = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";
constexpr const char* kUdisksName = "org.freedesktop.UDisks2";
constexpr const char* kUdisksManagerPath = "/org/freedesktop/UDisks2/Manager";
constexpr const char* kUdisksManager = "org.freedesktop.UDisks2.Manager";
constexpr const char* kUdisksFilesystem = "org.freedesktop.UDisks2.Filesystem";
constexpr const char* kUdisksBlockPrefix = "/org/freedesktop/UDisks2/block_devices/";
constexpr const char* kInhibitWhat = "shutdown:sleep:idle";
constexpr const char* kNotificationsName = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
constexpr const char* kNotificationsInterface = "org.freedesktop.Notifications";
constexpr const char* kNotificationIcon = "media-optical";
// A notification is no reason to keep the window waiting.
constexpr uint64_t kNotifyTimeoutUs = 2'000'000;
constexpr const char* kInhibitWho = "Tidemark";
// How long a service may take to answer; an unmount may wait for the user
// to authorise it.
constexpr uint64_t kCallTimeoutUs = 10'000'000;
constexpr uint64_t kUnmountTimeoutUs = 120'000'000;

// One connection to the system bus for one request.
class Bus {
 public:
  Bus() {
    const int r = sd_bus_open_system(&bus_);
    if (r < 0) {
      bus_ = nullptr;
      error_ = std::string("no system bus (") + std::strerror(-r) + ")";
    }
  }
  ~Bus() { sd_bus_flush_close_unref(bus_); }
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  sd_bus* get() const { return bus_; }
  const std::string& error() const { return error_; }

 private:
  sd_bus* bus_ = nullptr;
  std::string error_;
};

class Reply {
 public:
  ~Reply() {
    sd_bus_message_unref(msg_);
    sd_bus_error_free(&error_);
  }
  sd_bus_message** out() { return &msg_; }
  sd_bus_message* get() const { return msg_; }
  sd_bus_error* error() { return &error_; }

 private:
  sd_bus_message* msg_ = nullptr;
  sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

// A service that is not there answers with one of these (or the call
// cannot reach the bus at all). A service that is there but slow is a
// failure, not an absence.
bool MeansNoService(const sd_bus_error* error, int r) {
  return sd_bus_error_has_name(error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
         sd_bus_error_has_name(error, SD_BUS_ERROR_NAME_HAS_NO_OWNER) || r == -ENOTCONN ||
         r == -ECONNREFUSED || r == -ENOENT || r == -ECONNRESET;
}

ServiceOutcome FromError(const char* service, const sd_bus_error* error, int r) {
  std::string why = error->message != nullptr ? error->message
                    : error->name != nullptr  ? error->name
                                              : std::strerror(-r);
  if (MeansNoService(error, r))
    return {ServiceOutcome::Status::NoService, std::string("no ") + service + " (" + why + ")"};
  return {ServiceOutcome::Status::Failed, std::string(service) + ": " + why};
}

// The udisks2 object of a block device: the manager resolves the node;
// an older udisks2 without ResolveDevice names it after the node.
std::string BlockObject(Bus& bus, const std::string& node, ServiceOutcome& outcome) {
  sd_bus_message* call = nullptr;
  int r = sd_bus_message_new_method_call(bus.get(), &call, kUdisksName, kUdisksManagerPath,
                                         kUdisksManager, "ResolveDevice");
  if (r >= 0) r = sd_bus_message_append(call, "a{sv}", 1, "path", "s", node.c_str());
  if (r >= 0) r = sd_bus_message_append(call, "a{sv}", 0);
  Reply reply;
  if (r >= 0) r = sd_bus_call(bus.get(), call, kCallTimeoutUs, reply.error(), reply.out());
  sd_bus_message_unref(call);
  if (r < 0) {
    if (!sd_bus_error_has_name(reply.error(), SD_BUS_ERROR_UNKNOWN_METHOD)) {
      outcome = FromError("udisks2", reply.error(), r);
      return {};
    }
    const size_t slash = node.rfind('/');
    return kUdisksBlockPrefix + node.substr(slash == std::string::npos ? 0 : slash + 1);
  }
  const char* path = nullptr;
  r = sd_bus_message_enter_container(reply.get(), 'a', "o");
  if (r >= 0) r = sd_bus_message_read(reply.get(), "o", &path);
  if (r <= 0 || path == nullptr) {
    outcome = {ServiceOutcome::Status::Failed, "udisks2 does not know " + node};
    return {};
  }
  return path;
}

}  // namespace

SleepInhibitor::SleepInhibitor(SleepInhibitor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

SleepInhibitor& SleepInhibitor::operator=(SleepInhibitor&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SleepInhibitor::~SleepInhibitor() {
  Release();
}

void SleepInhibitor::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

SleepInhibitor SleepInhibitor::Take(const std::string& why, ServiceOutcome& outcome) {
  SleepInhibitor lock;
  Bus bus;
  if (bus.get() == nullptr) {
    outcome = {ServiceOutcome::Status::NoService, bus.error()};
    return lock;
  }
  Reply reply;
  int r = sd_bus_call_method(bus.get(), kLogindName, kLogindPath, kLogindManager, "Inhibit",
                             reply.error(), reply.out(), "ssss", kInhibitWhat, kInhibitWho,
                             why.c_str(), "block");
  if (r < 0) {
    outcome = FromError("logind", reply.error(), r);
    return lock;
  }
  int fd = -1;
  r = sd_bus_message_read(reply.get(), "h", &fd);
  // The descriptor belongs to the message: keep a copy of our own.
  if (r > 0 && fd >= 0) lock.fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (lock.fd_ < 0) {
    outcome = {ServiceOutcome::Status::Failed, "logind: no inhibitor descriptor in its answer"};
    return lock;
  }
  outcome = {ServiceOutcome::Status::Done, {}};
  return lock;
}

ServiceOutcome UnmountThroughUdisks(const std::string& node) {
  Bus bus;
  if (bus.get() == nullptr) return {ServiceOutcome::Status::NoService, bus.error()};
  ServiceOutcome outcome;
  const std::string object = BlockObject(bus, node, outcome);
  if (object.empty()) return outcome;
  sd_bus_message* call = nullptr;
  int r = sd_bus_message_new_method_call(bus.get(), &call, kUdisksName, object.c_str(),
                                         kUdisksFilesystem, "Unmount");
  if (r >= 0) r = sd_bus_message_append(call, "a{sv}", 0);
  Reply reply;
  if (r >= 0) r = sd_bus_call(bus.get(), call, kUnmountTimeoutUs, reply.error(), reply.out());
  sd_bus_message_unref(call);
  if (r < 0) return FromError("udisks2", reply.error(), r);
  return {ServiceOutcome::Status::Done, {}};
}

ServiceOutcome NotifyDesktop(const std::string& summary, const std::string& body) {
  ServiceOutcome outcome;
  sd_bus* bus = nullptr;
  const int opened = sd_bus_open_user(&bus);
  if (opened < 0) {
    outcome.status = ServiceOutcome::Status::NoService;
    outcome.text = std::string("no session bus (") + std::strerror(-opened) + ")";
    return outcome;
  }
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  int r = sd_bus_message_new_method_call(bus, &call, kNotificationsName, kNotificationsPath,
                                         kNotificationsInterface, "Notify");
  // app_name, replaces_id, app_icon, summary, body, actions, hints, timeout
  if (r >= 0)
    r = sd_bus_message_append(call, "susssasa{sv}i", kInhibitWho, 0u, kNotificationIcon,
                              summary.c_str(), body.c_str(), 0, 0, -1);
  if (r >= 0) r = sd_bus_call(bus, call, kNotifyTimeoutUs, &error, &reply);
  if (r >= 0) {
    outcome.status = ServiceOutcome::Status::Done;
  } else if (sd_bus_error_has_name(&error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
             sd_bus_error_has_name(&error, SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
    outcome.status = ServiceOutcome::Status::NoService;
    outcome.text = "no notification service on the session bus";
  } else {
    outcome.text = error.message != nullptr ? error.message : std::strerror(-r);
  }
  sd_bus_message_unref(reply);
  sd_bus_message_unref(call);
  sd_bus_error_free(&error);
  sd_bus_flush_close_unref(bus);
  return outcome;
}

}  // namespace platform
