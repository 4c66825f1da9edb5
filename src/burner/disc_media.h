#pragma once
// How the loaded medium is recorded, as the layout and the writers need to
// know it: written once from its next writable address (sessions one after
// the other), overwritable in place (a new session starts at sector 0 and
// replaces what the disc held), or not writable at all. The media type
// index does not tell the two ways of recording a DVD-RW apart; the drive's
// current profile does.

#include <cstdint>

class TSCSIDevice;

namespace burner {

enum class TRecording : uint8_t { None, Sequential, Overwritable };

// The drive's current MMC profile; 0 when it reports none.
uint16_t CurrentProfile(TSCSIDevice& Device);

// How a medium of this media type index and profile is recorded.
TRecording RecordingOf(uint16_t MediaType, uint16_t Profile);

// The medium can record a test write (the drive simulates the write and
// records nothing): CD-R, CD-RW, DVD-R and DVD-RW in sequential recording.
bool CanSimulate(uint16_t MediaType, uint16_t Profile);

}  // namespace burner
