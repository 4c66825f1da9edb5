// READ TOC/PMA/ATIP: the formatted TOC (0), session information (1), the
// full TOC (2, CD) and the ATIP (4, recordable CD). The TOC holds complete
// sessions only; DVD media get a TOC built from their tracks.

#include <algorithm>

#include "vrec/drive_internal.h"
#include "vrec/mmc.h"

namespace vrec::detail {
namespace {

constexpr std::uint8_t kFormatToc = 0, kFormatSessionInfo = 1, kFormatFullToc = 2, kFormatAtip = 4;
constexpr std::uint8_t kLeadOutTrack = 0xAA;
constexpr std::uint8_t kAdrQ = 0x10;      // ADR 1: Q sub-channel position
constexpr std::uint8_t kAdrMode5 = 0x50;  // ADR 5: multi-session pointers
constexpr std::uint8_t kControlData = 0x04;

struct TocTrack {
  std::uint8_t number;
  std::uint16_t session;
  std::int32_t start;
  std::uint8_t control;
};

struct Toc {
  std::vector<TocTrack> tracks;
  std::uint16_t sessions = 0;           // complete sessions
  std::vector<std::int32_t> lead_outs;  // per complete session
};

Toc BuildToc(const Disc& d) {
  Toc toc;
  if (d.recording() == Recording::kOverwritable) {
    if (!d.formatted) return toc;
    toc.tracks.push_back({1, 1, 0, kControlData});
    toc.sessions = 1;
    toc.lead_outs.push_back(static_cast<std::int32_t>(d.formatted_blocks));
    return toc;
  }
  for (std::size_t s = 0; s < d.sessions.size(); ++s) {
    if (!d.sessions[s].closed) break;
    auto number = static_cast<std::uint16_t>(s + 1);
    for (std::size_t i = 0; i < d.tracks.size(); ++i) {
      const Track& t = d.tracks[i];
      if (t.session != number || t.test) continue;
      toc.tracks.push_back({static_cast<std::uint8_t>(i + 1), number, t.start,
                            static_cast<std::uint8_t>(t.packet ? 0x05 : kControlData)});
    }
    toc.sessions = number;
    toc.lead_outs.push_back(d.SessionEnd(number));
  }
  return toc;
}

void PutAddress(std::vector<std::uint8_t>& r, std::size_t at, std::int32_t lba, bool msf) {
  if (msf) {
    mmc::Msf m = mmc::LbaToMsf(lba);
    r[at] = 0;
    r[at + 1] = m.m;
    r[at + 2] = m.s;
    r[at + 3] = m.f;
  } else {
    put_be32(r, at, static_cast<std::uint32_t>(lba));
  }
}

void AppendEntry(std::vector<std::uint8_t>& r, std::uint8_t control, std::uint8_t track,
                 std::int32_t lba, bool msf) {
  std::size_t at = r.size();
  r.resize(at + 8, 0);
  r[at + 1] = static_cast<std::uint8_t>(kAdrQ | control);
  r[at + 2] = track;
  PutAddress(r, at + 4, lba, msf);
}

void AppendFullEntry(std::vector<std::uint8_t>& r, std::uint16_t session, std::uint8_t adr_ctl,
                     std::uint8_t point, mmc::Msf time, mmc::Msf ptime) {
  r.insert(r.end(), {static_cast<std::uint8_t>(session), adr_ctl, 0, point, time.m, time.s, time.f,
                     0, ptime.m, ptime.s, ptime.f});
}

void FormattedToc(Ctx& c, const Toc& toc, bool msf, std::uint8_t from, std::size_t alloc) {
  std::vector<std::uint8_t> r(4, 0);
  r[2] = toc.tracks.front().number;
  r[3] = toc.tracks.back().number;
  if (from != kLeadOutTrack && from > toc.tracks.back().number) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  if (from != kLeadOutTrack) {
    for (const TocTrack& t : toc.tracks) {
      if (t.number >= from) AppendEntry(r, t.control, t.number, t.start, msf);
    }
  }
  AppendEntry(r, toc.tracks.back().control, kLeadOutTrack, toc.lead_outs.back(), msf);
  put_be16(r, 0, static_cast<std::uint32_t>(r.size() - 2));
  c.Reply(r, alloc);
}

void SessionInfo(Ctx& c, const Toc& toc, bool msf, std::size_t alloc) {
  std::vector<std::uint8_t> r(4, 0);
  r[2] = 1;
  r[3] = static_cast<std::uint8_t>(toc.sessions);
  const TocTrack* first = nullptr;
  for (const TocTrack& t : toc.tracks) {
    if (t.session == toc.sessions) {
      first = &t;
      break;
    }
  }
  AppendEntry(r, first->control, first->number, first->start, msf);
  put_be16(r, 0, static_cast<std::uint32_t>(r.size() - 2));
  c.Reply(r, alloc);
}

void FullToc(Ctx& c, const Toc& toc, std::size_t alloc) {
  const Disc& d = c.disc();
  std::vector<std::uint8_t> r(4, 0);
  r[2] = 1;
  r[3] = static_cast<std::uint8_t>(toc.sessions);
  const std::uint8_t q = kAdrQ | kControlData;
  for (std::uint16_t s = 1; s <= toc.sessions; ++s) {
    std::uint8_t first = 0, last = 0;
    for (const TocTrack& t : toc.tracks) {
      if (t.session != s) continue;
      if (first == 0) first = t.number;
      last = t.number;
    }
    AppendFullEntry(r, s, q, 0xA0, {}, {first, 0x20, 0});  // disc type: CD-ROM XA
    AppendFullEntry(r, s, q, 0xA1, {}, {last, 0, 0});
    AppendFullEntry(r, s, q, 0xA2, {}, mmc::LbaToMsf(toc.lead_outs[s - 1]));
    for (const TocTrack& t : toc.tracks) {
      if (t.session == s) AppendFullEntry(r, s, q, t.number, {}, mmc::LbaToMsf(t.start));
    }
    // B0: where the next session may begin, or FF:FF:FF when none may.
    bool more = s < toc.sessions || !d.finalized;
    std::int32_t next =
        s < toc.sessions ? d.SessionStart(static_cast<std::uint16_t>(s + 1)) : d.next_session_start;
    mmc::Msf next_msf = more ? mmc::LbaToMsf(next) : mmc::Msf{0xFF, 0xFF, 0xFF};
    if (more || s == toc.sessions) {
      AppendFullEntry(r, s, kAdrMode5 | kControlData, 0xB0, next_msf,
                      mmc::LbaToMsf(static_cast<std::int32_t>(d.capacity)));
    }
    if (s == 1 && d.traits().recording != Recording::kReadOnly) {
      AppendFullEntry(r, s, kAdrMode5 | kControlData, 0xC0, {0x80, 0, 0},
                      mmc::LbaToMsf(kCdLeadInStart));
    }
  }
  put_be16(r, 0, static_cast<std::uint32_t>(r.size() - 2));
  c.Reply(r, alloc);
}

void Atip(Ctx& c, std::size_t alloc) {
  const Disc& d = c.disc();
  constexpr std::size_t kLength = 28, kWritingPower = 4, kUru = 5, kDiscType = 6, kLeadInStart = 8,
                        kLastLeadOut = 12;
  std::vector<std::uint8_t> r(kLength, 0);
  put_be16(r, 0, kLength - 2);
  r[kWritingPower] = 0xD1;  // indicative writing power 5, reference speed 1
  r[kUru] = 0x40;           // unrestricted use
  r[kDiscType] = static_cast<std::uint8_t>(0x80 | (d.medium == Medium::kCdRw ? 0x40 : 0));
  mmc::Msf in = mmc::LbaToMsf(kCdLeadInStart);
  mmc::Msf out = mmc::LbaToMsf(static_cast<std::int32_t>(d.capacity));
  r[kLeadInStart] = in.m, r[kLeadInStart + 1] = in.s, r[kLeadInStart + 2] = in.f;
  r[kLastLeadOut] = out.m, r[kLastLeadOut + 1] = out.s, r[kLastLeadOut + 2] = out.f;
  c.Reply(r, alloc);
}

}  // namespace

void ReadToc(Ctx& c) {
  constexpr std::size_t kMsf = 1, kFormat = 2, kTrack = 6, kAllocation = 7, kControl = 9;
  bool msf = (c.cdb()[kMsf] & 0x02) != 0;
  std::uint8_t format = c.cdb()[kFormat] & 0x0F;
  if (format == 0) format = c.cdb()[kControl] >> 6;  // the older place of the format
  std::size_t alloc = get_be16(c.cdb(), kAllocation);
  const Disc& d = c.disc();
  if (format == kFormatAtip) {
    if (!d.cd() || d.recording() == Recording::kReadOnly) {
      c.Fail(sense::kInvalidFieldInCdb);
      return;
    }
    Atip(c, alloc);
    return;
  }
  Toc toc = BuildToc(d);
  if (toc.tracks.empty() || (format == kFormatFullToc && !d.cd()) || format > kFormatFullToc) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  switch (format) {
    case kFormatToc:
      FormattedToc(c, toc, msf, c.cdb()[kTrack], alloc);
      break;
    case kFormatSessionInfo:
      SessionInfo(c, toc, msf, alloc);
      break;
    default:
      FullToc(c, toc, alloc);
      break;
  }
}

}  // namespace vrec::detail
