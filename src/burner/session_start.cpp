// Where a burn's session begins on the loaded disc.

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "burner/disc_media.h"
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

// The drive is asked first: one that is ready needs no pause.
bool WaitUntilReady(TzqCDBurner& burner) {
  return (burner.TestUnitReady(5000) && burner.ReadDiscInfo()) ||
         burner.WaitReady(kReadyBudgetMs, kReadyIntervalMs);
}

}  // namespace

// The media type read here is the one the job's write parameters and waits
// use. Overwritable media (DVD+RW, DVD-RAM, DVD-RW in restricted overwrite)
// take every new session at sector 0, replacing what they held. Media
// written once (CD-R/RW, DVD-R, DVD-RW in sequential recording, DVD+R)
// continue after their last session: the invisible track's next writable
// address, read once the drive holds write parameters for this write
// (asked for as if the disc were to be closed). An address no disc has
// counts as none.
int32_t TzqCDBurner::NextSessionStart() {
  CurrentMediaType = GetMediaType();
  if (burner::RecordingOf(CurrentMediaType, burner::CurrentProfile(*this)) ==
      burner::TRecording::Overwritable)
    return 0;
  WaitUntilReady(*this);
  const bool finalize = FinalizeDisc;
  FinalizeDisc = true;
  SetWriteParameters(TestWrite, UnderrunProtection, CurrentMediaType);
  FinalizeDisc = finalize;
  WaitUntilReady(*this);
  if (ReadTrackInformation(kInvisibleTrack)) {
    const uint32_t next = TrackInfo.NextWritable;
    if (next <= kHighestAddress || next > kHighestPositive) return static_cast<int32_t>(next);
  }
  DebugMsg(std::string(burner::msg::kProgressPrefix) + burner::msg::kNoNextWritableAddress,
           burner::msg::kTypeError);
  return 0;
}
