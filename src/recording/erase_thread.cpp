// Erasing rewritable discs: EraseDisc starts BLANK or FORMAT UNIT, the
// erase thread waits for the drive and reports the end.

#include "recording/erase_thread.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "device/aspi_loader.h"
#include "device/media_types.h"
#include "device/sgio_transport.h"
#include "recording/disc_writer_rules.h"
#include "recording/job_state.h"
#include "recording/recording_messages.h"

namespace recording {
namespace {

constexpr int32_t kStepSeconds = 2;
constexpr int32_t kDiscInfoStepSeconds = 5;
constexpr int32_t kSenseLength = 40;
constexpr uint8_t kDeferredFixedSense = 0xF0;  // counts as "not ready"
constexpr uint8_t kFormatWithData = 0x11;      // FmtData, format code 1

// FORMAT UNIT parameter lists: header (FOV, Immed, length 8) and one
// descriptor. DVD-RAM: 2,236,704 blocks of 2048 bytes; DVD+RW: type 26h.
constexpr std::array<uint8_t, 16> kDvdRamFormat = {0x00, 0x82, 0x00, 0x08, 0x00, 0x22,
                                                   0x21, 0x20, 0x00, 0x00, 0x08, 0x00};
constexpr std::array<uint8_t, 16> kDvdPlusRwFormat = {0x00, 0x82, 0x00, 0x08, 0x00, 0x00,
                                                      0x00, 0x00, 0x98, 0x00, 0x00, 0x00};

struct EraseState {
  std::atomic<int32_t> progress{0};
  std::mutex mutex;
  std::condition_variable ended;
  bool running = false;
};

EraseState& Erase() {
  static EraseState* state = new EraseState;  // a thread may outlive main
  return *state;
}

void RaiseEraseDone(TzqCDBurner& Component, bool WithError) {
  if (!Component.OnEraseDone) return;
  try {
    Component.OnEraseDone(&Component, WithError);
  } catch (...) {
    // The erase's end goes on whatever the handler did.
  }
}

// The drive is ready, or becomes ready within the wait.
bool ReadyCheck(TzqCDBurner& Component) {
  return Component.TestUnitReady(kPollTimeoutMs) || Component.WaitReady(30000, 5000);
}

}  // namespace

uint16_t ExpectedEraseSeconds(uint16_t MediaType, int32_t BlankType) {
  if (MediaType < mtDVDROM) return BlankType == 1 ? 150 : 4500;
  if (BlankType == 1) return MediaType == mtDVDRW ? 120 : 600;
  return BlankType == 0 ? 4440 : 8880;
}

TEraseThread::TEraseThread(TzqCDBurner& Component, uint16_t MediaType, uint16_t ExpectedSeconds)
    : c_(Component), media_(MediaType), expected_(ExpectedSeconds) {}

void TEraseThread::Resume() {
  {
    std::lock_guard<std::mutex> guard(Erase().mutex);
    Erase().running = true;
  }
  std::thread([this] {
    Execute();
    delete this;
  }).detach();
}

void TEraseThread::UpdateProgress() {
  const double percent = expected_ == 0 ? 100.0 : 100.0 * elapsed_ / expected_;
  Erase().progress = static_cast<int32_t>(std::lround(std::clamp(percent, 0.0, 100.0)));
}

bool TEraseThread::StillWorking() const {
  return c_.LastSense[kSenseAsc] == kAscNotReady && elapsed_ <= expected_ && !failed_;
}

bool TEraseThread::SawFailure(const uint8_t* Sense) {
  const uint8_t key = Sense[kSenseKey] & kSenseKeyMask;
  const uint8_t asc = Sense[kSenseAsc];
  if (key == kKeyMediumError || key == kKeyHardwareError || asc == kAscEraseFailed ||
      asc == kAscFormatFailed)
    failed_ = true;
  return failed_;
}

template <typename Body>
void TEraseThread::Loop(Body body) {
  do {
    UpdateProgress();
    body();
    if (SawFailure(c_.LastSense.data())) return;
  } while (StillWorking());
}

void TEraseThread::Execute() {
  Erase().progress = 0;
  SPTICloseHandles = false;
  const bool ok = WaitForDrive();
  if (ASPIName == kBuiltInTransportName) ReloadASPI();
  Erase().progress = 100;
  RaiseEraseDone(c_, !ok);
  ResetDrive();
  {
    std::lock_guard<std::mutex> guard(Erase().mutex);
    c_.SetErasing(false);
    Erase().running = false;
  }
  Erase().ended.notify_all();
}

bool TEraseThread::WaitForDrive() {
  const auto ask_ready = [this] {
    elapsed_ += kStepSeconds;
    if (!c_.TestUnitReady(kPollTimeoutMs)) c_.Sleep(kStepSeconds * 1000);
  };
  if (c_.DVRQuirk) Loop(ask_ready);
  if (c_.SlowReadyQuirk) {
    Loop(ask_ready);
    c_.ReadDiscInfo();
    c_.Sleep(5000);
  }
  if (failed_) return false;
  if (c_.TestUnitReady(kPollTimeoutMs) && c_.ReadDiscInfo()) return true;
  if (SawFailure(c_.LastSense.data())) return false;
  if (media_ != mtDVDRAM) {
    Loop([this] {
      c_.ReadDiscInfo();
      elapsed_ += kDiscInfoStepSeconds;
      if (c_.LastSense[kSenseAsc] == kAscNotReady) c_.Sleep(kDiscInfoStepSeconds * 1000);
    });
  }
  Loop(ask_ready);
  if (failed_) return false;
  // The drive's sense, until it reports nothing more to say.
  std::array<uint8_t, kSenseLength> sense{};
  uint8_t asc = 0;
  do {
    UpdateProgress();
    sense.fill(0);
    // A drive that will not even give its sense answers with the sense of
    // that refusal.
    if (!c_.RequestSense(sense, kSenseLength))
      std::copy_n(c_.LastSense.begin(), std::min(sense.size(), c_.LastSense.size()), sense.begin());
    elapsed_ += kStepSeconds;
    if (SawFailure(sense.data())) return false;
    asc = sense[kSenseResponse] == kDeferredFixedSense ? kAscNotReady : sense[kSenseAsc];
    c_.Sleep(kStepSeconds * 1000);
  } while (asc != 0 && elapsed_ <= expected_);
  return asc == 0 || ReadyAtLast();
}

bool TEraseThread::ReadyAtLast() {
  // The estimate ran out while the drive still works: it is given as long
  // again, and an erase it never finishes is a failure.
  while (elapsed_ <= 2 * int64_t{expected_}) {
    if (c_.TestUnitReady(kPollTimeoutMs)) return true;
    if (SawFailure(c_.LastSense.data())) return false;
    const uint8_t key = c_.LastSense[kSenseKey] & kSenseKeyMask;
    const bool waiting =
        c_.TargetBusy || c_.LastSense[kSenseAsc] == kAscNotReady || key == kKeyUnitAttention;
    if (!waiting) return false;
    c_.Sleep(kStepSeconds * 1000);
    elapsed_ += kStepSeconds;
  }
  return false;
}

void TEraseThread::ResetDrive() {
  c_.SetWriteParameters(false, false, mtCDROM);
  c_.SetCDSpeed(c_.GetMaxReadSpeedX(), 2);
  SPTICloseHandles = true;
  c_.RewindUnit();
  c_.PreventAllowRemoval(true);
  c_.StartStopUnit(false);
  c_.RewindUnit();
  c_.TestUnitReady(kPollTimeoutMs);
}

int32_t CurrentEraseProgress() {
  return Erase().progress.load();
}

bool WaitForEraseEnd(std::chrono::milliseconds Timeout) {
  std::unique_lock<std::mutex> lk(Erase().mutex);
  return Erase().ended.wait_for(lk, Timeout, [] { return !Erase().running; });
}

}  // namespace recording

int32_t TzqCDBurner::EraseProgress() const {
  return Erasing() ? recording::CurrentEraseProgress() : 0;
}

bool TzqCDBurner::EraseDisc(int32_t BlankType) {
  // One thing at a time on the drive.
  if (Erasing() || recording::JobRunning()) {
    recording::RaiseEraseDone(*this, true);
    return false;
  }
  TestUnitReady(recording::kPollTimeoutMs);
  StartStopUnit(false);
  const uint16_t media = GetMediaType();
  CurrentMediaType = media;
  if (!recording::ReadyCheck(*this)) {
    recording::RaiseEraseDone(*this, true);
    return false;
  }
  if (media != mtDVDRAM) {
    SetCDSpeed(ReadSpeed, WriteSpeed());
    SetWriteParameters(false, false, media);
  }
  const uint16_t speed = GetCurrentWriteSpeedX();
  if (!recording::ReadyCheck(*this)) {
    recording::RaiseEraseDone(*this, true);
    return false;
  }
  double shown = speed;
  if (media == mtDVDR || media == mtDVDRW || media == mtDVDRWSeq || media == mtDVDPRW) {
    shown = speed / 7.0;
  } else if (media == mtDVDRAM) {
    uint32_t blocks = 0, block_length = 0;
    ReadFormatCapacities(blocks, block_length);
    shown = 1;
  }
  DebugMsg(std::string(burner::msg::kProgressPrefix) +
               burner::msg::Fill(
                   recording::msg::kStartingErase,
                   {recording::MediaName(media), std::to_string(std::lround(shown)) + "X"}),
           burner::msg::kTypeProgress);
  bool started = false;
  if (media == mtDVDRAM)
    started = FormatUnit(recording::kFormatWithData, recording::kDvdRamFormat);
  else if (media == mtDVDPRW)
    started = FormatUnit(recording::kFormatWithData, recording::kDvdPlusRwFormat);
  else
    started = Blank(static_cast<uint8_t>(BlankType));
  if (!started) {
    SetErasing(false);
    recording::RaiseEraseDone(*this, true);
    return false;
  }
  auto* thread =
      new recording::TEraseThread(*this, media, recording::ExpectedEraseSeconds(media, BlankType));
  SetErasing(true);
  thread->Resume();
  return true;
}
