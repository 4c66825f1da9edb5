// How much of the loaded disc is used, how much is free and how large it
// is, in blocks of 2048 bytes. Each figure falls back from one source to
// the next when a command fails.

#include <algorithm>

#include "device/device_texts.h"
#include "device/media_types.h"
#include "device/mmc_block.h"

using namespace device;

namespace {

constexpr uint32_t kNoSize = 0xFFFFFFFF;
// A last address above this is no address (a formatted medium's
// placeholder); its size comes from the format capacities instead.
constexpr uint32_t kHighestLastAddress = 0x7F000000;
// A lead-out below this from the ATIP is checked against READ CAPACITY.
constexpr uint32_t kSmallestAtipCapacity = 20000;
constexpr uint8_t kTocFormatAtip = 4;
constexpr uint16_t kAtipLength = 26;
constexpr uint8_t kInvisibleTrack = 0xFF;

}  // namespace

uint32_t TSCSIDevice::GetUsedSpace() {
  const uint32_t next = uint32_t{GetLastSession()} + 1;
  if (ReadTrackInformation(next)) {
    const uint32_t used = TrackInfo.NextWritable;
    if (next == 1 || used != 0) return used;
  }
  uint32_t last = 0, block_length = 0;
  if (ReadCapacity(last, block_length)) {
    if (last <= kHighestLastAddress) return last;
    uint32_t blocks = 0;
    return ReadFormatCapacities(blocks, block_length) ? blocks : 0;
  }
  // Nothing else answered: the next track's own account of where it
  // begins, or nothing.
  return ReadTrackInformation(next) ? TrackInfo.NextWritable : 0;
}

uint32_t TSCSIDevice::GetFreeSpace() {
  const uint8_t media = GetMediaType();
  // With the disc to be closed, the drive reports the space of one closed
  // session.
  const bool finalize = FinalizeDisc;
  FinalizeDisc = true;
  SetWriteParameters(false, UnderrunProtection, CurrentMediaType);
  FinalizeDisc = finalize;

  uint32_t r = 0;
  const auto larger = [this] { return std::max(TrackInfo.FreeBlocks, TrackInfo.TrackSize); };
  if (ReadTrackInformation(media >= mtDVDROM ? 1 : kInvisibleTrack)) {
    r = larger();
  } else if (ReadTrackInformation(uint32_t{GetLastSession()} + 1)) {
    r = larger();
  }
  if (TrackInfo.TrackSize > TrackInfo.FreeBlocks) r = TrackInfo.TrackSize;
  // On a DVD written once and left open, track 1 is a finished track with
  // nothing free; the space left is the invisible track's, as on a CD.
  if (media >= mtDVDROM && TrackInfo.FreeBlocks == 0) {
    const TTrackInfo first = TrackInfo;
    if (ReadTrackInformation(kInvisibleTrack) && TrackInfo.FreeBlocks != 0) {
      r = TrackInfo.FreeBlocks;
    } else {
      TrackInfo = first;
    }
  }
  return r;
}

uint32_t TSCSIDevice::GetDiscCapacity() {
  uint32_t r = kNoSize;
  if (ReadTOC(kTocFormatAtip, ATIPData, 0, true, 0, kAtipLength)) {
    r = static_cast<uint32_t>(MSFToLBA(0, ATIPData[12], ATIPData[13], ATIPData[14]));
    uint32_t last = 0, block_length = 0;
    if (r < kSmallestAtipCapacity && ReadCapacity(last, block_length) && last > r) r = last;
  } else if (ReadTrackInformation(uint32_t{GetLastSession()} + 1)) {
    r = TrackInfo.FreeBlocks + TrackInfo.TrackStart;
  } else {
    uint32_t blocks = 0, block_length = 0;
    if (ReadFormatCapacities(blocks, block_length)) r = blocks;
    // The used space is the last resort; nothing used is no size either.
    if (r == kNoSize) r = GetUsedSpace();
    if (r == 0) r = kNoSize;
  }
  if (r == kNoSize) {
    // No source gave a size: all ones is no block count.
    DebugMsg(">>> " + std::string(texts::kNoDiscCapacity), 0);
    r = 0;
  }
  return r;
}
