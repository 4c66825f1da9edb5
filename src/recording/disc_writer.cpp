// The disc writers' preparation and write loop.

#include "recording/disc_writer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "device/byte_order.h"
#include "device/device_texts.h"
#include "device/media_types.h"
#include "device/sgio_transport.h"
#include "platform/date_time.h"
#include "recording/cache_thread.h"
#include "recording/disc_writer_rules.h"
#include "recording/job_state.h"
#include "recording/recording_messages.h"

namespace recording {

using burner::TRecording;
using burner::msg::Fill;

TDiscWriter::TDiscWriter(TzqCDBurner& Component, TCacheThread& Reader, TDiscSource Source,
                         int64_t Sectors)
    : c_(Component),
      reader_(Reader),
      source_(Source),
      sectors_(Sectors),
      retry_ms_(Source == TDiscSource::Image ? kImageRetryMs : kCompilationRetryMs) {}

void TDiscWriter::Run() {
  EnterPhase(TJobPhase::Preparing);
  if (!Prepare()) return;
  EnterPhase(TJobPhase::Writing);
  WriteLoop();
  Close();
}

void TDiscWriter::EnterPhase(TJobPhase Phase) {
  c_.JobPhase = Phase;
}

void TDiscWriter::Fail(const std::string& Text) {
  if (!Failed() && !c_.JobFailure.Recorded) {
    c_.JobFailure = TJobFailure{};
    c_.JobFailure.Recorded = true;
    c_.JobFailure.Phase = c_.JobPhase;
    c_.JobFailure.SectorsWritten = written_;
  }
  reader_.SetErrorText(Text);
  reader_.RequestStop();
}

void TDiscWriter::FailCommand(const std::string& Text) {
  const bool first = !Failed() && !c_.JobFailure.Recorded;
  Fail(Text);
  if (!first) return;
  c_.JobFailure.FromCommand = true;
  c_.JobFailure.Cdb = c_.LastFailedCdb;
  c_.JobFailure.Sense = c_.LastSense;
  c_.JobFailure.CommandError = c_.LastError;
}

bool TDiscWriter::Failed() const {
  return reader_.HasError();
}

std::string TDiscWriter::WriterError() const {
  return std::string(msg::kWriterError) + " [" + c_.LastError + "]";
}

bool TDiscWriter::Simulating() const {
  return c_.TestWrite;
}

bool TDiscWriter::DiscAtOnceMedium() const {
  if (media_ == mtDVDR || media_ == mtDVDRW || media_ == mtDVDRWSeq) return true;
  // An image burn streams and reserves on the DVD+ media as well.
  return source_ == TDiscSource::Image && (media_ == mtDVDPR || media_ == mtDVDPRW);
}

bool TDiscWriter::WaitUntilReady(int32_t TotalMs, int32_t IntervalMs) {
  // A drive that answers at once needs no pause; one that is busy after
  // loading, closing or writing is waited for as it always was.
  if (c_.TestUnitReady(kPollTimeoutMs) && (media_ == mtDVDRAM || c_.ReadDiscInfo())) return true;
  return c_.WaitReady(TotalMs, IntervalMs);
}

// ---- Preparation -----------------------------------------------------------

bool TDiscWriter::Prepare() {
  const bool image = source_ == TDiscSource::Image;
  media_ = c_.GetMediaType();
  c_.CurrentMediaType = media_;
  if (image) c_.TestUnitReady(kPollTimeoutMs);
  if (media_ != mtDVDRAM) c_.StartStopUnit(false);  // load
  if (!image && media_ != mtDVDPRW) c_.RewindUnit();
  if (media_ != mtDVDRAM) c_.SetCDSpeed(c_.ReadSpeed, c_.WriteSpeed());
  WaitUntilReady(image ? 30000 : 10000, 1000);
  if (!CheckMedium() || !CheckTestWrite()) return false;
  if (!image) speed_x_ = c_.GetCurrentWriteSpeedX();

  // No multi-session bits while the address is asked for: the drive
  // reports the next writable address of a session that will be closed.
  const bool finalize = c_.FinalizeDisc;
  c_.FinalizeDisc = true;
  c_.SetWriteParameters(c_.TestWrite, c_.UnderrunProtection, media_);
  WaitUntilReady(10000, 500);
  c_.SetWriteParameters(c_.TestWrite, c_.UnderrunProtection, media_);
  c_.FinalizeDisc = finalize;
  WaitUntilReady(10000, 500);
  if (!CheckNextWritable()) return false;

  if (image) speed_x_ = c_.GetCurrentWriteSpeedX();
  if (DiscAtOnceMedium()) {
    PrepareDvd();
    if (!image) WaitUntilReady(10000, 1000);
  }
  if (image) WaitUntilReady(30000, 100);
  if (media_ != mtDVDRAM && !Simulating() && c_.PerformOPC) c_.SendOPCInformation();
  SendStartLines();
  return true;
}

bool TDiscWriter::CheckMedium() {
  // A tray that was open when the job began has been closed since: the
  // disc is known only now.
  if (media_ == mtUnknown) {
    media_ = c_.GetMediaType();
    c_.CurrentMediaType = media_;
  }
  profile_ = burner::CurrentProfile(c_);
  recording_ = burner::RecordingOf(media_, profile_);
  if (recording_ != TRecording::None) {
    // Restricted overwrite records whole ECC blocks only.
    if (recording_ == TRecording::Overwritable && (media_ == mtDVDRW || media_ == mtDVDRWSeq))
      unit_ = kEccBlockSectors;
    return true;
  }
  if (media_ == mtUnknown && !c_.TestUnitReady(kPollTimeoutMs) &&
      c_.LastSense[kSenseAsc] == kAscNoMedium) {
    Fail(msg::kNoDisc);
    return false;
  }
  Fail(Fill(msg::kNotWritable, {MediaName(media_)}));
  return false;
}

bool TDiscWriter::CheckTestWrite() {
  if (!c_.TestWrite) return true;
  // Without a simulation mode the drive would record for real.
  if (!burner::CanSimulate(media_, profile_)) {
    Fail(Fill(msg::kNoTestWriteMedium, {MediaName(media_)}));
    return false;
  }
  if (!c_.Capabilities.Has(TCapability::WriteTest)) {
    Fail(msg::kNoTestWriteDrive);
    return false;
  }
  return true;
}

bool TDiscWriter::CheckNextWritable() {
  const bool image = source_ == TDiscSource::Image;
  const bool sequential = recording_ == TRecording::Sequential;
  const bool known = c_.ReadTrackInformation(kInvisibleTrack);
  if (!known && sequential) {
    FailCommand(std::string(msg::kNoNextWritableAddress) + " [" + c_.LastError + "]");
    return false;
  }
  if (known && sequential && (c_.TrackInfo.Flags & kNextWritableValid) == 0) {
    Fail(Fill(msg::kNotWritable, {MediaName(media_)}));
    return false;
  }
  // A new session on overwritable media replaces the disc from sector 0.
  int64_t nwa = 0;
  if (sequential) {
    nwa = c_.TrackInfo.NextWritable;
    if (nwa > kHighestAddress) nwa = 0;  // a blank CD's pregap
  }
  const int64_t expected = image ? 0 : c_.SessionStart;
  if (nwa != expected) {
    Fail(image ? std::string(msg::kNeedEmptyDisc)
               : Fill(msg::kAddressMoved, {std::to_string(nwa), std::to_string(expected)}));
    return false;
  }
  start_ = expected;
  int64_t needed = sectors_ + (DiscAtOnceMedium() && sequential ? 1 : 0);
  if (known && c_.TrackInfo.FreeBlocks < needed) {
    Fail(Fill(msg::kDiscFull,
              {std::to_string(needed), std::to_string(int64_t{c_.TrackInfo.FreeBlocks})}));
    return false;
  }
  return true;
}

void TDiscWriter::PrepareDvd() {
  // The descriptor decides the recording speed: the one chosen (the rate
  // SET CD SPEED asked for), or the drive's fastest for the maximum, not
  // the slowest speed the drive has.
  uint32_t write_kbps = uint32_t{c_.WriteSpeed()} * kKbpsPerSpeedX;
  if (write_kbps == 0) {
    const auto& raw = c_.CapabilitiesPage.Raw;
    write_kbps = uint32_t{raw[kPageMaxWriteSpeed]} << 8 | raw[kPageMaxWriteSpeed + 1];
  }
  if (write_kbps == 0) write_kbps = kStreamingWriteKbps;
  std::array<uint8_t, kStreamingLength> d{};
  device::put_be32(std::span<uint8_t, 4>(d.data() + 8, 4), kStreamingEndLba);
  device::put_be32(std::span<uint8_t, 4>(d.data() + 12, 4), kStreamingReadKbps);
  device::put_be32(std::span<uint8_t, 4>(d.data() + 16, 4), kStreamingTimeMs);
  device::put_be32(std::span<uint8_t, 4>(d.data() + 20, 4), write_kbps);
  device::put_be32(std::span<uint8_t, 4>(d.data() + 24, 4), kStreamingTimeMs);
  c_.SetStreaming(d, d.size());
  c_.SendTimeStamp(platform::Now());
  // Only sequential media take a reservation.
  if (recording_ == TRecording::Sequential)
    c_.ReserveTrack(static_cast<uint32_t>(c_.ImageSectors() + 1));
}

void TDiscWriter::SendStartLines() {
  const bool dvd_units =
      source_ == TDiscSource::Image
          ? (media_ == mtDVDR || media_ == mtDVDRW || media_ == mtDVDRWSeq || media_ == mtDVDPRW)
          : (media_ == mtDVDR || media_ == mtDVDRW || media_ == mtDVDRWSeq || media_ == mtDVDPRW ||
             media_ == mtDVDPR);
  const double shown = dvd_units ? speed_x_ / 7.0 : speed_x_;
  const std::string speed = std::to_string(std::lround(shown)) + "X";
  c_.DebugMsg(std::string(burner::msg::kProgressPrefix) +
                  Fill(msg::kStartingWrite, {MediaName(media_), speed}),
              burner::msg::kTypeProgress);
  if (c_.TestWrite)
    c_.DebugMsg(std::string(burner::msg::kProgressPrefix) + msg::kTestDummyWrite,
                burner::msg::kTypeProgress);
}

// ---- Writing ---------------------------------------------------------------

void TDiscWriter::WriteLoop() {
  // The built-in transport keeps its device handle open while it streams.
  SPTICloseHandles = false;
  if (unit_ > 1) pending_.resize(static_cast<size_t>(kBlockSectors + unit_) * kSectorBytes);
  std::unique_ptr<TCacheBlock> block;
  for (;;) {
    if (AbortRequested()) {
      Fail(std::string(texts::kAborted));
      return;
    }
    const int32_t n = reader_.TakeBlock(block);
    if (Failed()) return;
    if (n < 0) {
      reader_.WaitForBlock(kBlockWait);
      continue;
    }
    if (n == 0) break;
    PollBuffer();
    const bool ok = WriteData(block->Data.data(), n / kSectorBytes);
    reader_.ReturnBlock(std::move(block));
    if (!ok) return;
    c_.BytesWritten += n;
  }
  FlushUnit();
}

void TDiscWriter::PollBuffer() {
  if (media_ != mtDVDRAM && poll_countdown_ == 0) {
    uint32_t size = 0, blank = 0;
    if (c_.ReadBufferCapacity(size, blank)) poll_countdown_ = kPollEvery;
  }
  // After a failed poll the countdown stays negative: no further polls.
  if (poll_countdown_ > -1) --poll_countdown_;
}

bool TDiscWriter::WriteData(const uint8_t* Data, int32_t Sectors) {
  if (unit_ == 1) return WriteAt(Data, Sectors);
  std::memcpy(pending_.data() + static_cast<size_t>(pending_sectors_) * kSectorBytes, Data,
              static_cast<size_t>(Sectors) * kSectorBytes);
  pending_sectors_ += Sectors;
  const int32_t whole = pending_sectors_ / unit_ * unit_;
  if (whole == 0) return true;
  if (!WriteAt(pending_.data(), whole)) return false;
  pending_sectors_ -= whole;
  std::memmove(pending_.data(), pending_.data() + static_cast<size_t>(whole) * kSectorBytes,
               static_cast<size_t>(pending_sectors_) * kSectorBytes);
  return true;
}

bool TDiscWriter::FlushUnit() {
  if (pending_sectors_ == 0) return true;
  // The session's last ECC block is completed with zero sectors.
  const int32_t whole = (pending_sectors_ + unit_ - 1) / unit_ * unit_;
  std::memset(pending_.data() + static_cast<size_t>(pending_sectors_) * kSectorBytes, 0,
              static_cast<size_t>(whole - pending_sectors_) * kSectorBytes);
  pending_sectors_ = 0;
  return WriteAt(pending_.data(), whole);
}

bool TDiscWriter::WriteAt(const uint8_t* Data, int32_t Sectors) {
  const auto bytes = static_cast<uint32_t>(Sectors) * kSectorBytes;
  const std::span<const uint8_t> data(Data, bytes);
  for (int32_t retries = 0;;) {
    if (AbortRequested()) {
      Fail(std::string(texts::kAborted));
      return false;
    }
    const auto lba = static_cast<uint32_t>(start_ + written_);
    if (c_.Write10(lba, static_cast<uint16_t>(Sectors), kWriteFlags, bytes, data)) {
      written_ += Sectors;
      return true;
    }
    // A drive that is busy, or still writing what it holds, takes the
    // block a little later; a transport that failed never will.
    const uint8_t asc = c_.LastSense[kSenseAsc];
    const bool retry =
        !c_.TransportError && (c_.TargetBusy || asc == kAscNotReady || asc == kAscNone);
    if (!retry) {
      FailCommand(WriterError());
      return false;
    }
    c_.Sleep(retry_ms_);
    if (++retries >= kMaxWriteAttempts) {
      FailCommand(msg::kWriterBusy);
      return false;
    }
  }
}

}  // namespace recording
