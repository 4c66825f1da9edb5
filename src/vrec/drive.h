#pragma once
// The emulated recorder's command interpreter. One call executes one
// command block against a DriveState: it checks the common conditions
// (pending unit attention, medium present, ready), looks the operation code
// up in the command table and lets the command's handler build its reply
// byte by byte. It never sleeps: a command that takes time reports how long
// in `duration_us`, and the front end lets that time pass.

#include <array>
#include <cstdint>

#include "vrec/bytes.h"
#include "vrec/drive_state.h"
#include "vrec/sector_store.h"
#include "vrec/sense.h"

namespace vrec {

enum class DataDirection : std::uint8_t { kNone, kIn, kOut };  // kIn: from the recorder

struct Request {
  ConstBytes cdb;
  DataDirection direction = DataDirection::kNone;
  Bytes data;  // kIn: the buffer to fill; kOut: the bytes sent (read only)
};

inline constexpr std::uint8_t kStatusGood = 0x00;
inline constexpr std::uint8_t kStatusCheckCondition = 0x02;
inline constexpr std::uint8_t kStatusBusy = 0x08;
inline constexpr std::size_t kSenseLength = 18;

struct Response {
  std::uint8_t status = kStatusGood;
  std::array<std::uint8_t, kSenseLength> sense{};  // fixed format when status is 02h
  std::uint32_t transferred = 0;                   // bytes moved through Request::data
  std::int64_t duration_us = 0;                    // emulated time the command took
  bool timed_out = false;  // the command never completes (fault rule "timeout")

  Sense sense_code() const {
    return Sense{static_cast<std::uint8_t>(sense[2] & 0x0F), sense[12], sense[13]};
  }
};

// What one initiator (one process, one library instance) has already been
// told: the unit attention and the media event it saw last.
struct Initiator {
  std::uint64_t seen_attention = 0;
  std::uint64_t seen_media_event = 0;
};

// The identity of the recorder.
inline constexpr const char* kVendor = "TIDEMARK";
inline constexpr const char* kProduct = "VIRTUAL RECORDER";
inline constexpr const char* kRevision = "1.0";

struct DriveOptions {
  // Recording speed cap, x times 10 of the medium's 1x; 0 = no speed
  // emulation: every operation completes at once.
  std::uint32_t speed_x10 = 0;
};

Response Execute(DriveState& state, SectorStore& store, Initiator& initiator, std::int64_t now,
                 const DriveOptions& options, const Request& request);

// The sense bytes the recorder would report for `s` (fixed format).
std::array<std::uint8_t, kSenseLength> BuildSense(Sense s, bool info_valid = false,
                                                  std::uint32_t info = 0, int progress = -1);

}  // namespace vrec
