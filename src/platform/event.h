#pragma once
// A manual-reset event: the stand-in for the event objects a library
// transport signals when a pending request completes.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class Event {
 public:
  void Set();
  void Reset();
  // Waits until the event is set or the time-out passes; true when set.
  bool Wait(std::chrono::milliseconds timeout);
  bool IsSet() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool set_ = false;
};

}  // namespace platform
