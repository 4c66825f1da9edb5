#include "recording/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace recording {
namespace {

// Small steps below normal: nice values weigh against every other process
// of the machine, not only against the job's own threads, and a reader
// pushed far down would starve the writer whenever the machine is busy.
int NiceOffset(TThreadPriority Level) {
  switch (Level) {
    case TThreadPriority::Idle:
      return 4;
    case TThreadPriority::Lowest:
      return 2;
    case TThreadPriority::BelowNormal:
      return 1;
    case TThreadPriority::Normal:
      return 0;
    case TThreadPriority::TimeCritical:
      return -10;
  }
  return 0;
}

pid_t ThisThread() {
  return static_cast<pid_t>(syscall(SYS_gettid));
}

bool SetNice(int Value) {
  return setpriority(PRIO_PROCESS, static_cast<id_t>(ThisThread()), Value) == 0;
}

}  // namespace

TPriorityControl::TPriorityControl(TThreadPriority Initial) {
  errno = 0;
  const int now = getpriority(PRIO_PROCESS, static_cast<id_t>(ThisThread()));
  base_ = errno == 0 ? now : 0;
  // Whether a lowered priority can be raised again decides whether it is
  // lowered at all.
  can_restore_ = SetNice(base_ + 1) && SetNice(base_);
  current_ = TThreadPriority::Normal;
  Set(Initial);
}

void TPriorityControl::Set(TThreadPriority Level) {
  if (Level == current_) return;
  const int offset = NiceOffset(Level);
  if (offset > 0 && !can_restore_) return;
  if (SetNice(base_ + offset) || offset <= 0) current_ = Level;
}

}  // namespace recording
