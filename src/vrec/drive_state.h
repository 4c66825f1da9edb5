#pragma once
// Everything one recorder remembers between commands and between processes:
// the disc, the tray, the write parameters the host set, the speeds, the
// buffer, a long operation in progress, pending events and fault rules.
// It is plain data; the commands change it and the store keeps it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "vrec/bytes.h"
#include "vrec/disc.h"
#include "vrec/faults.h"

namespace vrec {

// A long operation the drive carries out after an Immed command returns;
// until it ends the drive reports not ready with its progress.
enum class BusyKind : std::uint8_t {
  kNone,
  kBlank,   // BLANK: 02/04/07
  kFormat,  // FORMAT UNIT (not DVD+RW, which formats in the background): 02/04/04
  kClose,   // CLOSE TRACK/SESSION: 02/04/07
  kSync,    // SYNCHRONIZE CACHE flushing the buffer, lead-out of a DAO disc: 02/04/08
};

inline constexpr std::size_t kPage05Length = 52;  // page code, length 32h, 50 bytes
inline constexpr std::uint32_t kDefaultBufferBytes = 4 * 1024 * 1024;
inline constexpr std::size_t kMaxFaultRules = 64;

struct DriveState {
  // Settings of the recorder itself (`tidemark vrec`).
  std::uint32_t emulated_speed_x10 = 0;  // recording speed cap; 0 = no speed emulation
  std::uint32_t pregap = kCdDefaultPregap;
  std::uint32_t buffer_size = kDefaultBufferBytes;

  // The medium and the tray.
  Disc disc;
  bool tray_open = false;
  bool prevent_removal = false;
  std::string image_name;  // source of a read-only disc, for `vrec status`

  // Time, in microseconds of the recorder's clock.
  std::int64_t ready_at = 0;  // becoming ready after a load until then
  BusyKind busy = BusyKind::kNone;
  std::int64_t busy_start = 0;
  std::int64_t busy_end = 0;
  // DVD+RW background formatting ends at this time (disc.bg_format 2 until then).
  std::int64_t bg_format_end = 0;

  // The buffer fills with writes and drains at the recording speed.
  std::uint64_t buffer_bytes = 0;
  std::int64_t buffer_at = 0;  // time buffer_bytes was computed
  bool streaming = false;      // a track is being recorded from the buffer

  // What the host set.
  std::array<std::uint8_t, kPage05Length> page05{};
  std::uint32_t write_kbps = 0;  // selected write speed, 0 = the medium's maximum
  std::uint32_t read_kbps = 0;

  // Events every initiator sees once: a unit attention and a media event.
  std::uint64_t attention_gen = 0;
  Sense attention;
  std::uint64_t media_event_gen = 0;
  std::uint8_t media_event = 0;

  std::vector<FaultRule> faults;

  // A state with a fresh medium of `m` loaded and default settings.
  static DriveState Fresh(Medium m, std::uint32_t capacity);
  void ResetWriteParameters();
};

// Encodes the state for the store, and decodes it back; decoding checks every
// count and length and fails with a message rather than trusting the bytes.
std::string EncodeState(const DriveState& state);
bool DecodeState(ConstBytes bytes, DriveState* state, std::string* error);

}  // namespace vrec
