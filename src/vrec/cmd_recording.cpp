// SYNCHRONIZE CACHE, CLOSE TRACK/SESSION, RESERVE TRACK, SEND OPC
// INFORMATION, SEND CUE SHEET and SEND DVD STRUCTURE: what turns written
// blocks into closed tracks and sessions.

#include <algorithm>

#include "vrec/drive_internal.h"
#include "vrec/mmc.h"

namespace vrec::detail {
namespace {

Track* OpenTrack(Disc& d) {
  for (Track& t : d.tracks) {
    if (t.state == TrackState::kOpen) return &t;
  }
  return nullptr;
}

Track* ReservedIncompleteTrack(Disc& d) {
  for (Track& t : d.tracks) {
    if (t.state == TrackState::kReserved) return &t;
  }
  return nullptr;
}

// The multi-session field asks for another session only as 11b.
bool FinalizeRequested(const DriveState& s) {
  return MultiSession(s) != mmc::kMultiSessionOpen;
}

// Blocks the drive writes to close a session: lead-in and lead-out on CD,
// the border zone on DVD-R/-RW, the closure on DVD+R.
double SessionClosingBlocks(const Disc& d) {
  bool first = d.sessions.size() <= 1;
  if (d.cd()) return first ? 4500 + 6750 : 4500 + 2250;
  if (d.medium == Medium::kDvdPlusR) return kDvdPlusSessionGap;
  return first ? kDvdMinusFirstBorder : kDvdMinusLaterBorder;
}

void StopStreaming(DriveState& s) {
  s.streaming = false;
  s.buffer_bytes = 0;
}

}  // namespace

void FinishTestTracks(Ctx& c) {
  Disc& d = c.disc();
  bool removed = false;
  for (std::size_t i = d.tracks.size(); i-- > 0;) {
    if (d.tracks[i].test) {
      d.tracks.erase(d.tracks.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
    }
  }
  if (!removed) return;
  // Drop sessions left without tracks (only the open one can be).
  while (!d.sessions.empty()) {
    auto number = static_cast<std::uint16_t>(d.sessions.size());
    bool used = std::any_of(d.tracks.begin(), d.tracks.end(),
                            [number](const Track& t) { return t.session == number; });
    if (used) break;
    d.sessions.pop_back();
  }
}

void SynchronizeCache(Ctx& c) {
  constexpr std::size_t kFlags = 1;
  bool immediate = (c.cdb()[kFlags] & 0x02) != 0;
  DriveState& s = c.s;
  Disc& d = c.disc();
  DrainBuffer(c);
  std::int64_t duration = TimeForBlocks(c, static_cast<double>(s.buffer_bytes) / kBlockSize);
  StopStreaming(s);
  bool page05 = UsesWriteParameters(d);
  if (d.cue.active) {
    // Session at once: the drive writes the lead-out and closes the session.
    d.cue.active = false;
    FinishTestTracks(c);
    bool recorded = std::any_of(d.tracks.begin(), d.tracks.end(), [](const Track& t) {
      return t.state == TrackState::kReserved && t.written > 0;
    });
    if (!recorded) {
      // Nothing reached the tracks: the layout is dropped, the disc unchanged.
      d.tracks.erase(
          std::remove_if(d.tracks.begin(), d.tracks.end(),
                         [](const Track& t) { return t.state == TrackState::kReserved; }),
          d.tracks.end());
      if (!d.sessions.empty() && !d.sessions.back().closed &&
          std::none_of(d.tracks.begin(), d.tracks.end(),
                       [&d](const Track& t) { return t.session == d.sessions.size(); })) {
        d.sessions.pop_back();
      }
    } else {
      duration += TimeForBlocks(c, SessionClosingBlocks(d));
      d.CloseSession(FinalizeRequested(s));
    }
  } else if (page05 && d.cd() && WriteType(s) == mmc::kWriteTypeTao) {
    // Track at once on CD: flushing the cache closes the track.
    if (Track* t = OpenTrack(d); t != nullptr && t->written > 0 && !t->test) d.CloseTrack(*t);
  } else if (page05 && !d.cd() && WriteType(s) == mmc::kWriteTypeSao) {
    // Disc at once on DVD-R/-RW: the reserved track is completed (padded
    // when the host sent less) and the disc closed with its lead-out.
    if (Track* t = ReservedIncompleteTrack(d); t != nullptr && t->written > 0 && !t->test) {
      duration += TimeForBlocks(c, SessionClosingBlocks(d));
      d.CloseSession(true);
    }
  }
  FinishTestTracks(c);
  StartOperation(c, BusyKind::kSync, duration, immediate);
}

void CloseTrackSession(Ctx& c) {
  constexpr std::size_t kFlags = 1, kFunction = 2, kTrack = 4;
  bool immediate = (c.cdb()[kFlags] & 0x01) != 0;
  std::uint8_t function = c.cdb()[kFunction] & 0x07;
  std::uint32_t number = get_be16(c.cdb(), kTrack);
  DriveState& s = c.s;
  Disc& d = c.disc();
  if (d.recording() == Recording::kReadOnly) {
    c.Fail(sense::kCommandSequenceError);
    return;
  }
  if (d.recording() == Recording::kOverwritable) {
    // DVD+RW: closing stops a background format, leaving the disc readable
    // everywhere; restricted overwrite leaves its intermediate state.
    if (d.medium == Medium::kDvdPlusRw && d.bg_format == 2 &&
        (function == mmc::kCloseStopBackgroundFormat || function == mmc::kCloseSession)) {
      d.bg_format = c.now >= s.bg_format_end ? 3 : 1;
    }
    if (d.restricted_overwrite && function == mmc::kCloseSession) d.intermediate = false;
    StartOperation(c, BusyKind::kClose, Scaled(c, 200'000), immediate);
    return;
  }
  if (d.cue.active) {
    c.Fail(sense::kCommandSequenceError);
    return;
  }
  StopStreaming(s);
  FinishTestTracks(c);
  bool simulated = UsesWriteParameters(d) && TestWriteBit(s);
  bool open_session = !d.sessions.empty() && !d.sessions.back().closed;
  switch (function) {
    case mmc::kCloseStopBackgroundFormat:
      return;
    case mmc::kCloseTrack: {
      Track* t = nullptr;
      if (number != 0 && number <= d.tracks.size()) {
        t = &d.tracks[number - 1];
      } else {
        t = OpenTrack(d);
        if (t == nullptr) t = ReservedIncompleteTrack(d);
      }
      if (t == nullptr) {
        // Closing after a test write closes nothing: nothing was recorded.
        if (!simulated && !open_session) c.Fail(sense::kCommandSequenceError);
        return;
      }
      if (t->Incomplete()) d.CloseTrack(*t);
      StartOperation(c, BusyKind::kClose, Scaled(c, 200'000), immediate);
      return;
    }
    case mmc::kCloseSession:
    case mmc::kCloseFinalizeDvdPlusRCompatible:
    case mmc::kCloseFinalizeDvdPlusR: {
      bool plus_r = d.medium == Medium::kDvdPlusR;
      if (function != mmc::kCloseSession && !plus_r) {
        c.Fail(sense::kInvalidFieldInCdb);
        return;
      }
      if (!open_session) {
        if (plus_r && function != mmc::kCloseSession && !d.tracks.empty() && !d.finalized) {
          d.finalized = true;  // finalizing closed sessions
          StartOperation(c, BusyKind::kClose, TimeForBlocks(c, 4096), immediate);
          return;
        }
        if (!simulated) c.Fail(sense::kCommandSequenceError);
        return;
      }
      double blocks = SessionClosingBlocks(d);
      bool finalize = plus_r ? function != mmc::kCloseSession : FinalizeRequested(s);
      d.CloseSession(finalize);
      StartOperation(c, BusyKind::kClose, TimeForBlocks(c, blocks), immediate);
      return;
    }
    default:
      c.Fail(sense::kInvalidFieldInCdb);
      return;
  }
}

void ReserveTrack(Ctx& c) {
  constexpr std::size_t kByAddress = 1, kSize = 5;
  DriveState& s = c.s;
  Disc& d = c.disc();
  if (d.recording() != Recording::kSequential) {
    c.Fail(sense::kIncompatibleMedium);
    return;
  }
  if (c.cdb()[kByAddress] & 0x01) {  // reservations by address are not offered
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  std::uint32_t size = get_be32(c.cdb(), kSize);
  if (size == 0) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  bool page05 = UsesWriteParameters(d);
  bool dao = page05 && !d.cd() && WriteType(s) == mmc::kWriteTypeSao;
  if (dao) {
    if (!d.Blank()) {  // disc at once: one track on a blank disc
      c.Fail(sense::kCommandSequenceError);
      return;
    }
    size = (size + kDvdMinusDaoRounding - 1) / kDvdMinusDaoRounding * kDvdMinusDaoRounding;
  }
  if (d.tracks.size() >= kMaxTracks) {
    c.Fail(sense::kNoMoreTrackReservations);
    return;
  }
  std::optional<std::int32_t> start = d.InvisibleTrackStart(s.pregap);
  if (!start) {
    c.Fail(sense::kCommandSequenceError);
    return;
  }
  if (std::uint64_t{static_cast<std::uint32_t>(*start)} + size > d.capacity) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  Track& t =
      d.OpenNewTrack(*start, page05 ? WriteType(s) : mmc::kWriteTypeTao, page05 && TestWriteBit(s));
  t.state = TrackState::kReserved;
  t.size = size;
}

void SendOpcInformation(Ctx& c) {
  if (c.disc().recording() == Recording::kReadOnly) {
    c.Fail(sense::kIncompatibleMedium);
    return;
  }
  c.Take(Scaled(c, 500'000));
}

void SendCueSheet(Ctx& c) {
  constexpr std::size_t kLength = 6, kEntry = 8;
  constexpr std::uint8_t kLeadIn = 0x00, kLeadOut = 0xAA;
  DriveState& s = c.s;
  Disc& d = c.disc();
  if (!d.cd() || !UsesWriteParameters(d) || WriteType(s) != mmc::kWriteTypeSao) {
    c.Fail(sense::kCommandSequenceError);
    return;
  }
  std::size_t length = get_be24(c.cdb(), kLength);
  if (length == 0 || length % kEntry != 0) {
    c.Fail(sense::kParameterListLengthError);
    return;
  }
  ConstBytes list = c.Params(length);
  if (c.failed()) return;
  std::optional<std::int32_t> session_start = d.InvisibleTrackStart(s.pregap);
  if (!session_start || (!d.sessions.empty() && !d.sessions.back().closed)) {
    c.Fail(sense::kCommandSequenceError);
    return;
  }
  CueLayout cue;
  bool have_pregap = false, have_lead_out = false;
  std::uint8_t last_track = 0;
  for (std::size_t at = 0; at < length; at += kEntry) {
    ConstBytes e = list.subspan(at, kEntry);
    std::uint8_t adr = e[0] & 0x0F, tno = e[1], index = e[2], form = e[3];
    if (adr != 1) continue;                                // catalogue number and ISRC entries
    std::int32_t lba = mmc::MsfToLba({e[5], e[6], e[7]});  // absolute disc time
    if (tno == kLeadIn) continue;
    bool data = (e[0] & 0x40) != 0;
    if (tno == kLeadOut) {
      cue.lead_out = lba;
      have_lead_out = true;
      continue;
    }
    if (tno > 99 || tno < last_track || !data || (form & 0x0F) > 1) {
      c.Fail(sense::kInvalidFieldInParameterList);  // data tracks in ascending order only
      return;
    }
    last_track = tno;
    if (index == 0 && !have_pregap) {
      cue.next = lba;
      have_pregap = true;
    } else if (index == 1) {
      if (!cue.track_starts.empty() && lba <= cue.track_starts.back()) {
        c.Fail(sense::kInvalidFieldInParameterList);
        return;
      }
      cue.track_starts.push_back(lba);
    }
  }
  if (!have_lead_out || cue.track_starts.empty() || cue.lead_out <= cue.track_starts.back() ||
      cue.track_starts.size() > 99 || cue.lead_out > static_cast<std::int32_t>(d.capacity) ||
      cue.track_starts.front() != *session_start) {
    c.Fail(sense::kInvalidFieldInParameterList);
    return;
  }
  if (!have_pregap) cue.next = cue.track_starts.front();
  cue.active = true;
  bool test = TestWriteBit(s);
  for (std::size_t i = 0; i < cue.track_starts.size(); ++i) {
    std::int32_t end = i + 1 < cue.track_starts.size() ? cue.track_starts[i + 1] : cue.lead_out;
    Track& t = d.OpenNewTrack(cue.track_starts[i], mmc::kWriteTypeSao, test);
    t.state = TrackState::kReserved;
    t.size = static_cast<std::uint32_t>(end - cue.track_starts[i]);
  }
  d.cue = std::move(cue);
}

void SendDvdStructure(Ctx& c) {
  constexpr std::size_t kFormat = 7, kLength = 8;
  constexpr std::uint8_t kTimeStamp = 0x0F;
  if (c.disc().cd()) {
    c.Fail(sense::kCannotWriteIncompatibleFormat);
    return;
  }
  if (c.cdb()[kFormat] != kTimeStamp) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  std::size_t length = get_be16(c.cdb(), kLength);
  if (length > 0) c.Params(length);  // the time stamp is accepted and not kept
}

}  // namespace vrec::detail
