// `tidemark vrec status`: the recorder and its disc in words, or as JSON.

#include <cstdio>

#include "vrec/drive_internal.h"
#include "vrec/recorder.h"

namespace vrec {
namespace {

std::string DiscState(const Disc& d) {
  if (!d.present()) return "none";
  switch (d.recording()) {
    case Recording::kReadOnly:
      return "complete";
    case Recording::kOverwritable:
      if (d.medium == Medium::kDvdPlusRw && !d.formatted) return "blank";
      if (d.bg_format == 2) return "formatting";
      return "formatted";
    case Recording::kSequential:
      break;
  }
  switch (d.DiscStatus()) {
    case 0:
      return "blank";
    case 1:
      return "appendable";
    default:
      return "complete";
  }
}

}  // namespace

StatusSummary Summarize(const DriveState& s, std::int64_t now) {
  const Disc& d = s.disc;
  StatusSummary m;
  m.medium = d.present() ? d.traits().name : "none";
  if (d.medium == Medium::kDvdRw && d.restricted_overwrite) m.medium += " (restricted overwrite)";
  m.state = DiscState(d);
  m.tray = s.tray_open ? "open" : "closed";
  if (s.prevent_removal) m.tray += ", locked";
  if (s.busy != BusyKind::kNone && now < s.busy_end) {
    static const char* const kNames[] = {"", "blanking", "formatting", "closing",
                                         "writing out the buffer"};
    m.busy = kNames[static_cast<int>(s.busy)];
    m.busy += " " + std::to_string(detail::BusyProgress(s, now) * 100 / 65535) + "%";
  }
  if (d.recording() == Recording::kOverwritable) {
    m.next_writable = 0;
  } else if (auto start = d.InvisibleTrackStart(s.pregap)) {
    m.next_writable = *start;
  } else {
    for (const Track& t : d.tracks) {
      if (t.Incomplete() && !t.damaged) m.next_writable = t.NextWritable();
    }
  }
  return m;
}

std::vector<std::string> StatusLines(const DriveState& s, std::int64_t now,
                                     std::uint32_t speed_x10) {
  const Disc& d = s.disc;
  StatusSummary m = Summarize(s, now);
  std::vector<std::string> lines;
  lines.push_back(std::string("recorder: ") + kVendor + " " + kProduct + " " + kRevision);
  lines.push_back("medium: " + m.medium + (s.image_name.empty() ? "" : " from " + s.image_name));
  lines.push_back("state: " + m.state);
  if (d.present()) {
    lines.push_back("capacity: " + std::to_string(d.capacity) + " blocks");
    for (std::size_t i = 0; i < d.sessions.size(); ++i) {
      auto number = static_cast<std::uint16_t>(i + 1);
      int first = 0, last = 0;
      for (std::size_t t = 0; t < d.tracks.size(); ++t) {
        if (d.tracks[t].session != number) continue;
        if (first == 0) first = static_cast<int>(t + 1);
        last = static_cast<int>(t + 1);
      }
      std::string line =
          "session " + std::to_string(number) + ": tracks " + std::to_string(first) + "-" +
          std::to_string(last) + ", blocks " + std::to_string(d.SessionStart(number)) + "-" +
          std::to_string(d.SessionEnd(number) - 1) + (d.sessions[i].closed ? ", closed" : ", open");
      lines.push_back(line);
    }
    lines.push_back("next writable address: " +
                    (m.next_writable ? std::to_string(*m.next_writable) : std::string("none")));
  }
  lines.push_back("tray: " + m.tray);
  lines.push_back("speed: " + FormatSpeed(speed_x10));
  if (!m.busy.empty()) lines.push_back("busy: " + m.busy);
  for (const FaultRule& f : s.faults) {
    lines.push_back("fault: " + FormatFaultRule(f) + " (fired " + std::to_string(f.fired) + ")");
  }
  return lines;
}

}  // namespace vrec
