#include "jobs/outcome.h"

#include <cstdio>

#include "device/command_names.h"
#include "device/device_texts.h"

namespace jobs {
namespace {

// READ DISC INFORMATION: byte 2 holds the disc status (bits 0-1) and the
// state of the last session (bits 2-3); the first and last track of the
// last session are bytes 5/10 and 6/11 (low and high byte).
constexpr size_t kDiscStatusByte = 2;
constexpr size_t kFirstTrackLow = 5;
constexpr size_t kLastTrackLow = 6;
constexpr size_t kFirstTrackHigh = 10;
constexpr size_t kLastTrackHigh = 11;
constexpr uint8_t kStatusEmpty = 0;
constexpr uint8_t kStatusIncomplete = 1;
constexpr uint8_t kStatusComplete = 2;
constexpr uint8_t kSessionEmpty = 0;
constexpr uint8_t kSessionIncomplete = 1;
constexpr uint8_t kSessionReserved = 2;
// READ TRACK INFORMATION byte 6: reserved track, blank; byte 7: NWA valid.
constexpr uint8_t kTrackReserved = 0x80;
constexpr uint8_t kTrackBlank = 0x40;
constexpr uint8_t kNextWritableValid = 0x01;
constexpr int32_t kReadyTimeoutMs = 5000;
// Commands whose bytes 2-5 hold the block they address.
bool AddressesBlock(uint8_t Opcode) {
  switch (Opcode) {
    case 0x28:  // READ (10)
    case 0x2A:  // WRITE (10)
    case 0x2E:  // WRITE AND VERIFY (10)
    case 0x2F:  // VERIFY (10)
    case 0xA8:  // READ (12)
    case 0xAA:  // WRITE (12)
    case 0xBE:  // READ CD
      return true;
    default:
      return false;
  }
}

FailedCommand DescribeCommand(const TJobFailure& F) {
  FailedCommand c;
  c.Opcode = F.Cdb[0];
  c.Name = CommandNames()[c.Opcode];
  while (!c.Name.empty() && c.Name.back() == ' ') c.Name.pop_back();
  if (AddressesBlock(c.Opcode))
    c.Sector =
        int64_t{F.Cdb[2]} << 24 | int64_t{F.Cdb[3]} << 16 | int64_t{F.Cdb[4]} << 8 | F.Cdb[5];
  c.SenseKey = F.Sense[2] & 0x0F;
  c.Asc = F.Sense[12];
  c.Ascq = F.Sense[13];
  c.SenseText = F.CommandError;
  return c;
}

// The tracks of the last session, last first: an unfinished or reserved
// one tells more than the session's state alone.
DiscState LastSessionState(TzqCDBurner& Burner, uint8_t SessionState) {
  const auto& info = Burner.DiscInfo;
  const int first = info[kFirstTrackHigh] << 8 | info[kFirstTrackLow];
  const int last = info[kLastTrackHigh] << 8 | info[kLastTrackLow];
  for (int t = last; t >= first && t > 0 && last - t < 4; --t) {
    if (!Burner.ReadTrackInformation(static_cast<uint32_t>(t))) break;
    const TTrackInfo& track = Burner.TrackInfo;
    const bool blank = (track.DataMode & kTrackBlank) != 0;
    if ((track.DataMode & kTrackReserved) != 0 && blank) return DiscState::ReservedTrack;
    if (!blank && (track.Flags & kNextWritableValid) != 0) return DiscState::IncompleteTrack;
  }
  if (SessionState == kSessionReserved) return DiscState::ReservedTrack;
  return SessionState == kSessionIncomplete ? DiscState::IncompleteSession : DiscState::Appendable;
}

DiscState ReadDiscState(TzqCDBurner& Burner) {
  // A drive that has just finished (or failed) may first report that.
  if (!Burner.TestUnitReady(kReadyTimeoutMs)) Burner.TestUnitReady(kReadyTimeoutMs);
  if (!Burner.ReadDiscInfo()) return DiscState::Unknown;
  const uint8_t status = Burner.DiscInfo[kDiscStatusByte] & 0x03;
  const uint8_t session = (Burner.DiscInfo[kDiscStatusByte] >> 2) & 0x03;
  if (status == kStatusEmpty) return DiscState::Blank;
  if (status == kStatusComplete) return DiscState::Closed;
  if (status != kStatusIncomplete) return DiscState::Appendable;  // overwritable media
  if (session == kSessionEmpty) {
    // Closed sessions and an empty one after them; an unfinished track
    // can still sit there.
    const DiscState s = LastSessionState(Burner, session);
    return s == DiscState::IncompleteSession ? DiscState::Appendable : s;
  }
  return LastSessionState(Burner, session);
}

std::string HintFor(DiscState State) {
  switch (State) {
    case DiscState::Blank:
      return "nothing was recorded: the disc can be used again";
    case DiscState::Appendable:
      return "the disc can take another session; check what the last one holds before relying "
             "on it";
    case DiscState::IncompleteTrack:
      return "the disc holds an unfinished track: it cannot take another session until that "
             "track is closed (a rewritable disc can be erased)";
    case DiscState::IncompleteSession:
      return "the disc holds a session that was not closed: close it before burning another "
             "(a rewritable disc can be erased)";
    case DiscState::ReservedTrack:
      return "the disc holds a reserved track that was not written: it cannot take another "
             "session (a rewritable disc can be erased)";
    case DiscState::Closed:
      return "the disc is closed: no further session can be added";
    case DiscState::Unknown:
      break;
  }
  return "the disc's state could not be read: check the disc before using it again";
}

}  // namespace

Refusal Refuse(Category Kind, std::string Code, std::string Message) {
  Refusal r;
  r.Kind = Kind;
  r.Code = std::move(Code);
  r.Message = std::move(Message);
  return r;
}

const char* PhaseName(TJobPhase Phase) {
  switch (Phase) {
    case TJobPhase::Preparing:
      return "preparing";
    case TJobPhase::Writing:
      return "writing";
    case TJobPhase::Synchronizing:
      return "synchronizing";
    case TJobPhase::ClosingTrack:
      return "closing-track";
    case TJobPhase::ClosingSession:
      return "closing-session";
    case TJobPhase::Finalizing:
      return "finalizing";
    case TJobPhase::Verifying:
      return "verifying";
    case TJobPhase::Erasing:
      return "erasing";
    case TJobPhase::Formatting:
      return "formatting";
    case TJobPhase::Reading:
      return "reading";
  }
  return "preparing";
}

const char* DiscStateName(DiscState State) {
  switch (State) {
    case DiscState::Blank:
      return "blank";
    case DiscState::Appendable:
      return "appendable";
    case DiscState::IncompleteTrack:
      return "incomplete-track";
    case DiscState::IncompleteSession:
      return "incomplete-session";
    case DiscState::ReservedTrack:
      return "reserved-track";
    case DiscState::Closed:
      return "closed";
    case DiscState::Unknown:
      break;
  }
  return "unknown";
}

Outcome Succeeded() {
  return Outcome{};
}

Outcome Failed(std::string Message) {
  Outcome o;
  o.Kind = Result::Failure;
  o.Message = std::move(Message);
  return o;
}

Outcome WriteOutcome(TzqCDBurner& Burner, const std::string& Error, bool OnDisc) {
  if (Error.empty()) return Succeeded();
  Outcome o = Failed(Error);
  if (Error == texts::kAborted) o.Kind = Result::Aborted;
  const TJobFailure& f = Burner.JobFailure;
  FailureReport r;
  r.Phase = f.Recorded ? f.Phase : Burner.JobPhase.load();
  if (f.FromCommand) r.Command = DescribeCommand(f);
  if (OnDisc) {
    r.SectorsWritten = f.Recorded ? f.SectorsWritten : Burner.BytesWritten.load() / kSectorSize;
    r.Disc = ReadDiscState(Burner);
    r.Hint = HintFor(*r.Disc);
  } else {
    r.Hint = "no image was saved; a file it was to replace is unchanged";
  }
  o.Failure = std::move(r);
  return o;
}

std::vector<std::string> FailureLines(const FailureReport& Report) {
  std::vector<std::string> lines;
  lines.push_back(std::string("phase: ") + PhaseName(Report.Phase));
  if (Report.Command) {
    const FailedCommand& c = *Report.Command;
    char sense[24];
    std::snprintf(sense, sizeof sense, "%02X/%02X/%02X", c.SenseKey, c.Asc, c.Ascq);
    std::string line = "command: " + c.Name;
    if (c.Sector) line += " at sector " + std::to_string(*c.Sector);
    line += " failed with " + std::string(sense);
    if (!c.SenseText.empty()) line += " (" + c.SenseText + ")";
    lines.push_back(line);
  }
  if (Report.SectorsWritten)
    lines.push_back("sectors written: " + std::to_string(*Report.SectorsWritten));
  if (Report.Disc) lines.push_back(std::string("disc left: ") + DiscStateName(*Report.Disc));
  if (!Report.Hint.empty()) lines.push_back("hint: " + Report.Hint);
  return lines;
}

}  // namespace jobs
