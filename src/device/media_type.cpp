// What medium is loaded: the media type index, erasability, the last
// session, the profile names and MSF/LBA arithmetic.

#include "device/media_types.h"
#include "device/mmc_block.h"

using namespace device;

namespace {

struct Profile {
  uint16_t code;
  std::string_view name;
  uint16_t media_type;
  bool erasable;
};

constexpr Profile kProfiles[] = {
    {0x0001, "Non-removable disk", mtUnknown, false},
    {0x0002, "Removable disk", mtUnknown, false},
    {0x0003, "MO Eraseable", mtUnknown, true},
    {0x0004, "MO Write Once", mtUnknown, false},
    {0x0005, "AS-MO", mtUnknown, false},
    {0x0008, "CD-ROM", mtCDROM, false},
    {0x0009, "CD-R", mtCDR, false},
    {0x000A, "CD-RW", mtCDRW, true},
    {0x0010, "DVD-ROM", mtDVDROM, false},
    {0x0011, "DVD-R", mtDVDR, false},
    {0x0012, "DVD-RAM", mtDVDRAM, false},
    {0x0013, "DVD-RW Restricted Overwrite", mtDVDRW, true},
    {0x0014, "DVD-RW Sequential Recording", mtDVDRW, true},
    {0x001A, "DVD+RW", mtDVDPRW, true},
    {0x001B, "DVD+R", mtDVDPR, false},
    {0x0020, "DDCD-ROM", mtDDCDROM, false},
    {0x0021, "DDCD-R", mtDDCDR, false},
    {0x0022, "DDCD-RW", mtDDCDRW, true},
};
constexpr std::string_view kUnknownProfile = "???????";

const Profile* FindProfile(uint16_t code) {
  for (const Profile& p : kProfiles) {
    if (p.code == code) return &p;
  }
  return nullptr;
}

constexpr uint16_t kConfigLength = 114;
constexpr uint8_t kTocFormatSessions = 1;
constexpr uint8_t kTocFormatAtip = 4;
constexpr uint16_t kAtipLength = 26;
// ATIP byte 6: bit 7 marks a valid disc-type field, bit 6 a rewritable disc.
constexpr size_t kAtipDiscType = 6;
constexpr uint8_t kAtipTypeValid = 0x80;
constexpr uint8_t kAtipRewritable = 0x40;
// Disc information byte 2 bit 4.
constexpr size_t kDiscStatus = 2;
constexpr uint8_t kDiscErasable = 0x10;

}  // namespace

std::string_view device::ProfileName(uint16_t profile) {
  const Profile* p = FindProfile(profile);
  return p != nullptr ? p->name : kUnknownProfile;
}

bool device::ProfileErasable(uint16_t profile) {
  const Profile* p = FindProfile(profile);
  return p != nullptr && p->erasable;
}

uint16_t device::MediaTypeOfProfile(uint16_t profile) {
  const Profile* p = FindProfile(profile);
  return p != nullptr ? p->media_type : uint16_t{mtUnknown};
}

int32_t MSFToLBA(uint8_t H, uint8_t M, uint8_t S, uint8_t F) {
  return H * 270000 + M * 4500 + S * 75 + F;
}

void LBAToMSF(int32_t N, uint8_t& M, uint8_t& S, uint8_t& F) {
  M = static_cast<uint8_t>(N / 4500);
  S = static_cast<uint8_t>(N / 75 % 60);
  F = static_cast<uint8_t>(N % 75);
}

uint8_t TSCSIDevice::GetMediaType() {
  uint16_t index = mtUnknown;
  if (GetConfiguration(2, 0, kConfigLength, config_buffer_)) {
    index = MediaTypeOfProfile(Arrived(config_buffer_, kConfigLength, LastResidual).be16(6));
  }
  if (index != mtUnknown) return static_cast<uint8_t>(index);

  if (ReadTOC(kTocFormatAtip, ATIPData, 0, true, 0, kAtipLength)) {
    const uint8_t type = ATIPData[kAtipDiscType];
    if (!(type & kAtipTypeValid)) {
      index = mtCDROM;
    } else {
      index = (type & kAtipRewritable) ? mtCDRW : mtCDR;
    }
  }
  if (ReadDiscInfo() && index == mtUnknown) {
    index = (DiscInfo[kDiscStatus] & kDiscErasable) ? mtCDRW : mtCDR;
  }
  if (index == mtUnknown && TestUnitReady(5000)) index = mtCDROM;
  return static_cast<uint8_t>(index);
}

bool TSCSIDevice::IsErasable() {
  if (ReadDiscInfo()) return (DiscInfo[kDiscStatus] & kDiscErasable) != 0;
  CurrentMediaType = GetMediaType();
  return CurrentMediaType == mtDVDRAM || CurrentMediaType == mtDVDRW ||
         CurrentMediaType == mtDVDRWSeq || CurrentMediaType == mtDVDPRW;
}

uint8_t TSCSIDevice::GetLastSession() {
  if (!ReadTOC(kTocFormatSessions, session_buffer_, 0, false, 0, session_buffer_.size())) return 0;
  return session_buffer_[3];
}
