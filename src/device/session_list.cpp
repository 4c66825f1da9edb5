#include "device/session_list.h"

#include <cmath>
#include <cstdio>

#include "device/media_types.h"
#include "device/scsi_device.h"

namespace device {
namespace {

constexpr uint8_t kTocFormatTracks = 0;
constexpr uint8_t kLeadOut = 0xAA;
constexpr uint16_t kTocLength = 248;
// The first track descriptor's address (MSF) in a READ TOC reply.
constexpr size_t kMinute = 9, kSecond = 10, kFrame = 11;
constexpr int32_t kPregapBlocks = 150;
constexpr uint32_t kVolumeDescriptor = 16;  // sector of a session's primary descriptor
constexpr size_t kVolumeSpaceSize = 80;     // little-endian half of the both-endian field
constexpr double kBlocksPerMegabyte = 512;

std::string Padded(unsigned v, int width, char fill) {
  std::string s = std::to_string(v);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), fill);
  return s;
}

std::string MsfText(const std::array<uint8_t, kTocLength>& toc) {
  return Padded(toc[kMinute], 3, '0') + ":" + Padded(toc[kSecond], 2, '0') + ":" +
         Padded(toc[kFrame], 2, '0');
}

// Megabytes of a block count, to the nearest whole number, halves to even.
unsigned Megabytes(uint32_t blocks) {
  return static_cast<unsigned>(std::nearbyint(blocks / kBlocksPerMegabyte));
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t off) {
  return uint32_t{b[off]} | uint32_t{b[off + 1]} << 8 | uint32_t{b[off + 2]} << 16 |
         uint32_t{b[off + 3]} << 24;
}

std::string SessionLine(TSCSIDevice& dev, unsigned s) {
  std::array<uint8_t, kTocLength> toc{};
  int32_t start = 0;
  if (dev.ReadTOC(kTocFormatTracks, toc, 0, true, static_cast<uint8_t>(s), kTocLength)) {
    start = MSFToLBA(0, toc[kMinute], toc[kSecond], toc[kFrame]);
  }
  if (start == 0) return {};
  const std::string msf = MsfText(toc);
  start -= kPregapBlocks;
  dev.ReadTrackInformation(s);
  const uint32_t track_size = dev.TrackInfo.TrackSize;

  const std::string head = "  " + Padded(s, 3, '0') + "      " + msf + "  ";
  std::vector<uint8_t> descriptor(2048);
  const uint32_t sector = static_cast<uint32_t>(start) + kVolumeDescriptor;
  if (dev.Read10(sector, 1, descriptor.size(), descriptor)) {
    const uint32_t volume_blocks = Le32(descriptor, kVolumeSpaceSize);
    if (volume_blocks != 0) {
      const unsigned size = Megabytes(track_size != 0 ? track_size : volume_blocks);
      return head + Padded(size, 4, ' ') + " MB";
    }
  }
  return head + "???? MB";
}

}  // namespace

std::string MegabytesText(uint32_t blocks) {
  char b[32];
  std::snprintf(b, sizeof b, "%.2f MB", blocks * 2048.0 / 1048576.0);
  return b;
}

SessionList ReadSessionList(TSCSIDevice& dev) {
  SessionList list;
  TDisc disc;
  dev.GetDiscInfo(disc);
  if (!disc.Ready) {
    list.Lines.push_back(kNoDiscLine);
    return list;
  }
  list.Ready = true;
  list.FirstSession = disc.FirstSession;
  list.LastSession = disc.LastSession;

  // One pass with session 0 when the disc reports none.
  const unsigned first = disc.FirstSession, last = disc.LastSession;
  for (unsigned s = first; s <= last; ++s) {
    std::string line = SessionLine(dev, s);
    if (!line.empty()) list.Lines.push_back(std::move(line));
  }

  std::array<uint8_t, kTocLength> toc{};
  const std::string lead_out = dev.ReadTOC(kTocFormatTracks, toc, 0, true, kLeadOut, kTocLength)
                                   ? MsfText(toc)
                                   : std::string("00:00:00");
  list.FreeBlocks = dev.GetFreeSpace();
  list.Lines.push_back(" Free      " + lead_out + "  " +
                       Padded(Megabytes(list.FreeBlocks), 4, ' ') + " MB");

  dev.GetDiscInfo(disc);
  const uint8_t media = dev.GetMediaType();
  list.Medium = std::string(media < MediaNames.size() ? MediaNames[media] : MediaNames[0]);
  list.CapacityBlocks = dev.GetDiscCapacity();
  list.UsedBlocks = dev.GetUsedSpace();
  list.DiscSize = MegabytesText(list.CapacityBlocks);
  list.UsedSpace = MegabytesText(list.UsedBlocks);
  return list;
}

}  // namespace device
