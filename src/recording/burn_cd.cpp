// BurnCD: the laid-out compilation written to the disc in the recorder.

#include "burner/cd_burner.h"
#include "recording/job_state.h"

bool TzqCDBurner::BurnCD() {
  // One job at a time, and never while the disc is being erased.
  if (recording::JobRunning() || Erasing()) return false;
  if (!recording::StartCache(*this)) return false;
  return StartWriteThread(false);
}
