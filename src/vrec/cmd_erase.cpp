// BLANK (CD-RW, DVD-RW) and FORMAT UNIT (DVD+RW, DVD-RW, DVD-RAM).

#include <algorithm>

#include "vrec/drive_internal.h"
#include "vrec/mmc.h"

namespace vrec::detail {
namespace {

// The disc after its last session was taken away.
void DropLastSession(Disc& d) {
  auto last = static_cast<std::uint16_t>(d.sessions.size());
  d.tracks.erase(std::remove_if(d.tracks.begin(), d.tracks.end(),
                                [last](const Track& t) { return t.session == last; }),
                 d.tracks.end());
  d.sessions.pop_back();
  d.finalized = false;
  d.next_session_start = 0;
  if (!d.sessions.empty()) {
    // Recompute where the session after the remaining ones begins.
    d.sessions.back().closed = false;
    d.CloseSession(false);
  }
}

}  // namespace

void Blank(Ctx& c) {
  constexpr std::size_t kFlags = 1;
  bool immediate = (c.cdb()[kFlags] & 0x10) != 0;
  std::uint8_t type = c.cdb()[kFlags] & 0x07;
  DriveState& s = c.s;
  Disc& d = c.disc();
  if (d.medium != Medium::kCdRw && d.medium != Medium::kDvdRw) {
    c.Fail(sense::kIncompatibleMedium);
    return;
  }
  double blocks = 0;
  switch (type) {
    case mmc::kBlankFull:
      d.MakeBlank();
      if (!c.store.Discard()) {
        c.Fail(sense::kInternalTargetFailure);
        return;
      }
      blocks = d.capacity;
      break;
    case mmc::kBlankMinimal:
      // The table of contents goes; the recorded blocks stay on the disc
      // but nothing can reach them. A minimally blanked DVD-RW takes only
      // disc-at-once recording.
      d.MakeBlank();
      d.dao_only = d.medium == Medium::kDvdRw;
      blocks = d.cd() ? 9000 : 30000;
      break;
    case mmc::kBlankTrack:
      if (d.tracks.empty() || d.sessions.back().closed) {
        c.Fail(sense::kInvalidFieldInCdb);
        return;
      }
      blocks = d.tracks.back().Extent();
      d.tracks.pop_back();
      if (std::none_of(d.tracks.begin(), d.tracks.end(),
                       [&d](const Track& t) { return t.session == d.sessions.size(); })) {
        d.sessions.pop_back();
      }
      break;
    case mmc::kBlankUncloseSession:
      if (d.sessions.empty() || !d.sessions.back().closed) {
        c.Fail(sense::kInvalidFieldInCdb);
        return;
      }
      d.sessions.back().closed = false;
      d.finalized = false;
      blocks = 4500;
      break;
    case mmc::kBlankSession:
      if (d.sessions.empty()) {
        c.Fail(sense::kInvalidFieldInCdb);
        return;
      }
      blocks = d.SessionEnd(static_cast<std::uint16_t>(d.sessions.size())) -
               d.SessionStart(static_cast<std::uint16_t>(d.sessions.size()));
      DropLastSession(d);
      break;
    default:
      c.Fail(sense::kInvalidFieldInCdb);
      return;
  }
  s.streaming = false;
  s.buffer_bytes = 0;
  StartOperation(c, BusyKind::kBlank, TimeForBlocks(c, std::max(blocks, 1000.0)), immediate);
}

void FormatUnit(Ctx& c) {
  constexpr std::size_t kFlags = 1, kListLength = 4 + 8;
  constexpr std::uint8_t kFmtData = 0x10;
  constexpr std::size_t kHeaderFlags = 1, kDescriptorLength = 2, kBlocks = 4, kType = 8;
  DriveState& s = c.s;
  Disc& d = c.disc();
  std::uint8_t type = 0;
  std::uint32_t blocks = 0;
  bool immediate = false;
  if (c.cdb()[kFlags] & kFmtData) {
    if ((c.cdb()[kFlags] & 0x07) != 1) {  // format code 1: the MMC format
      c.Fail(sense::kInvalidFieldInCdb);
      return;
    }
    ConstBytes list = c.Params(kListLength);
    if (c.failed()) return;
    if (get_be16(list, kDescriptorLength) < 8) {
      c.Fail(sense::kParameterListLengthError);
      return;
    }
    immediate = (list[kHeaderFlags] & 0x02) != 0;
    blocks = get_be32(list, kBlocks);
    type = list[kType] >> 2;
  } else {
    type = d.medium == Medium::kDvdPlusRw ? mmc::kFormatDvdPlusRw : mmc::kFormatFull;
  }
  if (blocks == 0 || blocks > d.capacity) blocks = d.capacity;

  switch (d.medium) {
    case Medium::kDvdPlusRw:
      if (type != mmc::kFormatDvdPlusRw) break;
      // Formatting runs in the background; the disc takes writes at once.
      if (!d.formatted && !c.store.Discard()) {
        c.Fail(sense::kInternalTargetFailure);
        return;
      }
      d.formatted = true;
      d.formatted_blocks = d.capacity;
      d.bg_format = 2;
      s.bg_format_end = c.now + TimeForBlocks(c, d.capacity);
      return;
    case Medium::kDvdRw: {
      double duration_blocks = d.capacity;
      if (type == mmc::kFormatFull || type == mmc::kFormatDvdRwFull) {
        d.MakeBlank();
        if (!c.store.Discard()) {
          c.Fail(sense::kInternalTargetFailure);
          return;
        }
        d.intermediate = false;
      } else if (type == mmc::kFormatDvdRwQuick) {
        d.MakeBlank();
        d.intermediate = true;
        duration_blocks = 30000;
      } else if (type == mmc::kFormatDvdRwGrow && d.restricted_overwrite) {
        d.intermediate = false;
        duration_blocks = 30000;
      } else {
        break;
      }
      d.restricted_overwrite = true;
      d.formatted = true;
      d.formatted_blocks = blocks;
      s.streaming = false;
      StartOperation(c, BusyKind::kFormat, TimeForBlocks(c, duration_blocks), immediate);
      return;
    }
    case Medium::kDvdRam:
      if (type != mmc::kFormatFull && type != mmc::kFormatSpareAreaExpansion) break;
      if (!c.store.Discard()) {
        c.Fail(sense::kInternalTargetFailure);
        return;
      }
      d.formatted = true;
      d.formatted_blocks = blocks;
      // Certification reads every block back: twice the writing time.
      StartOperation(c, BusyKind::kFormat, 2 * TimeForBlocks(c, d.capacity), immediate);
      return;
    default:
      c.Fail(sense::kCannotFormat);
      return;
  }
  c.Fail(sense::kInvalidFieldInParameterList);  // a format type this medium does not take
}

}  // namespace vrec::detail
