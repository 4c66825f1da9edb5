#pragma once
// The kinds of disc the recorder takes, and what each kind is: its profile,
// whether it is a CD, erasable, writable, its capacity and its speeds.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vrec {

enum class Medium : std::uint8_t {
  kNone = 0,
  kCdR,
  kCdRw,
  kDvdR,
  kDvdRw,
  kDvdPlusR,
  kDvdPlusRw,
  kDvdRam,
  kCdRom,   // read-only, made from an image file
  kDvdRom,  // read-only, made from an image file
};
inline constexpr int kMediumCount = 10;

// How the medium is written.
enum class Recording : std::uint8_t {
  kReadOnly,
  kSequential,   // tracks and sessions, next writable address (CD-R/RW, DVD-R/RW, DVD+R)
  kOverwritable  // one formatted area written at random (DVD+RW, DVD-RAM)
};

struct MediumTraits {
  Medium medium;
  const char* name;       // as `vrec insert` takes it and `vrec status` shows it
  std::uint16_t profile;  // current profile (DVD-RW: the sequential one)
  bool cd;
  bool erasable;  // the disc information's erasable bit
  Recording recording;
  std::uint32_t capacity;    // default user blocks (last possible lead-out start)
  std::uint16_t one_x_kbps;  // kilobytes per second at 1x, for page 2Ah and speeds
  std::span<const std::uint16_t> write_speeds_x10;  // listed write speeds, x times 10
  std::uint16_t max_read_x10;
};

const MediumTraits& Traits(Medium m);

// Parses a medium name of `vrec insert` (CD-R, CD-RW, DVD-R, DVD-RW, DVD+R,
// DVD+RW, DVD-RAM; letter case ignored). Read-only kinds are not accepted.
std::optional<Medium> ParseWritableMedium(std::string_view name);

// Bytes of user data per second at 1x: 75 blocks for CD, 1385 kB for DVD.
inline constexpr double kCdOneXBytesPerSecond = 75.0 * 2048.0;
inline constexpr double kDvdOneXBytesPerSecond = 1385000.0;
inline double OneXBytesPerSecond(Medium m) {
  return Traits(m).cd ? kCdOneXBytesPerSecond : kDvdOneXBytesPerSecond;
}

}  // namespace vrec
