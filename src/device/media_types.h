#pragma once
// Media type indexes and their names. Indexes below 4 are CD media.

#include <array>
#include <cstdint>
#include <string_view>

enum TMediaType : uint16_t {
  mtUnknown = 0,
  mtCDROM = 1,
  mtCDR = 2,
  mtCDRW = 3,
  mtDVDROM = 4,
  mtDVDR = 5,
  mtDVDRAM = 6,
  mtDVDRW = 7,     // restricted overwrite and sequential recording alike
  mtDVDRWSeq = 8,  // never returned; kept so the indexes stay as designed
  mtDVDPRW = 9,
  mtDVDPR = 10,
  mtDDCDROM = 11,
  mtDDCDR = 12,
  mtDDCDRW = 13,
};

inline constexpr std::array<std::string_view, 14> MediaNames = {
    "UNKNOWN", "CD-ROM", "CD-R",   "CD-RW", "DVD-ROM",  "DVD-R",  "DVD-RAM",
    "DVD-RW",  "DVD-RW", "DVD+RW", "DVD+R", "DDCD-ROM", "DDCD-R", "DDCD-RW"};
