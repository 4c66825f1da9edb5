#include "vrec/medium.h"

#include <array>
#include <cctype>

#include "vrec/mmc.h"

namespace vrec {
namespace {

// Write speeds a recorder of this class offers for each medium (x times 10,
// so that 2.4x fits), highest first.
constexpr std::uint16_t kNoSpeeds[] = {0};
constexpr std::uint16_t kCdRSpeeds[] = {480, 400, 320, 240, 160, 80, 40};
constexpr std::uint16_t kCdRwSpeeds[] = {240, 160, 100, 40};
constexpr std::uint16_t kDvdRSpeeds[] = {160, 80, 40, 20};
constexpr std::uint16_t kDvdRwSpeeds[] = {60, 40, 20, 10};
constexpr std::uint16_t kDvdPlusRSpeeds[] = {160, 80, 40, 24};
constexpr std::uint16_t kDvdPlusRwSpeeds[] = {80, 40, 24};
constexpr std::uint16_t kDvdRamSpeeds[] = {50, 30, 20};

constexpr std::uint32_t kCdCapacity = 359849;  // 80 minutes, lead-out at 79:59:74
constexpr std::uint32_t kDvdMinusCapacity = 2298496;
constexpr std::uint32_t kDvdPlusCapacity = 2295104;
constexpr std::uint32_t kDvdRamCapacity = 2236704;

const std::array<MediumTraits, kMediumCount> kTraits = {{
    {Medium::kNone, "none", mmc::kProfileNone, true, false, Recording::kReadOnly, 0, 176,
     std::span<const std::uint16_t>(kNoSpeeds, 0), 480},
    {Medium::kCdR, "CD-R", mmc::kProfileCdR, true, false, Recording::kSequential, kCdCapacity, 176,
     kCdRSpeeds, 480},
    {Medium::kCdRw, "CD-RW", mmc::kProfileCdRw, true, true, Recording::kSequential, kCdCapacity,
     176, kCdRwSpeeds, 480},
    {Medium::kDvdR, "DVD-R", mmc::kProfileDvdR, false, false, Recording::kSequential,
     kDvdMinusCapacity, 1385, kDvdRSpeeds, 160},
    {Medium::kDvdRw, "DVD-RW", mmc::kProfileDvdRwSequential, false, true, Recording::kSequential,
     kDvdMinusCapacity, 1385, kDvdRwSpeeds, 160},
    {Medium::kDvdPlusR, "DVD+R", mmc::kProfileDvdPlusR, false, false, Recording::kSequential,
     kDvdPlusCapacity, 1385, kDvdPlusRSpeeds, 160},
    {Medium::kDvdPlusRw, "DVD+RW", mmc::kProfileDvdPlusRw, false, true, Recording::kOverwritable,
     kDvdPlusCapacity, 1385, kDvdPlusRwSpeeds, 160},
    {Medium::kDvdRam, "DVD-RAM", mmc::kProfileDvdRam, false, true, Recording::kOverwritable,
     kDvdRamCapacity, 1385, kDvdRamSpeeds, 50},
    {Medium::kCdRom, "CD-ROM", mmc::kProfileCdRom, true, false, Recording::kReadOnly, 0, 176,
     std::span<const std::uint16_t>(kNoSpeeds, 0), 480},
    {Medium::kDvdRom, "DVD-ROM", mmc::kProfileDvdRom, false, false, Recording::kReadOnly, 0, 1385,
     std::span<const std::uint16_t>(kNoSpeeds, 0), 160},
}};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

const MediumTraits& Traits(Medium m) {
  auto i = static_cast<std::size_t>(m);
  return i < kTraits.size() ? kTraits[i] : kTraits[0];
}

std::optional<Medium> ParseWritableMedium(std::string_view name) {
  for (const MediumTraits& t : kTraits) {
    if (t.recording != Recording::kReadOnly && EqualsIgnoringCase(name, t.name)) {
      return t.medium;
    }
  }
  return std::nullopt;
}

}  // namespace vrec
