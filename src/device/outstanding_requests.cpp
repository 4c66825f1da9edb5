#include "device/outstanding_requests.h"

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace device {
namespace {

struct Outstanding {
  std::unique_ptr<SRB_ExecSCSICmd> block;
  int event_fd;
};

// Deliberately never destroyed: a library thread may still write to these
// blocks while the process exits.
std::vector<Outstanding>& List() {
  static auto* list = new std::vector<Outstanding>;
  return *list;
}
std::mutex& Lock() {
  static auto* m = new std::mutex;
  return *m;
}
std::atomic<size_t> g_count{0};

bool Finished(Outstanding& o) {
  if (o.event_fd >= 0) {
    uint64_t value = 0;
    return read(o.event_fd, &value, sizeof value) == sizeof value;
  }
  const auto* status =
      reinterpret_cast<const uint8_t*>(o.block.get()) + offsetof(SRB_ExecSCSICmd, SRB_Status);
  return __atomic_load_n(status, __ATOMIC_ACQUIRE) != SS_PENDING;
}

}  // namespace

void KeepOutstanding(std::unique_ptr<SRB_ExecSCSICmd> block, int event_fd) {
  std::lock_guard lock(Lock());
  List().push_back({std::move(block), event_fd});
  g_count = List().size();
}

size_t ReapOutstanding() {
  if (g_count.load() == 0) return 0;
  std::lock_guard lock(Lock());
  auto& list = List();
  for (size_t i = 0; i < list.size();) {
    if (Finished(list[i])) {
      if (list[i].event_fd >= 0) close(list[i].event_fd);
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  g_count = list.size();
  return list.size();
}

}  // namespace device
