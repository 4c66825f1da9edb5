// Where a burn's session begins on the loaded disc.

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "device/media_types.h"

namespace {

constexpr uint8_t kInvisibleTrack = 0xFF;
// Addresses above this and up to FF000000h lie beyond any disc and beyond
// what a layout's 32-bit sector numbers hold; above FF000000h they are
// negative (a blank disc's pregap), which the layout takes as 0.
constexpr uint32_t kHighestAddress = 0x7F000000;
constexpr uint32_t kHighestPositive = 0xFF000000;
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
// An address no disc has counts as none.
int32_t TzqCDBurner::NextSessionStart() {
  CurrentMediaType = GetMediaType();
  if (StartsAtZero(CurrentMediaType)) return 0;
  WaitReady(kReadyBudgetMs, kReadyIntervalMs);
  const bool finalize = FinalizeDisc;
  FinalizeDisc = true;
  SetWriteParameters(TestWrite, UnderrunProtection, CurrentMediaType);
  FinalizeDisc = finalize;
  WaitReady(kReadyBudgetMs, kReadyIntervalMs);
  if (ReadTrackInformation(kInvisibleTrack)) {
    const uint32_t next = TrackInfo.NextWritable;
    if (next <= kHighestAddress || next > kHighestPositive) return static_cast<int32_t>(next);
  }
  DebugMsg(std::string(burner::msg::kProgressPrefix) + burner::msg::kNoNextWritableAddress,
           burner::msg::kTypeError);
  return 0;
}
