#include "device/completion_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace device {

bool CompletionEvent::Create() {
  Close();
  fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return fd_ >= 0;
}

void* CompletionEvent::AsPostProc() const {
  return reinterpret_cast<void*>(static_cast<intptr_t>(fd_));
}

bool CompletionEvent::Wait(int32_t timeout_ms) {
  if (fd_ < 0) return false;
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    uint64_t value = 0;
    if (read(fd_, &value, sizeof value) == sizeof value) return true;
    if (errno != EAGAIN && errno != EINTR) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    int rc = poll(&p, 1, static_cast<int>(left.count()));
    if (rc < 0 && errno != EINTR) return false;
  }
}

void CompletionEvent::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

int CompletionEvent::Release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

}  // namespace device
