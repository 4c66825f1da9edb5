#pragma once
// The recorder's side of a burn: preparing the drive, writing the blocks a
// reader delivers with WRITE (10), closing the session and putting the
// drive back into a neutral state. The two disc writers share it: TThWrite
// in disc mode (a laid-out compilation, fed by TCacheThread) and TISOWrite
// (an image file, fed by TISOBurnerThread); they differ in a few steps.
//
// Every failure ends up in the reader's error text, which the job end
// reports through OnWriteDone. What the writer can find out before it
// writes anything (no disc, a closed or full disc, a disc that no longer
// continues where the session was laid out, a test write the medium cannot
// simulate) ends the job before the first WRITE, without closing steps.

#include <cstdint>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "burner/disc_media.h"

class TzqCDBurner;

namespace recording {

class TCacheThread;

enum class TDiscSource : uint8_t { Compilation, Image };

class TDiscWriter {
 public:
  // Sectors: what the reader delivers in all (the session with its
  // padding, or the image file rounded up to whole sectors).
  TDiscWriter(TzqCDBurner& Component, TCacheThread& Reader, TDiscSource Source, int64_t Sectors);
  TDiscWriter(const TDiscWriter&) = delete;
  TDiscWriter& operator=(const TDiscWriter&) = delete;

  // Prepares the drive, writes, closes. The outcome is the reader's error
  // text (empty on success).
  void Run();

 private:
  // Preparation; false when the job ends before writing.
  bool Prepare();
  bool CheckMedium();
  bool CheckTestWrite();
  bool CheckNextWritable();
  void PrepareDvd();
  void SendStartLines();

  // Writing.
  void WriteLoop();
  bool WriteData(const uint8_t* Data, int32_t Sectors);
  bool WriteAt(const uint8_t* Data, int32_t Sectors);
  bool FlushUnit();
  void PollBuffer();

  // Closing.
  void Close();
  void Synchronize();
  void WaitForLeadOut();
  void CloseSession();
  bool CloseAttempts(bool Finalize);
  void ResetDrive();

  // A wait for readiness that asks the drive first and only waits when it
  // is not ready yet.
  bool WaitUntilReady(int32_t TotalMs, int32_t IntervalMs);
  // Stream, reserve and wait for the lead-out as DVD-R does.
  bool DiscAtOnceMedium() const;
  bool Simulating() const;
  void EnterPhase(TJobPhase Phase);
  // Ends the job with Text; the first failure is the one recorded.
  void Fail(const std::string& Text);
  // The same for a failure of the drive's last command, whose block and
  // sense the record keeps.
  void FailCommand(const std::string& Text);
  bool Failed() const;
  std::string WriterError() const;

  TzqCDBurner& c_;
  TCacheThread& reader_;
  const TDiscSource source_;
  const int64_t sectors_;
  uint16_t media_ = 0;
  uint16_t profile_ = 0;
  burner::TRecording recording_ = burner::TRecording::None;
  uint16_t speed_x_ = 0;
  int64_t start_ = 0;    // the session's first sector
  int64_t written_ = 0;  // sectors written so far
  int32_t poll_countdown_ = 5;
  int32_t retry_ms_ = 600;
  // Restricted overwrite takes whole ECC blocks of 16 sectors: the sectors
  // of a block that do not fill one wait here for the next block.
  int32_t unit_ = 1;
  std::vector<uint8_t> pending_;
  int32_t pending_sectors_ = 0;
};

}  // namespace recording
