#include "burner/disc_media.h"

#include <array>

#include "device/media_types.h"
#include "device/scsi_device.h"

namespace burner {
namespace {

constexpr uint16_t kProfileDvdRwRestricted = 0x0013;
constexpr uint8_t kConfigurationCurrent = 2;  // RT: the current features only
constexpr size_t kHeader = 8;
constexpr size_t kCurrentProfile = 6;

}  // namespace

uint16_t CurrentProfile(TSCSIDevice& Device) {
  std::array<uint8_t, kHeader> header{};
  if (!Device.GetConfiguration(kConfigurationCurrent, 0, header.size(), header)) return 0;
  return static_cast<uint16_t>(header[kCurrentProfile] << 8 | header[kCurrentProfile + 1]);
}

TRecording RecordingOf(uint16_t MediaType, uint16_t Profile) {
  switch (MediaType) {
    case mtCDR:
    case mtCDRW:
    case mtDVDR:
    case mtDVDPR:
    case mtDDCDR:
    case mtDDCDRW:
      return TRecording::Sequential;
    case mtDVDRW:
    case mtDVDRWSeq:
      return Profile == kProfileDvdRwRestricted ? TRecording::Overwritable : TRecording::Sequential;
    case mtDVDRAM:
    case mtDVDPRW:
      return TRecording::Overwritable;
    default:
      return TRecording::None;
  }
}

bool CanSimulate(uint16_t MediaType, uint16_t Profile) {
  switch (MediaType) {
    case mtCDR:
    case mtCDRW:
    case mtDVDR:
      return true;
    case mtDVDRW:
    case mtDVDRWSeq:
      return Profile != kProfileDvdRwRestricted;
    default:
      return false;
  }
}

}  // namespace burner
