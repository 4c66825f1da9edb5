// The disc writers' closing steps: synchronising the drive's cache, the
// DVD-R lead-out, closing the session and the drive reset.

#include <mutex>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "device/media_types.h"
#include "device/sgio_transport.h"
#include "recording/cache_thread.h"
#include "recording/disc_writer.h"
#include "recording/disc_writer_rules.h"
#include "recording/job_state.h"
#include "recording/recording_messages.h"

namespace recording {
namespace {

constexpr int32_t kDiscAtOnceSyncMs = 1800000;
constexpr int32_t kSyncMs = 120000;

void RaiseFinalizingTrack(TzqCDBurner& Component) {
  if (!Component.OnFinalizingTrack) return;
  try {
    Component.OnFinalizingTrack(&Component);
  } catch (...) {
    // The closing goes on whatever the handler did.
  }
}

}  // namespace

void TDiscWriter::Close() {
  const bool image = source_ == TDiscSource::Image;
  // A job that failed while writing keeps that phase for its report.
  if (!Failed()) EnterPhase(TJobPhase::Synchronizing);
  uint32_t size = 0, blank = 0;
  if (media_ != mtDVDRAM) c_.ReadBufferCapacity(size, blank);
  if (DiscAtOnceMedium()) {
    {
      std::lock_guard<std::mutex> guard(JobLock());
      RaiseFinalizingTrack(c_);
      if (!Failed()) EnterPhase(TJobPhase::ClosingTrack);
      if (c_.DVRQuirk)
        c_.DebugMsg(std::string(burner::msg::kProgressPrefix) + msg::kWritingLeadOut,
                    burner::msg::kTypeProgress);
    }
    if (!c_.SynchronizeCache(kDiscAtOnceSyncMs, true) && RecordingFailed(c_.LastSense.data()) &&
        !Failed())
      FailCommand(WriterError());
    WaitForLeadOut();
  } else {
    {
      std::lock_guard<std::mutex> guard(JobLock());
      RaiseFinalizingTrack(c_);
      Synchronize();
    }
    if (image) WaitUntilReady(1800000, 2000);
  }
  if (image) {
    if (media_ != mtDVDRAM) c_.ReadBufferCapacity(size, blank);
  } else {
    c_.DeviceBufferSize = 0;
    c_.DeviceFreeBufferSize = 0;
  }
  // A failed job closes nothing and leaves the drive as it is.
  if (Failed()) return;

  if (image) c_.SetWriteParameters(c_.TestWrite, false, media_);
  const bool closes =
      media_ != mtDVDRAM && media_ != mtDVDR && media_ != mtDVDRW && media_ != mtDVDRWSeq;
  if (!c_.TestWrite && closes && c_.FinalizeTrack) {
    // The real FinalizeDisc now decides whether the disc stays open for
    // another session.
    c_.SetWriteParameters(c_.TestWrite, c_.UnderrunProtection, media_);
    CloseSession();
  }
  if (image) {
    SPTICloseHandles = true;
    WaitUntilReady(240000, 5000);
    c_.StartStopUnit(false);
    c_.PreventAllowRemoval(true);
  } else {
    WaitUntilReady(240000, 5000);
    if (media_ != mtDVDRAM) c_.ReadBufferCapacity(size, blank);
    SPTICloseHandles = true;
    ResetDrive();
  }
  if (media_ != mtDVDRAM && media_ != mtDVDR && media_ != mtDVDRW && media_ != mtDVDRWSeq &&
      media_ != mtDVDPRW)
    c_.RewindUnit();
}

void TDiscWriter::Synchronize() {
  if (c_.SynchronizeCache(kSyncMs, false)) return;
  // A drive reports here the blocks it took but could not record: the
  // session on the disc is not what was sent.
  if (RecordingFailed(c_.LastSense.data()) && !c_.TransportError) {
    if (!Failed()) FailCommand(WriterError());
    return;
  }
  if (!c_.SynchronizeCache(kSyncMs, true) && RecordingFailed(c_.LastSense.data()) && !Failed())
    FailCommand(WriterError());
}

void TDiscWriter::WaitForLeadOut() {
  // The drive buffer bar fills while the drive writes the lead-out; the
  // wait ends when the drive answers again, or fails after its bound.
  c_.DeviceFreeBufferSize = c_.DeviceBufferSize;
  const int32_t polls = kLeadOutMinutes * 60 * (1000 / kLeadOutPollMs);
  for (int32_t i = 0;; ++i) {
    if (c_.ReadDiscInfo()) return;
    if (RecordingFailed(c_.LastSense.data()) && !c_.TransportError) {
      if (!Failed()) FailCommand(WriterError());
      return;
    }
    if (i >= polls) {
      if (!Failed())
        FailCommand(burner::msg::Fill(msg::kLeadOutTimeout, {std::to_string(kLeadOutMinutes)}));
      return;
    }
    const uint32_t step = c_.DeviceBufferSize / kLeadOutBarSeconds;
    c_.DeviceFreeBufferSize = c_.DeviceFreeBufferSize > step ? c_.DeviceFreeBufferSize - step : 0;
    c_.Sleep(kLeadOutPollMs);
  }
}

void TDiscWriter::CloseSession() {
  // A DVD+R stays appendable after its session is closed; finalizing it
  // is a close of its own.
  EnterPhase(TJobPhase::ClosingSession);
  if (CloseAttempts(false)) {
    if (media_ != mtDVDPR || !c_.FinalizeDisc) return;
    EnterPhase(TJobPhase::Finalizing);
    if (CloseAttempts(true)) return;
  }
  // The disc is left open: the user must know.
  FailCommand(std::string(msg::kSessionNotClosed) + " [" + c_.LastError + "]");
}

bool TDiscWriter::CloseAttempts(bool Finalize) {
  const auto send = [this, Finalize] {
    return Finalize ? c_.FinalizeDVDPlusR(c_.CloseImmediate)
                    : c_.CloseTrackSession(false, c_.CloseImmediate);
  };
  for (int32_t i = 0; i < kMaxCloseAttempts; ++i) {
    if (send()) return true;
    const bool busy =
        !c_.TransportError && (c_.TargetBusy || c_.LastSense[kSenseAsc] == kAscNotReady);
    if (!busy) return send();
    c_.Sleep(kCloseRetryMs);
  }
  return false;
}

void TDiscWriter::ResetDrive() {
  c_.SetWriteParameters(false, false, mtCDROM);
  c_.SetCDSpeed(c_.GetMaxReadSpeedX(), 2);
  c_.RewindUnit();
  c_.PreventAllowRemoval(true);
  c_.StartStopUnit(false);
  c_.RewindUnit();
  c_.TestUnitReady(kPollTimeoutMs);
}

}  // namespace recording
