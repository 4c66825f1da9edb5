#include "vrec/disc.h"

#include <algorithm>

#include "vrec/mmc.h"

namespace vrec {

Recording Disc::recording() const {
  if (medium == Medium::kDvdRw && restricted_overwrite) return Recording::kOverwritable;
  return traits().recording;
}

std::uint16_t Disc::Profile() const {
  if (medium == Medium::kDvdRw && restricted_overwrite) return mmc::kProfileDvdRwRestricted;
  return traits().profile;
}

bool Disc::Blank() const {
  switch (recording()) {
    case Recording::kReadOnly:
      return false;
    case Recording::kSequential:
      return tracks.empty() && !finalized;
    case Recording::kOverwritable:
      return medium == Medium::kDvdPlusRw && !formatted;
  }
  return false;
}

std::uint8_t Disc::DiscStatus() const {
  switch (recording()) {
    case Recording::kReadOnly:
      return 2;
    case Recording::kOverwritable:
      if (medium == Medium::kDvdRam) return 3;
      return Blank() ? 0 : 2;
    case Recording::kSequential:
      if (Blank()) return 0;
      return finalized ? 2 : 1;
  }
  return 3;
}

std::uint8_t Disc::LastSessionState() const {
  if (recording() != Recording::kSequential) return Blank() ? 0 : 3;
  if (Blank()) return 0;
  if (finalized) return 3;
  if (!sessions.empty() && !sessions.back().closed) {
    for (const Track& t : tracks) {
      if (t.session == sessions.size() && t.damaged) return 2;
    }
    return 1;
  }
  return 0;  // the empty session after the closed ones
}

bool Disc::CanAppend() const {
  return recording() == Recording::kSequential && !finalized &&
         next_session_start < static_cast<std::int32_t>(capacity);
}

std::uint16_t Disc::SessionCount() const {
  if (recording() != Recording::kSequential) return 1;
  if (Blank()) return 1;
  auto n = static_cast<std::uint16_t>(sessions.size());
  if (finalized || !sessions.back().closed) return n;
  return static_cast<std::uint16_t>(n + 1);
}

std::uint16_t Disc::TrackCount() const {
  if (recording() != Recording::kSequential) return 1;
  auto n = static_cast<std::uint16_t>(tracks.size());
  if (finalized) return n;
  bool open_track = std::any_of(tracks.begin(), tracks.end(),
                                [](const Track& t) { return t.state == TrackState::kOpen; });
  return open_track ? n : static_cast<std::uint16_t>(n + 1);
}

std::uint16_t Disc::FirstTrackOfLastSession() const {
  if (recording() != Recording::kSequential || tracks.empty()) return 1;
  if (finalized || !sessions.back().closed) {
    auto last = static_cast<std::uint16_t>(sessions.size());
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      if (tracks[i].session == last) return static_cast<std::uint16_t>(i + 1);
    }
  }
  return static_cast<std::uint16_t>(tracks.size() + 1);
}

std::optional<std::int32_t> Disc::InvisibleTrackStart(std::uint32_t pregap) const {
  if (!CanAppend()) return std::nullopt;
  for (const Track& t : tracks) {
    if (t.state == TrackState::kOpen) return std::nullopt;
  }
  std::int32_t start = next_session_start;
  if (!tracks.empty() && !sessions.back().closed) {
    std::int32_t end = 0;
    for (const Track& t : tracks) end = std::max(end, t.End());
    start = cd() ? end + static_cast<std::int32_t>(pregap) : end;
  }
  if (start >= static_cast<std::int32_t>(capacity)) return std::nullopt;
  return start;
}

int Disc::TrackAcceptingWriteAt(std::int32_t lba) const {
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const Track& t = tracks[i];
    if (!t.Incomplete() || t.NextWritable() != lba) continue;
    if (t.state == TrackState::kReserved && t.written >= t.size) continue;
    return static_cast<int>(i);
  }
  return -1;
}

int Disc::TrackHolding(std::int32_t lba) const {
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const Track& t = tracks[i];
    std::int32_t end = t.start + static_cast<std::int32_t>(std::max(t.Extent(), t.written));
    if (lba >= t.start && lba < end) return static_cast<int>(i);
  }
  return -1;
}

Sense Disc::ReadableBlock(std::int32_t lba) const {
  if (lba < 0) return sense::kLbaOutOfRange;
  switch (recording()) {
    case Recording::kReadOnly:
      return lba < static_cast<std::int32_t>(capacity) ? sense::kNoSense : sense::kLbaOutOfRange;
    case Recording::kOverwritable:
      if (!formatted) return sense::kLbaOutOfRange;
      return lba < static_cast<std::int32_t>(formatted_blocks) ? sense::kNoSense
                                                               : sense::kLbaOutOfRange;
    case Recording::kSequential:
      break;
  }
  int i = TrackHolding(lba);
  if (i < 0) return sense::kLbaOutOfRange;
  const Track& t = tracks[static_cast<std::size_t>(i)];
  if (t.test) return sense::kLbaOutOfRange;
  if (t.state == TrackState::kComplete) {
    if (lba >= t.End() - static_cast<std::int32_t>(t.run_out)) return sense::kLecUncorrectable;
    return sense::kNoSense;
  }
  return lba < t.NextWritable() ? sense::kNoSense : sense::kLbaOutOfRange;
}

std::int64_t Disc::LastRecordedBlock() const {
  switch (recording()) {
    case Recording::kReadOnly:
      return static_cast<std::int64_t>(capacity) - 1;
    case Recording::kOverwritable:
      return formatted ? static_cast<std::int64_t>(formatted_blocks) - 1 : -1;
    case Recording::kSequential:
      break;
  }
  std::int64_t last = -1;
  for (const Track& t : tracks) {
    if (t.state == TrackState::kComplete && !t.test)
      last = std::max<std::int64_t>(last, t.End() - 1);
  }
  return last;
}

std::int32_t Disc::SessionStart(std::uint16_t session) const {
  for (const Track& t : tracks) {
    if (t.session == session) return t.start;
  }
  return 0;
}

std::int32_t Disc::SessionEnd(std::uint16_t session) const {
  std::int32_t end = 0;
  for (const Track& t : tracks) {
    if (t.session == session) end = std::max(end, t.End());
  }
  return end;
}

Track& Disc::OpenNewTrack(std::int32_t start, std::uint8_t write_type, bool test) {
  if (sessions.empty() || sessions.back().closed) sessions.push_back(Session{});
  Track t;
  t.session = static_cast<std::uint16_t>(sessions.size());
  t.start = start;
  t.write_type = write_type;
  t.test = test;
  tracks.push_back(t);
  return tracks.back();
}

void Disc::CloseTrack(Track& t) {
  if (t.state == TrackState::kOpen) {
    t.size = t.written;
    // A CD track written track-at-once ends in run-out blocks the drive
    // appends; they count in its size and cannot be read.
    if (cd() && t.write_type == 1 && t.written > 0) {
      t.run_out = kCdTaoRunOut;
      t.size += kCdTaoRunOut;
    }
  }
  t.state = TrackState::kComplete;
}

void Disc::CloseSession(bool finalize) {
  for (Track& t : tracks) {
    if (t.Incomplete()) CloseTrack(t);
  }
  if (sessions.empty() || sessions.back().closed) {
    if (finalize && !tracks.empty()) finalized = true;
    return;
  }
  sessions.back().closed = true;
  auto number = static_cast<std::uint16_t>(sessions.size());
  std::int32_t end = SessionEnd(number);
  std::int32_t gap = 0;
  if (cd()) {
    gap = number == 1 ? kCdFirstSessionGap : kCdLaterSessionGap;
  } else if (medium == Medium::kDvdPlusR) {
    gap = kDvdPlusSessionGap;
    if (sessions.size() >= kMaxDvdPlusRSessions) finalize = true;
  } else {
    gap = number == 1 ? kDvdMinusFirstBorder : kDvdMinusLaterBorder;
  }
  next_session_start = end + gap;
  if (tracks.size() >= kMaxTracks) finalize = true;
  finalized = finalize || next_session_start >= static_cast<std::int32_t>(capacity);
}

void Disc::MakeBlank() {
  tracks.clear();
  sessions.clear();
  finalized = false;
  next_session_start = 0;
  cue = CueLayout{};
  restricted_overwrite = false;
  intermediate = false;
  dao_only = false;
  bg_format = 0;
  if (medium == Medium::kDvdRam) {
    formatted = true;
    formatted_blocks = capacity;
  } else {
    formatted = false;
    formatted_blocks = 0;
  }
}

Disc Disc::Fresh(Medium m, std::uint32_t capacity) {
  Disc d;
  d.medium = m;
  d.capacity = capacity != 0 ? capacity : Traits(m).capacity;
  d.MakeBlank();
  if (Traits(m).recording == Recording::kReadOnly && m != Medium::kNone) {
    d.sessions.push_back(Session{true});
    Track t;
    t.size = d.capacity;
    t.written = d.capacity;
    t.state = TrackState::kComplete;
    t.write_type = 2;
    d.tracks.push_back(t);
    d.finalized = true;
  }
  return d;
}

}  // namespace vrec
