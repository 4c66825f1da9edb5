#include "vrec/clock.h"

#include <ctime>

namespace vrec {

std::int64_t WallClock::NowUs() {
  // Real time rather than the monotonic clock: stored times must still make
  // sense to another process and after a restart of the machine.
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

void WallClock::Wait(std::int64_t us) {
  if (us <= 0) return;
  timespec ts{static_cast<time_t>(us / 1'000'000), static_cast<long>(us % 1'000'000) * 1000};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

}  // namespace vrec
