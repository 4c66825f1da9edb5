#pragma once
// Operation codes, profiles, feature codes and mode-page values of the MMC
// command set, as the recorder answers them.

#include <cstdint>

namespace vrec::mmc {

// Operation codes.
inline constexpr std::uint8_t kTestUnitReady = 0x00;
inline constexpr std::uint8_t kRezeroUnit = 0x01;
inline constexpr std::uint8_t kRequestSense = 0x03;
inline constexpr std::uint8_t kFormatUnit = 0x04;
inline constexpr std::uint8_t kInquiry = 0x12;
inline constexpr std::uint8_t kModeSelect6 = 0x15;
inline constexpr std::uint8_t kModeSense6 = 0x1A;
inline constexpr std::uint8_t kStartStopUnit = 0x1B;
inline constexpr std::uint8_t kPreventAllow = 0x1E;
inline constexpr std::uint8_t kReadFormatCapacities = 0x23;
inline constexpr std::uint8_t kReadCapacity = 0x25;
inline constexpr std::uint8_t kRead10 = 0x28;
inline constexpr std::uint8_t kWrite10 = 0x2A;
inline constexpr std::uint8_t kSeek10 = 0x2B;
inline constexpr std::uint8_t kWriteVerify10 = 0x2E;
inline constexpr std::uint8_t kVerify10 = 0x2F;
inline constexpr std::uint8_t kSynchronizeCache = 0x35;
inline constexpr std::uint8_t kReadSubchannel = 0x42;
inline constexpr std::uint8_t kReadToc = 0x43;
inline constexpr std::uint8_t kGetConfiguration = 0x46;
inline constexpr std::uint8_t kGetEventStatus = 0x4A;
inline constexpr std::uint8_t kReadDiscInformation = 0x51;
inline constexpr std::uint8_t kReadTrackInformation = 0x52;
inline constexpr std::uint8_t kReserveTrack = 0x53;
inline constexpr std::uint8_t kSendOpcInformation = 0x54;
inline constexpr std::uint8_t kModeSelect10 = 0x55;
inline constexpr std::uint8_t kModeSense10 = 0x5A;
inline constexpr std::uint8_t kCloseTrackSession = 0x5B;
inline constexpr std::uint8_t kReadBufferCapacity = 0x5C;
inline constexpr std::uint8_t kSendCueSheet = 0x5D;
inline constexpr std::uint8_t kReadCapacity16 = 0x9E;
inline constexpr std::uint8_t kBlank = 0xA1;
inline constexpr std::uint8_t kReportKey = 0xA4;
inline constexpr std::uint8_t kRead12 = 0xA8;
inline constexpr std::uint8_t kWrite12 = 0xAA;
inline constexpr std::uint8_t kGetPerformance = 0xAC;
inline constexpr std::uint8_t kReadDvdStructure = 0xAD;
inline constexpr std::uint8_t kSetStreaming = 0xB6;
inline constexpr std::uint8_t kReadCdMsf = 0xB9;
inline constexpr std::uint8_t kSetCdSpeed = 0xBB;
inline constexpr std::uint8_t kMechanismStatus = 0xBD;
inline constexpr std::uint8_t kReadCd = 0xBE;
inline constexpr std::uint8_t kSendDvdStructure = 0xBF;

// Profiles (GET CONFIGURATION).
inline constexpr std::uint16_t kProfileNone = 0x0000;
inline constexpr std::uint16_t kProfileCdRom = 0x0008;
inline constexpr std::uint16_t kProfileCdR = 0x0009;
inline constexpr std::uint16_t kProfileCdRw = 0x000A;
inline constexpr std::uint16_t kProfileDvdRom = 0x0010;
inline constexpr std::uint16_t kProfileDvdR = 0x0011;
inline constexpr std::uint16_t kProfileDvdRam = 0x0012;
inline constexpr std::uint16_t kProfileDvdRwRestricted = 0x0013;
inline constexpr std::uint16_t kProfileDvdRwSequential = 0x0014;
inline constexpr std::uint16_t kProfileDvdPlusRw = 0x001A;
inline constexpr std::uint16_t kProfileDvdPlusR = 0x001B;

// Feature codes.
inline constexpr std::uint16_t kFeatureProfileList = 0x0000;
inline constexpr std::uint16_t kFeatureCore = 0x0001;
inline constexpr std::uint16_t kFeatureMorphing = 0x0002;
inline constexpr std::uint16_t kFeatureRemovableMedium = 0x0003;
inline constexpr std::uint16_t kFeatureRandomReadable = 0x0010;
inline constexpr std::uint16_t kFeatureMultiRead = 0x001D;
inline constexpr std::uint16_t kFeatureCdRead = 0x001E;
inline constexpr std::uint16_t kFeatureDvdRead = 0x001F;
inline constexpr std::uint16_t kFeatureRandomWritable = 0x0020;
inline constexpr std::uint16_t kFeatureIncrementalStreaming = 0x0021;
inline constexpr std::uint16_t kFeatureFormattable = 0x0023;
inline constexpr std::uint16_t kFeatureDefectManagement = 0x0024;
inline constexpr std::uint16_t kFeatureRestrictedOverwrite = 0x0026;
inline constexpr std::uint16_t kFeatureDvdPlusRw = 0x002A;
inline constexpr std::uint16_t kFeatureDvdPlusR = 0x002B;
inline constexpr std::uint16_t kFeatureRigidOverwrite = 0x002C;
inline constexpr std::uint16_t kFeatureCdTrackAtOnce = 0x002D;
inline constexpr std::uint16_t kFeatureCdMastering = 0x002E;
inline constexpr std::uint16_t kFeatureDvdMinusRWrite = 0x002F;
inline constexpr std::uint16_t kFeaturePowerManagement = 0x0100;
inline constexpr std::uint16_t kFeatureTimeout = 0x0105;
inline constexpr std::uint16_t kFeatureRealTimeStreaming = 0x0107;

// Mode pages.
inline constexpr std::uint8_t kPageReadErrorRecovery = 0x01;
inline constexpr std::uint8_t kPageWriteParameters = 0x05;
inline constexpr std::uint8_t kPageCapabilities = 0x2A;
inline constexpr std::uint8_t kPageAll = 0x3F;

// Write types of page 05h byte 2 bits 3-0.
inline constexpr std::uint8_t kWriteTypePacket = 0;
inline constexpr std::uint8_t kWriteTypeTao = 1;
inline constexpr std::uint8_t kWriteTypeSao = 2;
inline constexpr std::uint8_t kWriteTypeRaw = 3;

// Multi-session field of page 05h byte 3 bits 7-6.
inline constexpr std::uint8_t kMultiSessionFinalize = 0;
inline constexpr std::uint8_t kMultiSessionOpen = 3;

// Functions of CLOSE TRACK/SESSION byte 2 bits 2-0.
inline constexpr std::uint8_t kCloseStopBackgroundFormat = 0;
inline constexpr std::uint8_t kCloseTrack = 1;
inline constexpr std::uint8_t kCloseSession = 2;
inline constexpr std::uint8_t kCloseFinalizeDvdPlusRCompatible = 5;
inline constexpr std::uint8_t kCloseFinalizeDvdPlusR = 6;

// Blanking types of BLANK byte 1 bits 2-0.
inline constexpr std::uint8_t kBlankFull = 0;
inline constexpr std::uint8_t kBlankMinimal = 1;
inline constexpr std::uint8_t kBlankTrack = 2;
inline constexpr std::uint8_t kBlankUnreserveTrack = 3;
inline constexpr std::uint8_t kBlankTrackTail = 4;
inline constexpr std::uint8_t kBlankUncloseSession = 5;
inline constexpr std::uint8_t kBlankSession = 6;

// Format types of FORMAT UNIT descriptors (byte 4 bits 7-2).
inline constexpr std::uint8_t kFormatFull = 0x00;
inline constexpr std::uint8_t kFormatSpareAreaExpansion = 0x01;
inline constexpr std::uint8_t kFormatDvdRwFull = 0x10;
inline constexpr std::uint8_t kFormatDvdRwGrow = 0x13;
inline constexpr std::uint8_t kFormatDvdRwQuick = 0x15;
inline constexpr std::uint8_t kFormatDvdPlusRw = 0x26;

// Block sizes of the data block types of page 05h byte 4 (0 = not usable).
inline constexpr std::uint32_t BlockSizeOfDataBlockType(std::uint8_t type) {
  switch (type) {
    case 0:
      return 2352;
    case 1:
      return 2368;
    case 2:
    case 3:
      return 2448;
    case 8:
      return 2048;
    case 9:
      return 2336;
    case 10:
      return 2048;
    case 11:
      return 2056;
    case 12:
      return 2324;
    case 13:
      return 2332;
    default:
      return 0;
  }
}

// CD addresses: LBA <-> minute/second/frame (with the 150-frame offset).
struct Msf {
  std::uint8_t m = 0, s = 0, f = 0;
};
inline constexpr Msf LbaToMsf(std::int32_t lba) {
  std::int32_t v = lba + 150;
  if (v < 0) v += 450000;  // addresses of the lead-in: 90:00:00 and above
  return Msf{static_cast<std::uint8_t>(v / 4500 % 256), static_cast<std::uint8_t>(v / 75 % 60),
             static_cast<std::uint8_t>(v % 75)};
}
inline constexpr std::int32_t MsfToLba(Msf msf) {
  std::int32_t v = (msf.m * 60 + msf.s) * 75 + msf.f;
  return msf.m >= 90 ? v - 450150 : v - 150;
}

}  // namespace vrec::mmc
