#pragma once
// TEraseThread: waits for the drive to finish blanking or formatting a
// rewritable disc (the command was sent with Immed and returned at once),
// estimating the progress from the time spent against the duration the
// erase is expected to take, reports the end through OnEraseDone and puts
// the drive back into a neutral state. Erasing has no abort.

#include <chrono>
#include <cstdint>

class TzqCDBurner;

namespace recording {

// The seconds an erase of this medium and blanking type is expected to
// take (1 minimal blank, 0 the whole disc).
uint16_t ExpectedEraseSeconds(uint16_t MediaType, int32_t BlankType);

class TEraseThread {
 public:
  TEraseThread(TzqCDBurner& Component, uint16_t MediaType, uint16_t ExpectedSeconds);
  TEraseThread(const TEraseThread&) = delete;
  TEraseThread& operator=(const TEraseThread&) = delete;

  // Runs on a thread of its own; the object frees itself when it ends.
  void Resume();

 private:
  ~TEraseThread() = default;
  void Execute();
  // The waits while the drive works; false when it failed or never became
  // ready.
  bool WaitForDrive();
  // One waiting loop: Body at least once, again while the last answer was
  // "not ready" (ASC 04h) and the expected time has not run out.
  template <typename Body>
  void Loop(Body body);
  bool StillWorking() const;
  // The last answer reports a failed erase or format.
  bool SawFailure(const uint8_t* Sense);
  bool ReadyAtLast();
  void UpdateProgress();
  void ResetDrive();

  TzqCDBurner& c_;
  const uint16_t media_;
  const uint16_t expected_;  // E, seconds
  int64_t elapsed_ = 0;      // x, estimated seconds
  bool failed_ = false;
};

// EraseProgress while an erase runs; 0 otherwise.
int32_t CurrentEraseProgress();
// Waits until no erase thread runs; false when Timeout passed first.
bool WaitForEraseEnd(std::chrono::milliseconds Timeout);

}  // namespace recording
