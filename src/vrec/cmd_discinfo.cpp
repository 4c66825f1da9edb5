// READ DISC INFORMATION, READ TRACK INFORMATION, READ CAPACITY (10)/(16),
// READ FORMAT CAPACITIES, READ DVD STRUCTURE and READ BUFFER CAPACITY.
// READ TOC/PMA/ATIP lives in cmd_toc.cpp.

#include <algorithm>

#include "vrec/drive_internal.h"
#include "vrec/mmc.h"

namespace vrec::detail {
namespace {

constexpr std::uint32_t kUnknownAddress = 0xFFFFFFFF;

// CD addresses in disc and track information are written as 00 MM SS FF.
std::uint32_t CdAddress(std::int32_t lba) {
  mmc::Msf m = mmc::LbaToMsf(lba);
  return (std::uint32_t{m.m} << 16) | (std::uint32_t{m.s} << 8) | m.f;
}

}  // namespace

void ReadDiscInformation(Ctx& c) {
  constexpr std::size_t kDataType = 1, kAllocation = 7;
  constexpr std::size_t kLength = 34, kStatus = 2, kFirstTrack = 3, kSessionsLsb = 4,
                        kFirstTrackLastSessionLsb = 5, kLastTrackLastSessionLsb = 6, kFlags = 7,
                        kDiscType = 8, kSessionsMsb = 9, kFirstTrackLastSessionMsb = 10,
                        kLastTrackLastSessionMsb = 11, kLeadInStart = 16, kLastLeadOut = 20;
  if ((c.cdb()[kDataType] & 0x07) != 0) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  const Disc& d = c.disc();
  std::vector<std::uint8_t> r(kLength, 0);
  put_be16(r, 0, kLength - 2);
  std::uint8_t status = d.DiscStatus();
  r[kStatus] = static_cast<std::uint8_t>((d.traits().erasable ? 0x10 : 0) |
                                         (d.LastSessionState() << 2) | status);
  r[kFirstTrack] = 1;
  std::uint16_t sessions = d.SessionCount();
  std::uint16_t first = d.FirstTrackOfLastSession();
  std::uint16_t last = d.TrackCount();
  r[kSessionsLsb] = static_cast<std::uint8_t>(sessions);
  r[kSessionsMsb] = static_cast<std::uint8_t>(sessions >> 8);
  r[kFirstTrackLastSessionLsb] = static_cast<std::uint8_t>(first);
  r[kFirstTrackLastSessionMsb] = static_cast<std::uint8_t>(first >> 8);
  r[kLastTrackLastSessionLsb] = static_cast<std::uint8_t>(last);
  r[kLastTrackLastSessionMsb] = static_cast<std::uint8_t>(last >> 8);
  r[kFlags] = static_cast<std::uint8_t>(0x20 | (d.bg_format & 0x03));  // URU, format status
  r[kDiscType] = 0x00;  // CD-DA or CD-ROM; 00 for DVD too
  if (status == 2 || d.recording() == Recording::kReadOnly) {
    put_be32(r, kLeadInStart, kUnknownAddress);
    put_be32(r, kLastLeadOut, kUnknownAddress);
  } else {
    // The last session is the open one, or the empty one after the closed
    // sessions; its program area starts at its first track.
    bool open = !d.sessions.empty() && !d.sessions.back().closed;
    std::int32_t start =
        open ? d.SessionStart(static_cast<std::uint16_t>(d.sessions.size())) : d.next_session_start;
    if (d.cd()) {
      std::int32_t lead_in = start == 0 ? kCdLeadInStart : start - 150 - 4500;
      put_be32(r, kLeadInStart, CdAddress(lead_in));
      put_be32(r, kLastLeadOut, CdAddress(static_cast<std::int32_t>(d.capacity)));
    } else {
      put_be32(r, kLeadInStart, static_cast<std::uint32_t>(start));
      put_be32(r, kLastLeadOut, d.capacity);
    }
  }
  c.Reply(r, get_be16(c.cdb(), kAllocation));
}

namespace {

// One track as READ TRACK INFORMATION describes it.
struct TrackView {
  std::uint32_t number = 1;
  std::uint32_t session = 1;
  std::uint8_t track_mode = 4;  // data, recorded uninterrupted
  std::uint8_t data_mode = 1;   // mode 1; 0Fh for a blank track
  bool damaged = false, reserved = false, blank = false;
  bool packet = false;        // written incrementally
  bool fixed_packet = false;  // in packets of packet_size blocks
  bool nwa_valid = false, lra_valid = false;
  std::int32_t start = 0;
  std::int32_t nwa = 0;
  std::uint32_t free = 0;
  std::uint32_t packet_size = 0;
  std::uint32_t size = 0;
  std::int32_t last_recorded = 0;
};

bool IncrementalDvdMinus(const Ctx& c) {
  const Disc& d = c.s.disc;
  return (d.medium == Medium::kDvdR || d.medium == Medium::kDvdRw) && !d.restricted_overwrite &&
         WriteType(c.s) == mmc::kWriteTypePacket;
}

TrackView ViewInvisible(const Ctx& c, std::int32_t start) {
  const Disc& d = c.s.disc;
  TrackView v;
  v.number = static_cast<std::uint32_t>(d.tracks.size() + 1);
  v.session = (d.sessions.empty() || d.sessions.back().closed)
                  ? static_cast<std::uint32_t>(d.sessions.size() + 1)
                  : static_cast<std::uint32_t>(d.sessions.size());
  v.blank = true;
  v.data_mode = 0x0F;
  v.start = start;
  v.nwa = start;
  v.nwa_valid = true;
  v.free = d.capacity - static_cast<std::uint32_t>(start);
  v.size = v.free;
  if (IncrementalDvdMinus(c)) {
    // Incremental, in packets of variable size (growisofs insists on it).
    v.track_mode = 5;
    v.packet = true;
  }
  return v;
}

TrackView ViewTrack(const Disc& d, std::size_t index) {
  const Track& t = d.tracks[index];
  TrackView v;
  v.number = static_cast<std::uint32_t>(index + 1);
  v.session = t.session;
  v.start = t.start;
  v.damaged = t.damaged;
  v.packet = t.packet;
  if (t.packet) v.track_mode = 5;
  v.lra_valid = t.written > 0;
  v.last_recorded = t.NextWritable() - 1;
  switch (t.state) {
    case TrackState::kComplete:
      v.size = t.size;
      v.last_recorded = t.End() - 1 - static_cast<std::int32_t>(t.run_out);
      v.lra_valid = true;
      break;
    case TrackState::kReserved:
      v.reserved = true;
      v.blank = t.written == 0;
      v.size = t.size;
      v.nwa = t.NextWritable();
      v.nwa_valid = !t.damaged;
      v.free = t.size - t.written;
      break;
    case TrackState::kOpen: {
      v.blank = t.written == 0;
      v.nwa = t.NextWritable();
      v.nwa_valid = !t.damaged;
      auto nwa = static_cast<std::uint32_t>(std::max(v.nwa, 0));
      v.free = d.capacity > nwa ? d.capacity - nwa : 0;
      v.size = t.written + v.free;
      break;
    }
  }
  if (v.blank) v.data_mode = 0x0F;
  return v;
}

TrackView ViewOverwritable(const Disc& d) {
  TrackView v;
  std::uint32_t blocks = d.formatted ? d.formatted_blocks : d.capacity;
  v.blank = !d.formatted;
  v.nwa_valid = true;
  if (d.restricted_overwrite) {
    // Restricted overwrite is written in fixed packets of one ECC block.
    v.packet = true;
    v.fixed_packet = true;
    v.packet_size = 16;
  }
  v.free = blocks;
  v.size = blocks;
  return v;
}

}  // namespace

void ReadTrackInformation(Ctx& c) {
  constexpr std::size_t kAddressType = 1, kAddress = 2, kAllocation = 7;
  constexpr std::size_t kLength = 48;
  const Disc& d = c.disc();
  std::uint8_t type = c.cdb()[kAddressType] & 0x03;
  std::uint32_t address = get_be32(c.cdb(), kAddress);
  std::optional<TrackView> view;
  std::optional<std::int32_t> invisible = d.InvisibleTrackStart(c.s.pregap);
  auto track_count = static_cast<std::uint32_t>(d.tracks.size());

  if (d.recording() == Recording::kOverwritable) {
    if ((type == 1 && (address == 1 || address == 0xFF)) || (type == 2 && address == 1) ||
        (type == 0 && address < std::max(d.capacity, d.formatted_blocks))) {
      view = ViewOverwritable(d);
    }
  } else if (type == 0) {  // logical block address
    auto lba = static_cast<std::int32_t>(address);
    int i = d.TrackHolding(lba);
    if (i >= 0) {
      view = ViewTrack(d, static_cast<std::size_t>(i));
    } else if (invisible && lba >= *invisible && lba < static_cast<std::int32_t>(d.capacity)) {
      view = ViewInvisible(c, *invisible);
    }
  } else if (type == 1) {  // track number; FFh is the invisible track
    if (address >= 1 && address <= track_count) {
      view = ViewTrack(d, address - 1);
    } else if ((address == 0xFF || address == track_count + 1) && invisible) {
      view = ViewInvisible(c, *invisible);
    } else if (address == 0xFF && track_count > 0) {
      view = ViewTrack(d, track_count - 1);  // the last track when nothing follows
    }
  } else if (type == 2) {  // session number: its first track
    for (std::size_t i = 0; i < d.tracks.size() && !view; ++i) {
      if (d.tracks[i].session == address) view = ViewTrack(d, i);
    }
    if (!view && invisible && address == d.SessionCount()) view = ViewInvisible(c, *invisible);
  }
  if (!view) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  const TrackView& v = *view;
  std::vector<std::uint8_t> r(kLength, 0);
  put_be16(r, 0, kLength - 2);
  r[2] = static_cast<std::uint8_t>(v.number);
  r[3] = static_cast<std::uint8_t>(v.session);
  r[5] = static_cast<std::uint8_t>((v.damaged ? 0x20 : 0) | v.track_mode);
  r[6] =
      static_cast<std::uint8_t>((v.reserved ? 0x80 : 0) | (v.blank ? 0x40 : 0) |
                                (v.packet ? 0x20 : 0) | (v.fixed_packet ? 0x10 : 0) | v.data_mode);
  r[7] = static_cast<std::uint8_t>((v.lra_valid ? 0x02 : 0) | (v.nwa_valid ? 0x01 : 0));
  put_be32(r, 8, static_cast<std::uint32_t>(v.start));
  put_be32(r, 12, v.nwa_valid ? static_cast<std::uint32_t>(v.nwa) : 0);
  put_be32(r, 16, v.free);
  put_be32(r, 20, v.packet_size);
  put_be32(r, 24, v.size);
  put_be32(r, 28, v.lra_valid ? static_cast<std::uint32_t>(v.last_recorded) : 0);
  r[32] = static_cast<std::uint8_t>(v.number >> 8);
  r[33] = static_cast<std::uint8_t>(v.session >> 8);
  c.Reply(r, get_be16(c.cdb(), kAllocation));
}

void ReadCapacity(Ctx& c) {
  std::vector<std::uint8_t> r(8, 0);
  std::int64_t last = c.disc().LastRecordedBlock();
  put_be32(r, 0, static_cast<std::uint32_t>(std::max<std::int64_t>(last, 0)));
  put_be32(r, 4, 2048);
  c.Reply(r, r.size());
}

void ReadCapacity16(Ctx& c) {
  constexpr std::uint8_t kServiceReadCapacity = 0x10;
  if ((c.cdb()[1] & 0x1F) != kServiceReadCapacity) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  std::vector<std::uint8_t> r(32, 0);
  std::int64_t last = c.disc().LastRecordedBlock();
  put_be64(r, 0, static_cast<std::uint64_t>(std::max<std::int64_t>(last, 0)));
  put_be32(r, 8, 2048);
  c.Reply(r, get_be32(c.cdb(), 10));
}

void ReadFormatCapacities(Ctx& c) {
  constexpr std::size_t kAllocation = 7;
  constexpr std::uint8_t kUnformatted = 1, kFormatted = 2;
  const Disc& d = c.disc();
  std::vector<std::uint8_t> r(4, 0);
  auto descriptor = [&r](std::uint32_t blocks, std::uint8_t byte4, std::uint32_t parameter) {
    std::size_t at = r.size();
    r.resize(at + 8, 0);
    put_be32(r, at, blocks);
    r[at + 4] = byte4;
    put_be24(r, at + 5, parameter);
  };
  auto formattable = [&descriptor](std::uint32_t blocks, std::uint8_t type, std::uint32_t param) {
    descriptor(blocks, static_cast<std::uint8_t>(type << 2), param);
  };
  switch (d.Profile()) {
    case mmc::kProfileDvdPlusRw:
      descriptor(d.formatted ? d.formatted_blocks : d.capacity,
                 d.formatted ? kFormatted : kUnformatted, 2048);
      formattable(d.capacity, mmc::kFormatDvdPlusRw, 0);
      break;
    case mmc::kProfileDvdRwSequential:
    case mmc::kProfileDvdRwRestricted:
      descriptor(d.formatted ? d.formatted_blocks : d.capacity,
                 d.restricted_overwrite ? kFormatted : kUnformatted, 2048);
      formattable(d.capacity, mmc::kFormatFull, 2048);
      formattable(d.capacity, mmc::kFormatDvdRwFull, 16);
      if (d.restricted_overwrite && d.intermediate) {
        formattable(d.capacity, mmc::kFormatDvdRwGrow, 16);
      }
      formattable(d.capacity, mmc::kFormatDvdRwQuick, 16);
      break;
    case mmc::kProfileDvdRam:
      descriptor(d.formatted_blocks, kFormatted, 2048);
      formattable(d.capacity, mmc::kFormatFull, 2048);
      formattable(d.capacity, mmc::kFormatSpareAreaExpansion, 2048);
      break;
    default:
      descriptor(d.capacity, d.DiscStatus() == 2 ? kFormatted : kUnformatted, 2048);
      break;
  }
  r[3] = static_cast<std::uint8_t>(r.size() - 4);
  c.Reply(r, get_be16(c.cdb(), kAllocation));
}

void ReadDvdStructure(Ctx& c) {
  constexpr std::size_t kFormat = 7, kAllocation = 8;
  constexpr std::uint8_t kPhysical = 0x00, kStructureList = 0xFF;
  const Disc& d = c.disc();
  if (d.cd()) {
    c.Fail(sense::kCannotReadIncompatibleFormat);
    return;
  }
  std::uint8_t format = c.cdb()[kFormat];
  std::vector<std::uint8_t> r(4, 0);
  if (format == kPhysical) {
    constexpr std::size_t kBookType = 4, kSizeRate = 5, kLayers = 6, kDensity = 7, kDataStart = 8,
                          kDataEnd = 12;
    r.resize(4 + 2048, 0);
    std::uint8_t book = 0x01, layer_type = 0x01;
    switch (d.medium) {
      case Medium::kDvdR:
        book = 0x25, layer_type = 0x02;
        break;
      case Medium::kDvdRw:
        book = 0x32, layer_type = 0x04;
        break;
      case Medium::kDvdPlusR:
        book = 0xA1, layer_type = 0x02;
        break;
      case Medium::kDvdPlusRw:
        book = 0x92, layer_type = 0x04;
        break;
      case Medium::kDvdRam:
        book = 0x16, layer_type = 0x04;
        break;
      default:
        break;
    }
    std::uint32_t start = d.medium == Medium::kDvdRam ? 0x31000 : 0x30000;
    std::uint32_t blocks = d.capacity ? d.capacity : 1;
    r[kBookType] = book;
    r[kSizeRate] = 0x0F;      // 120 mm, rate not specified
    r[kLayers] = layer_type;  // one layer
    r[kDensity] = 0x10;
    put_be32(r, kDataStart, start);
    put_be32(r, kDataEnd, start + blocks - 1);
  } else if (format == kStructureList) {
    r.insert(r.end(), {kPhysical, 0x40, 0x08, 0x04});
    r.insert(r.end(), {kStructureList, 0x40, 0x00, 0x0C});
  } else {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  put_be16(r, 0, static_cast<std::uint32_t>(r.size() - 2));
  c.Reply(r, get_be16(c.cdb(), kAllocation));
}

void ReadBufferCapacity(Ctx& c) {
  constexpr std::size_t kBlockBit = 1, kAllocation = 7, kBufferLength = 4, kBlankLength = 8;
  DrainBuffer(c);
  DriveState& s = c.s;
  auto free = static_cast<std::uint32_t>(s.buffer_size -
                                         std::min<std::uint64_t>(s.buffer_bytes, s.buffer_size));
  std::vector<std::uint8_t> r(12, 0);
  put_be16(r, 0, 10);
  if (c.cdb()[kBlockBit] & 0x01) {
    r[5] = 0x01;  // block mode: the free space in blocks
    put_be32(r, kBlankLength, free / 2048);
  } else {
    put_be32(r, kBufferLength, s.buffer_size);
    put_be32(r, kBlankLength, free);
  }
  c.Reply(r, get_be16(c.cdb(), kAllocation));
}

}  // namespace vrec::detail
