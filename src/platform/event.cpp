#include "platform/event.h"

namespace platform {

void Event::Set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  cv_.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool Event::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, timeout, [this] { return set_; });
}

bool Event::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

}  // namespace platform
