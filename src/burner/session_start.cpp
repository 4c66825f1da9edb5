// Where a burn's session begins on the loaded disc.

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "device/media_types.h"

namespace {

constexpr uint8_t kInvisibleTrack = 0xFF;
constexpr int32_t kReadyBudgetMs = 10000;
constexpr int32_t kReadyIntervalMs = 500;

// DVD media start every session at sector 0.
bool StartsAtZero(uint16_t media_type) {
  switch (media_type) {
    case mtDVDR:
    case mtDVDRAM:
    case mtDVDRW:
    case mtDVDRWSeq:
    case mtDVDPRW:
    case mtDVDPR:
      return true;
    default:
      return false;
  }
}

}  // namespace

// The media type read here is the one the job's write parameters and waits
// use. CD media (and any other) continue after their last session: the
// invisible track's next writable address, read once the drive holds write
// parameters for this write (asked for as if the disc were to be closed).
// A negative address (a blank disc's pregap) is taken as 0 by Prepare.
int32_t TzqCDBurner::NextSessionStart() {
  CurrentMediaType = GetMediaType();
  if (StartsAtZero(CurrentMediaType)) return 0;
  WaitReady(kReadyBudgetMs, kReadyIntervalMs);
  const bool finalize = FinalizeDisc;
  FinalizeDisc = true;
  SetWriteParameters(TestWrite, UnderrunProtection, CurrentMediaType);
  FinalizeDisc = finalize;
  WaitReady(kReadyBudgetMs, kReadyIntervalMs);
  if (ReadTrackInformation(kInvisibleTrack)) return static_cast<int32_t>(TrackInfo.NextWritable);
  DebugMsg(std::string(burner::msg::kProgressPrefix) + burner::msg::kNoNextWritableAddress,
           burner::msg::kTypeError);
  return 0;
}
