// WaitReady: waiting until the drive can take commands after a load, an
// erase or a write.

#include <algorithm>

#include "device/media_types.h"
#include "device/mmc_block.h"

namespace {

constexpr uint8_t kAscNotReady = 0x04;
constexpr size_t kAsc = 12;
constexpr uint8_t kDeferredFixedSense = 0xF0;  // counts as "not ready"
constexpr int32_t kSlowDriveStepMs = 1500;
constexpr int32_t kPollTimeoutMs = 5000;

}  // namespace

// The budget is spent in IntervalMs steps (at least 1 ms each, so that every
// loop ends); each loop gives up once it is used.
bool TSCSIDevice::WaitReady(int32_t TotalMs, int32_t IntervalMs) {
  int64_t budget = TotalMs;
  const int64_t step = std::max<int32_t>(IntervalMs, 1);
  ready_sense_.fill(0);

  if (DVRQuirk || SlowReadyQuirk) {
    do {
      Sleep(kSlowDriveStepMs);
      budget -= kSlowDriveStepMs;
      if (budget < 0) break;
      TestUnitReady(kPollTimeoutMs);
    } while (LastSense[kAsc] == kAscNotReady);
  }

  if (CurrentMediaType == mtDVDRAM) {
    ready_sense_[kAsc] = kAscNotReady;
  } else {
    do {
      Sleep(IntervalMs);
      ReadDiscInfo();
      budget -= step;
      if (budget < 0) return false;
    } while (LastSense[kAsc] == kAscNotReady);
  }

  if (TestUnitReady(kPollTimeoutMs) && ready_sense_[kAsc] == 0) return true;

  do {
    Sleep(IntervalMs);
    budget -= step;
    if (budget < 0) return false;
    TestUnitReady(kPollTimeoutMs);
  } while (LastSense[kAsc] == kAscNotReady);

  for (;;) {
    ready_sense_.fill(0);
    const bool answered = RequestSense(ready_sense_, static_cast<uint8_t>(ready_sense_.size()));
    budget -= step;
    if (budget < 0) return false;
    // A drive that cannot even be asked for its sense is not ready.
    if (!answered) return false;
    uint8_t asc = ready_sense_[0] == kDeferredFixedSense ? kAscNotReady : ready_sense_[kAsc];
    if (asc == 0) return true;
    if (asc == kAscNotReady) Sleep(IntervalMs);
  }
}
