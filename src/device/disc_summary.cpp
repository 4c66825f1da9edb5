// GetDiscInfo: the summary record of the loaded disc.

#include "device/media_types.h"
#include "device/mmc_block.h"

using namespace device;

namespace {

constexpr uint16_t kTocLength = 114;
constexpr uint16_t kConfigLength = 114;
constexpr uint8_t kTocFormatTracks = 0;
constexpr uint8_t kTocFormatSessions = 1;
constexpr uint8_t kTocFormatAtip = 4;
constexpr uint16_t kSessionsLength = 4;
constexpr uint16_t kAtipLength = 26;
constexpr uint8_t kInvisibleTrack = 0xFF;
constexpr uint32_t kBlockSize = 2048;
constexpr int32_t kReadyPollMs = 5000;
// Disc information byte 2.
constexpr size_t kDiscStatus = 2;
constexpr uint8_t kDiscErasable = 0x10;

}  // namespace

void TSCSIDevice::GetDiscInfo(TDisc& Disc) {
  TDisc& d = DiscSummary;
  d = TDisc{};
  if (!TestUnitReady(kReadyPollMs)) {
    WaitReady(3000, kReadyPollMs);
    if (!TestUnitReady(kReadyPollMs)) return;
  }
  d.Ready = true;

  // A disc with a table of contents: its sessions and the ATIP lead-out.
  if (ReadTOC(kTocFormatTracks, toc_buffer_, 0, false, 0, kTocLength)) {
    const uint8_t last_track = toc_buffer_[3];
    ReadTOC(kTocFormatTracks, toc_buffer_, 0, false, last_track, kTocLength);
    if (ReadTOC(kTocFormatSessions, session_buffer_, 0, false, 0, kSessionsLength)) {
      d.FirstSession = session_buffer_[2];
      d.LastSession = session_buffer_[3];
    }
    if (ReadTOC(kTocFormatAtip, ATIPData, 0, true, 0, kAtipLength)) {
      d.Capacity = static_cast<uint32_t>(MSFToLBA(0, ATIPData[12], ATIPData[13], ATIPData[14]));
    } else {
      d.Capacity = 0;
    }
    d.MediaName = "CD-ROM";
  }

  // The profile names the medium; its first or invisible track gives the
  // next writable address and the capacity.
  if (GetConfiguration(2, 0, kConfigLength, config_buffer_)) {
    const uint16_t profile = Arrived(config_buffer_, kConfigLength, LastResidual).be16(6);
    d.MediaName = std::string(ProfileName(profile));
    d.Erasable = ProfileErasable(profile);
    d.Profile = profile;
    if (ReadTrackInformation(GetMediaType() >= mtDVDROM ? 1 : kInvisibleTrack)) {
      d.NextWritable = TrackInfo.NextWritable;
      d.Capacity = TrackInfo.NextWritable + TrackInfo.FreeBlocks;
      d.BlockSize = kBlockSize;
      ReadDiscInfo();
    } else {
      uint32_t blocks = 0, block_length = 0;
      if (ReadFormatCapacities(blocks, block_length)) {
        d.NextWritable = blocks;
        d.BlockSize = block_length;
        if (d.NextWritable > d.Capacity) d.Capacity = d.NextWritable;
      }
    }
  }

  if (ReadDiscInfo()) {
    const uint8_t status = DiscInfo[kDiscStatus];
    d.LastSessionState = (status >> 2) & 0x03;
    d.DiscStatus = status & 0x03;
    d.Erasable = (status & kDiscErasable) != 0;
  } else {
    uint32_t last = 0, block_length = 0;
    if (ReadCapacity(last, block_length)) {
      d.NextWritable = last;
      d.BlockSize = block_length;
    }
    if (ReadTrackInformation(0)) d.MediaName = "CD-ROM";
  }

  if (d.NextWritable > d.Capacity) d.Capacity = d.NextWritable;
  Disc = d;
}
