// The stored form of a recorder's state: a version number followed by every
// field in a fixed order, big-endian, with counted lists. The decoder checks
// each enumeration, count and length against what the recorder can hold.

#include <algorithm>

#include "vrec/drive_state.h"
#include "vrec/mmc.h"

namespace vrec {
namespace {

constexpr std::uint32_t kStateMagic = 0x544D5653;  // "TMVS"
constexpr std::uint16_t kStateVersion = 1;
constexpr std::size_t kMaxImageName = 4096;

void EncodeTrack(Writer& w, const Track& t) {
  w.u16(t.session);
  w.i32(t.start);
  w.u32(t.size);
  w.u32(t.written);
  w.u32(t.run_out);
  w.u8(static_cast<std::uint8_t>(t.state));
  w.u8(t.write_type);
  w.boolean(t.damaged);
  w.boolean(t.packet);
  w.boolean(t.test);
}

bool DecodeTrack(Cursor& c, Track* t) {
  t->session = c.u16();
  t->start = c.i32();
  t->size = c.u32();
  t->written = c.u32();
  t->run_out = c.u32();
  std::uint8_t state = c.u8();
  t->write_type = c.u8();
  t->damaged = c.boolean();
  t->packet = c.boolean();
  t->test = c.boolean();
  if (state > static_cast<std::uint8_t>(TrackState::kComplete) || t->write_type > 3) return false;
  t->state = static_cast<TrackState>(state);
  return c.ok();
}

void EncodeDisc(Writer& w, const Disc& d) {
  w.u8(static_cast<std::uint8_t>(d.medium));
  w.u32(d.capacity);
  w.boolean(d.finalized);
  w.i32(d.next_session_start);
  w.boolean(d.formatted);
  w.u32(d.formatted_blocks);
  w.u8(d.bg_format);
  w.boolean(d.restricted_overwrite);
  w.boolean(d.intermediate);
  w.boolean(d.dao_only);
  w.u16(static_cast<std::uint16_t>(d.sessions.size()));
  for (const Session& s : d.sessions) w.boolean(s.closed);
  w.u16(static_cast<std::uint16_t>(d.tracks.size()));
  for (const Track& t : d.tracks) EncodeTrack(w, t);
  w.boolean(d.cue.active);
  w.i32(d.cue.next);
  w.i32(d.cue.lead_out);
  w.u16(static_cast<std::uint16_t>(d.cue.track_starts.size()));
  for (std::int32_t s : d.cue.track_starts) w.i32(s);
}

// Blocks are addressed from the CD lead-in (negative) to a little beyond the
// largest medium; anything outside is not a state this recorder wrote.
// The bound leaves room for the gap arithmetic of the disc model.
constexpr std::int64_t kMaxBlock = std::int64_t{1} << 30;
bool PlausibleBlock(std::int64_t lba) {
  return lba >= -500000 && lba <= kMaxBlock;
}

bool DecodeDisc(Cursor& c, Disc* d, std::string* error) {
  std::uint8_t medium = c.u8();
  if (medium >= kMediumCount) {
    *error = "unknown medium";
    return false;
  }
  d->medium = static_cast<Medium>(medium);
  d->capacity = c.u32();
  d->finalized = c.boolean();
  d->next_session_start = c.i32();
  d->formatted = c.boolean();
  d->formatted_blocks = c.u32();
  d->bg_format = c.u8();
  d->restricted_overwrite = c.boolean();
  d->intermediate = c.boolean();
  d->dao_only = c.boolean();
  std::uint16_t sessions = c.u16();
  if (sessions > kMaxTracks) {
    *error = "too many sessions";
    return false;
  }
  d->sessions.resize(sessions);
  for (Session& s : d->sessions) s.closed = c.boolean();
  std::uint16_t tracks = c.u16();
  if (tracks > kMaxTracks) {
    *error = "too many tracks";
    return false;
  }
  d->tracks.resize(tracks);
  for (Track& t : d->tracks) {
    if (!DecodeTrack(c, &t) || t.session == 0 || t.session > sessions || !PlausibleBlock(t.start) ||
        t.run_out > t.size ||
        !PlausibleBlock(std::int64_t{t.start} + std::max(t.size, t.written))) {
      *error = "bad track record";
      return false;
    }
  }
  d->cue.active = c.boolean();
  d->cue.next = c.i32();
  d->cue.lead_out = c.i32();
  std::uint16_t cue_tracks = c.u16();
  if (cue_tracks > 99) {
    *error = "bad cue sheet";
    return false;
  }
  d->cue.track_starts.resize(cue_tracks);
  for (std::int32_t& s : d->cue.track_starts) s = c.i32();
  if (!c.ok()) return true;  // the caller reports the truncation
  if (d->bg_format > 3 || d->capacity > kMaxBlock || d->formatted_blocks > d->capacity ||
      !PlausibleBlock(d->next_session_start) || !PlausibleBlock(d->cue.next) ||
      !PlausibleBlock(d->cue.lead_out) ||
      !std::all_of(d->cue.track_starts.begin(), d->cue.track_starts.end(), PlausibleBlock)) {
    *error = "bad disc record";
    return false;
  }
  return true;
}

void EncodeFault(Writer& w, const FaultRule& f) {
  w.u8(f.op);
  w.boolean(f.has_range);
  w.u32(f.first);
  w.u32(f.last);
  w.u32(f.nth);
  w.u32(f.count);
  w.u8(static_cast<std::uint8_t>(f.result));
  w.u8(f.sense.key);
  w.u8(f.sense.asc);
  w.u8(f.sense.ascq);
  w.u32(f.matched);
  w.u32(f.fired);
}

bool DecodeFault(Cursor& c, FaultRule* f) {
  f->op = c.u8();
  f->has_range = c.boolean();
  f->first = c.u32();
  f->last = c.u32();
  f->nth = c.u32();
  f->count = c.u32();
  std::uint8_t result = c.u8();
  f->sense.key = c.u8();
  f->sense.asc = c.u8();
  f->sense.ascq = c.u8();
  f->matched = c.u32();
  f->fired = c.u32();
  if (result > static_cast<std::uint8_t>(FaultResult::kEject) || f->nth == 0 ||
      f->last < f->first || f->sense.key > 0x0F) {
    return false;
  }
  f->result = static_cast<FaultResult>(result);
  return c.ok();
}

}  // namespace

void DriveState::ResetWriteParameters() {
  page05.fill(0);
  page05[0] = mmc::kPageWriteParameters;
  page05[1] = kPage05Length - 2;
  page05[2] = 0x40 | mmc::kWriteTypeTao;  // BUFE, track at once
  page05[3] = 0x04;                       // data track, no multi-session
  page05[4] = 0x08;                       // mode 1, 2048 bytes
  page05[15] = 150;                       // audio pause length
}

DriveState DriveState::Fresh(Medium m, std::uint32_t capacity) {
  DriveState s;
  s.disc = Disc::Fresh(m, capacity);
  s.ResetWriteParameters();
  // A new recorder has just been powered on; processes that were using one
  // in its place (before a reset) are told so.
  s.attention = sense::kPowerOnReset;
  s.attention_gen = 1;
  return s;
}

std::string EncodeState(const DriveState& s) {
  Writer w;
  w.u32(kStateMagic);
  w.u16(kStateVersion);
  w.u32(s.emulated_speed_x10);
  w.u32(s.pregap);
  w.u32(s.buffer_size);
  EncodeDisc(w, s.disc);
  w.boolean(s.tray_open);
  w.boolean(s.prevent_removal);
  w.str(s.image_name);
  w.i64(s.ready_at);
  w.u8(static_cast<std::uint8_t>(s.busy));
  w.i64(s.busy_start);
  w.i64(s.busy_end);
  w.i64(s.bg_format_end);
  w.u64(s.buffer_bytes);
  w.i64(s.buffer_at);
  w.boolean(s.streaming);
  for (std::uint8_t b : s.page05) w.u8(b);
  w.u32(s.write_kbps);
  w.u32(s.read_kbps);
  w.u64(s.attention_gen);
  w.u8(s.attention.key);
  w.u8(s.attention.asc);
  w.u8(s.attention.ascq);
  w.u64(s.media_event_gen);
  w.u8(s.media_event);
  w.u16(static_cast<std::uint16_t>(s.faults.size()));
  for (const FaultRule& f : s.faults) EncodeFault(w, f);
  return w.data();
}

bool DecodeState(ConstBytes bytes, DriveState* out, std::string* error) {
  Cursor c(bytes);
  DriveState s;
  if (c.u32() != kStateMagic) {
    *error = "not a recorder state";
    return false;
  }
  std::uint16_t version = c.u16();
  if (c.ok() && version != kStateVersion) {
    *error = "state version " + std::to_string(version) + " is not supported";
    return false;
  }
  s.emulated_speed_x10 = c.u32();
  s.pregap = c.u32();
  s.buffer_size = c.u32();
  if (!DecodeDisc(c, &s.disc, error)) return false;
  s.tray_open = c.boolean();
  s.prevent_removal = c.boolean();
  s.image_name = c.str(kMaxImageName);
  s.ready_at = c.i64();
  std::uint8_t busy = c.u8();
  s.busy_start = c.i64();
  s.busy_end = c.i64();
  s.bg_format_end = c.i64();
  s.buffer_bytes = c.u64();
  s.buffer_at = c.i64();
  s.streaming = c.boolean();
  for (std::uint8_t& b : s.page05) b = c.u8();
  s.write_kbps = c.u32();
  s.read_kbps = c.u32();
  s.attention_gen = c.u64();
  s.attention.key = c.u8();
  s.attention.asc = c.u8();
  s.attention.ascq = c.u8();
  s.media_event_gen = c.u64();
  s.media_event = c.u8();
  std::uint16_t faults = c.u16();
  if (faults > kMaxFaultRules) {
    *error = "too many fault rules";
    return false;
  }
  s.faults.resize(faults);
  for (FaultRule& f : s.faults) {
    if (!DecodeFault(c, &f)) {
      *error = "bad fault rule record";
      return false;
    }
  }
  if (!c.ok()) {
    *error = "state is truncated at byte " + std::to_string(c.error_offset());
    return false;
  }
  if (!c.at_end()) {
    *error = "unexpected bytes after the state";
    return false;
  }
  if (busy > static_cast<std::uint8_t>(BusyKind::kSync) || s.pregap > 100000 ||
      s.buffer_size < 65536 || s.buffer_size > (256u << 20) || s.buffer_bytes > s.buffer_size ||
      s.emulated_speed_x10 > 10000 || s.page05[0] != mmc::kPageWriteParameters ||
      s.page05[1] != kPage05Length - 2) {
    *error = "bad drive settings";
    return false;
  }
  s.busy = static_cast<BusyKind>(busy);
  *out = std::move(s);
  return true;
}

}  // namespace vrec
