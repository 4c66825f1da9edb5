// READ (10)/(12), READ CD (user data only) and WRITE (10)/(12) with WRITE
// AND VERIFY: reading back what is recorded, and recording at the next
// writable address (sequential media) or anywhere in the formatted area.

#include <algorithm>

#include "vrec/drive_internal.h"
#include "vrec/mmc.h"

namespace vrec::detail {
namespace {

void ReadBlocks(Ctx& c, std::int64_t lba, std::uint32_t count) {
  std::size_t fits = c.req.direction == DataDirection::kIn ? c.req.data.size() / kBlockSize : 0;
  std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(count, fits));
  for (std::uint32_t i = 0; i < n; ++i) {
    std::int64_t block = lba + i;
    Sense why = block > 0x7FFFFFFF ? sense::kLbaOutOfRange
                                   : c.disc().ReadableBlock(static_cast<std::int32_t>(block));
    if (!why.ok()) {
      // The blocks before the bad one arrive; the sense names the bad one.
      std::uint32_t good = i;
      if (good > 0) c.store.Read(lba, c.req.data.first(good * kBlockSize));
      c.FailAt(why, static_cast<std::uint32_t>(block));
      c.resp.transferred = good * static_cast<std::uint32_t>(kBlockSize);
      return;
    }
  }
  if (n > 0 && !c.store.Read(lba, c.req.data.first(std::size_t{n} * kBlockSize))) {
    c.FailAt(sense::kUnrecoveredReadError, static_cast<std::uint32_t>(lba));
    return;
  }
  c.resp.transferred = n * static_cast<std::uint32_t>(kBlockSize);
}

// The buffer fills with `bytes`; when it has no room the command waits for
// the drive to record enough of it, as a real drive does.
void FillBuffer(Ctx& c, std::uint64_t bytes) {
  DriveState& s = c.s;
  DrainBuffer(c);
  double rate = RecordingBytesPerSecond(c);
  if (rate <= 0.0) return;
  std::uint64_t level = s.buffer_bytes + bytes;
  if (level > s.buffer_size) {
    auto wait = static_cast<std::int64_t>(static_cast<double>(level - s.buffer_size) / rate * 1e6);
    c.Take(wait);
    s.buffer_bytes = s.buffer_size;
    s.buffer_at = c.now + wait;
  } else {
    s.buffer_bytes = level;
  }
  s.streaming = true;
}

// True when the buffer ran empty while a track was being recorded.
bool BufferRanDry(const Ctx& c) {
  const DriveState& s = c.s;
  double rate = RecordingBytesPerSecond(c);
  if (rate <= 0.0 || !s.streaming) return false;
  double empty_at =
      static_cast<double>(s.buffer_at) + static_cast<double>(s.buffer_bytes) / rate * 1e6;
  return static_cast<double>(c.now) > empty_at;
}

bool StoreBlocks(Ctx& c, std::int64_t lba, ConstBytes data) {
  if (!c.store.Write(lba, data)) {
    c.FailAt(sense::kWriteError, static_cast<std::uint32_t>(lba));
    return false;
  }
  return true;
}

void WriteOverwritable(Ctx& c, std::int32_t lba, std::uint32_t count, ConstBytes data) {
  Disc& d = c.disc();
  if (d.medium == Medium::kDvdPlusRw && !d.formatted) {
    // Writing to a blank DVD+RW starts its formatting in the background.
    d.formatted = true;
    d.formatted_blocks = d.capacity;
    d.bg_format = 2;
    c.s.bg_format_end = c.now + TimeForBlocks(c, d.capacity);
  }
  if (d.restricted_overwrite && (lba % 16 != 0 || count % 16 != 0)) {
    // Restricted overwrite records whole ECC blocks of 16 blocks.
    c.FailAt(sense::kInvalidFieldInCdb, static_cast<std::uint32_t>(lba));
    return;
  }
  std::uint32_t limit = d.formatted ? d.formatted_blocks : d.capacity;
  if (lba < 0 || std::uint64_t{static_cast<std::uint32_t>(lba)} + count > limit) {
    c.FailAt(sense::kLbaOutOfRange, static_cast<std::uint32_t>(lba));
    return;
  }
  if (!StoreBlocks(c, lba, data)) return;
  FillBuffer(c, data.size());
}

void WriteCueLayout(Ctx& c, std::int32_t lba, std::uint32_t count, ConstBytes data, bool test) {
  Disc& d = c.disc();
  CueLayout& cue = d.cue;
  if (lba != cue.next) {
    c.FailAt(sense::kInvalidAddressForWrite, static_cast<std::uint32_t>(lba));
    return;
  }
  if (std::int64_t{lba} + count > cue.lead_out) {
    c.FailAt(sense::kLbaOutOfRange, static_cast<std::uint32_t>(lba));
    return;
  }
  // Blocks before the first track are its pregap: the drive records them
  // itself from what it is sent, and nothing can read them back.
  std::int32_t first = cue.track_starts.empty() ? 0 : cue.track_starts.front();
  std::int64_t skip = std::clamp<std::int64_t>(first - lba, 0, count);
  if (!test && skip < count &&
      !StoreBlocks(c, lba + skip, data.subspan(static_cast<std::size_t>(skip) * kBlockSize))) {
    return;
  }
  cue.next = lba + static_cast<std::int32_t>(count);
  for (Track& t : d.tracks) {
    if (t.state != TrackState::kReserved) continue;
    std::int64_t written = std::clamp<std::int64_t>(cue.next - t.start, 0, t.size);
    t.written = static_cast<std::uint32_t>(written);
  }
  FillBuffer(c, data.size());
}

void WriteSequential(Ctx& c, std::int32_t lba, std::uint32_t count, ConstBytes data) {
  DriveState& s = c.s;
  Disc& d = c.disc();
  bool page05 = UsesWriteParameters(d);
  std::uint8_t write_type = page05 ? WriteType(s) : mmc::kWriteTypeTao;
  bool test = page05 && TestWriteBit(s);
  bool dvd_minus = page05 && !d.cd();
  if (dvd_minus && d.dao_only && write_type == mmc::kWriteTypePacket) {
    c.FailAt(sense::kIllegalModeForTrack, static_cast<std::uint32_t>(lba));
    return;
  }
  if (d.cue.active) {
    WriteCueLayout(c, lba, count, data, test);
    return;
  }
  if (d.cd() && write_type == mmc::kWriteTypeSao) {  // session at once needs its cue sheet
    c.Fail(sense::kCommandSequenceError);
    return;
  }
  int index = d.TrackAcceptingWriteAt(lba);
  if (index < 0) {
    std::optional<std::int32_t> start = d.InvisibleTrackStart(s.pregap);
    if (dvd_minus && write_type == mmc::kWriteTypeSao) {
      // Disc at once writes into the track RESERVE TRACK laid out.
      c.Fail(start && *start == lba ? sense::kCommandSequenceError
                                    : sense::kInvalidAddressForWrite);
      return;
    }
    if (!start || *start != lba) {
      c.FailAt(d.finalized ? sense::kCannotWriteIncompatibleFormat : sense::kInvalidAddressForWrite,
               static_cast<std::uint32_t>(lba));
      return;
    }
    Track& t = d.OpenNewTrack(lba, write_type, test);
    t.packet = dvd_minus && write_type == mmc::kWriteTypePacket;
    index = static_cast<int>(d.tracks.size() - 1);
    s.streaming = false;
  }
  Track& t = d.tracks[static_cast<std::size_t>(index)];
  if (t.damaged) {
    c.FailAt(sense::kInvalidAddressForWrite, static_cast<std::uint32_t>(lba));
    return;
  }
  std::int64_t end = std::int64_t{lba} + count;
  std::int64_t limit =
      t.state == TrackState::kReserved ? std::int64_t{t.start} + t.size : d.capacity;
  if (end > limit) {
    c.FailAt(sense::kLbaOutOfRange, static_cast<std::uint32_t>(lba));
    return;
  }
  if (page05 && t.written > 0 && !Bufe(s) && BufferRanDry(c)) {
    // Without buffer underrun protection an empty buffer ruins the track.
    t.damaged = true;
    s.streaming = false;
    c.FailAt(sense::kWriteErrorLossOfStreaming, static_cast<std::uint32_t>(lba));
    return;
  }
  if (!t.test && !StoreBlocks(c, lba, data)) return;
  t.written += count;
  FillBuffer(c, data.size());
}

}  // namespace

void Read(Ctx& c) {
  bool twelve = c.cdb()[0] == mmc::kRead12;
  std::int64_t lba = get_be32(c.cdb(), 2);
  std::uint32_t count = twelve ? get_be32(c.cdb(), 6) : get_be16(c.cdb(), 7);
  if (count == 0) return;
  ReadBlocks(c, lba, count);
}

void ReadCd(Ctx& c) {
  constexpr std::size_t kSectorType = 1, kLba = 2, kCount = 6, kFields = 9, kSubchannel = 10;
  constexpr std::uint8_t kUserDataOnly = 0x10;
  std::uint8_t sector_type = (c.cdb()[kSectorType] >> 2) & 0x07;
  if ((sector_type != 0 && sector_type != 2) || c.cdb()[kFields] != kUserDataOnly ||
      c.cdb()[kSubchannel] != 0) {
    c.Fail(sense::kInvalidFieldInCdb);  // only the user data of data blocks
    return;
  }
  std::uint32_t count = get_be24(c.cdb(), kCount);
  if (count == 0) return;
  ReadBlocks(c, get_be32(c.cdb(), kLba), count);
}

void Write(Ctx& c) {
  bool twelve = c.cdb()[0] == mmc::kWrite12;
  auto lba = static_cast<std::int32_t>(get_be32(c.cdb(), 2));
  std::uint32_t count = twelve ? get_be32(c.cdb(), 6) : get_be16(c.cdb(), 7);
  Disc& d = c.disc();
  if (d.recording() == Recording::kReadOnly) {
    c.Fail(sense::kCannotWriteIncompatibleFormat);
    return;
  }
  if (count == 0) return;
  // Session at once takes its block sizes from the cue sheet, which only
  // lets data tracks through; otherwise page 05h names them.
  if (d.cd() && !d.cue.active && mmc::BlockSizeOfDataBlockType(DataBlockType(c.s)) != kBlockSize) {
    c.FailAt(sense::kIllegalModeForTrack, static_cast<std::uint32_t>(lba));  // data tracks only
    return;
  }
  std::uint64_t bytes = std::uint64_t{count} * kBlockSize;
  if (c.req.direction != DataDirection::kOut || c.req.data.size() < bytes) {
    c.Fail(sense::kInvalidFieldInCdb);
    return;
  }
  ConstBytes data(c.req.data.data(), static_cast<std::size_t>(bytes));
  if (d.recording() == Recording::kOverwritable) {
    WriteOverwritable(c, lba, count, data);
  } else {
    WriteSequential(c, lba, count, data);
  }
  if (!c.failed()) c.resp.transferred = static_cast<std::uint32_t>(bytes);
}

}  // namespace vrec::detail
