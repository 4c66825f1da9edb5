#pragma once
// The recorder's sense of time. Front ends that serve real programs use the
// wall clock (and really wait); tests use a manual clock they advance, so
// nothing they check depends on how fast the machine is.

#include <cstdint>

namespace vrec {

class Clock {
 public:
  virtual ~Clock() = default;
  // Microseconds; comparable across processes for the wall clock.
  virtual std::int64_t NowUs() = 0;
  // Lets `us` microseconds pass.
  virtual void Wait(std::int64_t us) = 0;
};

class WallClock final : public Clock {
 public:
  std::int64_t NowUs() override;
  void Wait(std::int64_t us) override;
};

class ManualClock final : public Clock {
 public:
  explicit ManualClock(std::int64_t start_us = 1'000'000'000'000) : now_(start_us) {}
  std::int64_t NowUs() override { return now_; }
  void Wait(std::int64_t us) override { Advance(us); }
  void Advance(std::int64_t us) {
    if (us > 0) now_ += us;
  }

 private:
  std::int64_t now_;
};

}  // namespace vrec
