#pragma once
// The disc in the recorder: sessions and tracks on sequential media, the
// formatted area on overwritable media, and the rules that decide where the
// next block may be written and which blocks can be read back.

#include <cstdint>
#include <optional>
#include <vector>

#include "vrec/medium.h"
#include "vrec/sense.h"

namespace vrec {

// Layout of CD sessions: a closed session is followed by its lead-out
// (6,750 blocks after the first session, 2,250 after later ones), the next
// session's lead-in (4,500) and the first track's pregap (150).
inline constexpr std::int32_t kCdFirstSessionGap = 6750 + 4500 + 150;  // 11,400
inline constexpr std::int32_t kCdLaterSessionGap = 2250 + 4500 + 150;  // 6,900
inline constexpr std::uint32_t kCdTaoRunOut = 2;        // unreadable blocks ending a TAO track
inline constexpr std::uint32_t kCdDefaultPregap = 150;  // between tracks of one session
inline constexpr std::int32_t kCdLeadInStart = -11077;  // ATIP lead-in start (97:34:23)
// Border zones that close a DVD-R/-RW session, and the closure of a DVD+R
// session, before the next session's first block.
inline constexpr std::int32_t kDvdMinusFirstBorder = 16384;
inline constexpr std::int32_t kDvdMinusLaterBorder = 4096;
inline constexpr std::int32_t kDvdPlusSessionGap = 2048;
inline constexpr std::size_t kMaxTracks = 500;
inline constexpr std::size_t kMaxDvdPlusRSessions = 153;
inline constexpr std::uint32_t kDvdMinusDaoRounding = 16;  // DAO reservations, blocks

enum class TrackState : std::uint8_t {
  kOpen,      // being written, no fixed size yet
  kReserved,  // size fixed by RESERVE TRACK or a cue sheet, not yet full
  kComplete,  // closed
};

struct Track {
  std::uint16_t session = 1;
  std::int32_t start = 0;     // first block (index 1)
  std::uint32_t size = 0;     // fixed size in blocks (reserved or closed), run-out included
  std::uint32_t written = 0;  // blocks recorded from `start`
  std::uint32_t run_out = 0;  // unreadable blocks at the end of a closed TAO track
  TrackState state = TrackState::kOpen;
  std::uint8_t write_type = 1;  // page 05h write type it was opened with
  bool damaged = false;         // a write failed or the buffer ran dry
  bool packet = false;          // written as fixed packets (DVD-R incremental)
  bool test = false;            // test write: nothing is recorded

  std::int32_t NextWritable() const { return start + static_cast<std::int32_t>(written); }
  // Blocks the track occupies on the disc.
  std::uint32_t Extent() const { return state == TrackState::kOpen ? written : size; }
  std::int32_t End() const { return start + static_cast<std::int32_t>(Extent()); }
  bool Incomplete() const { return state != TrackState::kComplete; }
};

struct Session {
  bool closed = false;
};

// One pending CD SAO layout from a cue sheet: the tracks of the session
// (index 1 addresses) and the lead-out address; blocks are taken in order
// from `next`, the first pregap included.
struct CueLayout {
  bool active = false;
  std::int32_t next = 0;
  std::int32_t lead_out = 0;
  std::vector<std::int32_t> track_starts;
};

struct Disc {
  Medium medium = Medium::kNone;
  std::uint32_t capacity = 0;  // last possible lead-out start, or the ROM image size
  std::vector<Track> tracks;
  std::vector<Session> sessions;
  bool finalized = false;
  std::int32_t next_session_start = 0;  // first block of the next session's first track

  // Overwritable media and DVD-RW in restricted overwrite.
  bool formatted = false;
  std::uint32_t formatted_blocks = 0;
  std::uint8_t bg_format = 0;  // disc information byte 7: 0 none, 1 stopped, 2 running, 3 done
  bool restricted_overwrite = false;  // DVD-RW in profile 13h
  bool intermediate = false;          // DVD-RW quick-formatted, until a session close
  bool dao_only = false;              // DVD-RW after a minimal blank: no incremental writing
  CueLayout cue;

  const MediumTraits& traits() const { return Traits(medium); }
  bool present() const { return medium != Medium::kNone; }
  bool cd() const { return traits().cd; }
  Recording recording() const;
  std::uint16_t Profile() const;

  // Disc information fields.
  bool Blank() const;
  std::uint8_t DiscStatus() const;        // 0 blank, 1 appendable, 2 complete, 3 other
  std::uint8_t LastSessionState() const;  // 0 empty, 1 incomplete, 2 reserved/damaged, 3 complete
  // Sessions counted as the disc information does: the open or empty
  // session is counted, as is its invisible track.
  std::uint16_t SessionCount() const;
  std::uint16_t TrackCount() const;  // the same for tracks
  std::uint16_t FirstTrackOfLastSession() const;
  bool CanAppend() const;  // a new track or session may still be started

  // Where a new track would begin, when one may.
  std::optional<std::int32_t> InvisibleTrackStart(std::uint32_t pregap) const;
  // The incomplete track that takes a write at `lba`, or -1.
  int TrackAcceptingWriteAt(std::int32_t lba) const;
  // The track holding `lba`, or -1 (closed and open tracks, reserved areas).
  int TrackHolding(std::int32_t lba) const;
  // Readable? kNoSense when the block can be read back, else why not.
  Sense ReadableBlock(std::int32_t lba) const;
  // READ CAPACITY's last block, or -1 when nothing is recorded.
  std::int64_t LastRecordedBlock() const;
  std::int32_t SessionStart(std::uint16_t session) const;  // first track start
  std::int32_t SessionEnd(std::uint16_t session) const;    // lead-out start

  // Mutations used by the recording commands.
  Track& OpenNewTrack(std::int32_t start, std::uint8_t write_type, bool test);
  void CloseTrack(Track& t);
  // Closes the open session; `finalize` leaves no room for another one.
  void CloseSession(bool finalize);
  void MakeBlank();  // a freshly blanked disc of the same kind

  // A fresh disc of `m`, blank (ROM: one closed track of `capacity` blocks).
  static Disc Fresh(Medium m, std::uint32_t capacity);
};

}  // namespace vrec
