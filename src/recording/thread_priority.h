#pragma once
// Thread priorities of the recording threads, on Linux as nice values of
// the calling thread. Best effort: a priority the process may not take is
// not taken. A thread that could not return to normal priority after
// lowering it (an unprivileged process cannot lower its nice value again)
// keeps its priority instead, so that a reader never stays starved.

#include <cstdint>

namespace recording {

enum class TThreadPriority : uint8_t { Idle, Lowest, BelowNormal, Normal, TimeCritical };

class TPriorityControl {
 public:
  // Takes Initial for the calling thread.
  explicit TPriorityControl(TThreadPriority Initial);
  // Changes the calling thread's priority when Level differs from the
  // current one.
  void Set(TThreadPriority Level);
  TThreadPriority Current() const { return current_; }

 private:
  TThreadPriority current_ = TThreadPriority::Normal;
  int base_ = 0;              // the thread's nice value at construction
  bool can_restore_ = false;  // the nice value may be lowered again
};

}  // namespace recording
