// Time in the recorder: the recording rate, the buffer that drains at it,
// long operations with their progress, and the speed lists.

#include <algorithm>
#include <cmath>

#include "vrec/drive_internal.h"

namespace vrec::detail {
namespace {

double OneXKbps(const Disc& d) {
  return d.cd() ? 176.4 : 1385.0;
}

const MediumTraits& SpeedTraits(const DriveState& s) {
  // Without a disc the recorder reports what it does with CD-R.
  if (s.disc.traits().write_speeds_x10.empty()) {
    if (s.disc.medium == Medium::kDvdRom) return Traits(Medium::kDvdR);
    return Traits(Medium::kCdR);
  }
  return s.disc.traits();
}

}  // namespace

bool UsesWriteParameters(const Disc& d) {
  return d.medium == Medium::kCdR || d.medium == Medium::kCdRw || d.medium == Medium::kDvdR ||
         (d.medium == Medium::kDvdRw && !d.restricted_overwrite);
}

std::vector<std::uint32_t> WriteSpeedsKbps(const DriveState& s) {
  const MediumTraits& t = SpeedTraits(s);
  double one_x = t.cd ? 176.4 : 1385.0;
  std::vector<std::uint32_t> out;
  for (std::uint16_t x10 : t.write_speeds_x10) {
    out.push_back(static_cast<std::uint32_t>(std::lround(x10 * one_x / 10.0)));
  }
  return out;
}

std::uint32_t MaxReadKbps(const DriveState& s) {
  const MediumTraits& t = s.disc.present() ? s.disc.traits() : Traits(Medium::kCdR);
  double one_x = t.cd ? 176.4 : 1385.0;
  return static_cast<std::uint32_t>(std::lround(t.max_read_x10 * one_x / 10.0));
}

std::uint32_t CurrentWriteKbps(const DriveState& s) {
  std::vector<std::uint32_t> speeds = WriteSpeedsKbps(s);
  if (speeds.empty()) return 0;
  if (s.write_kbps == 0) return speeds.front();
  // A speed chosen for another medium is clamped to this one's list.
  for (std::uint32_t v : speeds) {
    if (v <= s.write_kbps) return v;
  }
  return speeds.back();
}

std::uint32_t CurrentReadKbps(const DriveState& s) {
  std::uint32_t max = MaxReadKbps(s);
  return s.read_kbps == 0 ? max : std::min(max, s.read_kbps);
}

double RecordingBytesPerSecond(const Ctx& c) {
  if (c.options.speed_x10 == 0) return 0.0;
  double one_x = OneXBytesPerSecond(c.s.disc.present() ? c.s.disc.medium : Medium::kCdR);
  double selected_x = CurrentWriteKbps(c.s) / OneXKbps(c.s.disc);
  double x = std::min(selected_x, c.options.speed_x10 / 10.0);
  return std::max(x, 0.1) * one_x;
}

std::int64_t TimeForBlocks(const Ctx& c, double blocks) {
  double rate = RecordingBytesPerSecond(c);
  if (rate <= 0.0 || blocks <= 0.0) return 0;
  return static_cast<std::int64_t>(blocks * 2048.0 / rate * 1e6);
}

std::int64_t Scaled(const Ctx& c, std::int64_t us) {
  return c.options.speed_x10 == 0 ? 0 : us;
}

void DrainBuffer(Ctx& c) {
  DriveState& s = c.s;
  double rate = RecordingBytesPerSecond(c);
  if (rate <= 0.0) {
    s.buffer_bytes = 0;
    s.buffer_at = c.now;
    return;
  }
  if (c.now <= s.buffer_at) return;
  if (s.streaming) {
    auto drained =
        static_cast<std::uint64_t>(rate * static_cast<double>(c.now - s.buffer_at) / 1e6);
    s.buffer_bytes -= std::min(drained, s.buffer_bytes);
  }
  s.buffer_at = c.now;
}

void StartOperation(Ctx& c, BusyKind kind, std::int64_t duration, bool immediate) {
  if (duration <= 0) return;
  // The drive is busy for the whole operation even when the command itself
  // waits for it: another initiator asking meanwhile is told so.
  c.s.busy = kind;
  c.s.busy_start = c.now;
  c.s.busy_end = c.now + duration;
  if (!immediate) c.Take(duration);
}

int BusyProgress(const DriveState& s, std::int64_t now) {
  if (s.busy_end <= s.busy_start) return 0;
  double f =
      static_cast<double>(now - s.busy_start) / static_cast<double>(s.busy_end - s.busy_start);
  return static_cast<int>(std::clamp(f, 0.0, 1.0) * 65535.0);
}

Sense BusySense(const DriveState& s) {
  switch (s.busy) {
    case BusyKind::kFormat:
      return sense::kFormatInProgress;
    case BusyKind::kSync:
      return sense::kLongWriteInProgress;
    default:
      return sense::kOperationInProgress;
  }
}

}  // namespace vrec::detail
