#pragma once
// The disc summary record, MMC profile names and MSF/LBA arithmetic.

#include <cstdint>
#include <string>
#include <string_view>

// What GetDiscInfo found out about the loaded disc; copied whole to the caller.
struct TDisc {
  bool Ready = false;            // the drive answered TEST UNIT READY
  uint32_t Capacity = 0;         // total blocks of the medium
  uint32_t NextWritable = 0;     // next writable address, or the formatted capacity
  uint32_t BlockSize = 0;        // bytes
  uint8_t FirstSession = 0;      // first complete session (READ TOC format 1, byte 2)
  uint8_t LastSession = 0;       // last complete session (byte 3)
  uint8_t LastSessionState = 0;  // 0 empty, 1 incomplete, 2 reserved/damaged, 3 complete
  uint8_t DiscStatus = 0;        // 0 empty, 1 appendable, 2 complete, 3 other
  uint16_t Profile = 0;          // current profile, 0 when GET CONFIGURATION failed
  std::string MediaName;         // profile name, "CD-ROM" from the TOC, or empty
  bool Erasable = false;
  bool operator==(const TDisc&) const = default;
};

namespace device {

// The name of an MMC profile as the disc summary shows it ("???????" for
// one not listed), and whether that medium can be erased.
std::string_view ProfileName(uint16_t profile);
bool ProfileErasable(uint16_t profile);
// The media type index of a profile; 0 (UNKNOWN) for one not listed.
uint16_t MediaTypeOfProfile(uint16_t profile);

}  // namespace device

// H × 270,000 + M × 4,500 + S × 75 + F (no 150-frame offset).
int32_t MSFToLBA(uint8_t H, uint8_t M, uint8_t S, uint8_t F);
// M := N div 4,500, S := (N div 75) mod 60, F := N mod 75, each kept in a byte.
void LBAToMSF(int32_t N, uint8_t& M, uint8_t& S, uint8_t& F);
