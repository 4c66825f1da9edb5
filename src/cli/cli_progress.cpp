#include "cli/cli_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "cli/cli_frame.h"
#include "platform/json.h"

namespace cli {
namespace {

constexpr double kMegabyte = 1048576.0;
constexpr int kDefaultWidth = 80;
constexpr int kMinBarCells = 10;

int TerminalWidth() {
  winsize ws{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return kDefaultWidth;
}

}  // namespace

ProgressDisplay::ProgressDisplay(ProgressMode Mode, std::string Caption)
    : mode_(Mode), caption_(std::move(Caption)) {}

ProgressMode ProgressDisplay::ModeFor(bool Json, bool Quiet) {
  if (Json) return ProgressMode::Json;
  if (Quiet || isatty(STDERR_FILENO) == 0) return ProgressMode::Hidden;
  return ProgressMode::Bar;
}

std::string ProgressDisplay::BarText(const std::string& Caption, const ProgressValues& Values,
                                     int Width) {
  const double fraction =
      Values.Total > 0
          ? std::clamp(static_cast<double>(Values.Written) / static_cast<double>(Values.Total), 0.0,
                       1.0)
          : 0.0;
  char text[128];
  std::snprintf(text, sizeof text, " %3.0f%%  %.2f/%.2f MB  host %d%%", fraction * 100.0,
                static_cast<double>(Values.Written) / kMegabyte,
                static_cast<double>(Values.Total) / kMegabyte, Values.HostBuffer);
  std::string tail = text;
  if (Values.RecorderSize > 0) {
    const double used = std::clamp(
        static_cast<double>(Values.RecorderUsed) * 100.0 / static_cast<double>(Values.RecorderSize),
        0.0, 100.0);
    std::snprintf(text, sizeof text, "  recorder %.0f%%", used);
    tail += text;
  } else {
    tail += "  recorder --";
  }
  const int cells =
      std::max(kMinBarCells, Width - static_cast<int>(Caption.size() + tail.size()) - 4);
  const int filled = static_cast<int>(fraction * cells + 0.5);
  std::string bar = Caption + " [";
  bar.append(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(cells - filled), '-');
  bar += "]";
  return bar + tail;
}

void ProgressDisplay::Show(const ProgressValues& Values) {
  switch (mode_) {
    case ProgressMode::Hidden:
      return;
    case ProgressMode::Json: {
      platform::JsonObject event;
      event.Add("event", "progress")
          .Add("written", Values.Written)
          .Add("total", Values.Total)
          .Add("host_buffer", Values.HostBuffer);
      if (Values.RecorderSize > 0)
        event.Add("recorder_buffer_used", Values.RecorderUsed)
            .Add("recorder_buffer_size", Values.RecorderSize);
      else
        event.AddNull("recorder_buffer_used").AddNull("recorder_buffer_size");
      if (Values.Phase != nullptr) event.Add("phase", Values.Phase);
      EmitJson(event);
      return;
    }
    case ProgressMode::Bar: {
      const std::string line = "\r" + BarText(caption_, Values, TerminalWidth() - 1) + "\x1b[K";
      std::fwrite(line.data(), 1, line.size(), stderr);
      std::fflush(stderr);
      drawn_ = true;
      return;
    }
  }
}

void ProgressDisplay::ShowCount(const std::string& What, int64_t Count) {
  switch (mode_) {
    case ProgressMode::Hidden:
      return;
    case ProgressMode::Json:
      EmitJson(platform::JsonObject().Add("event", "count").Add("what", What).Add("count", Count));
      return;
    case ProgressMode::Bar: {
      const std::string line =
          "\r" + caption_ + ": " + std::to_string(Count) + " " + What + "\x1b[K";
      std::fwrite(line.data(), 1, line.size(), stderr);
      std::fflush(stderr);
      drawn_ = true;
      return;
    }
  }
}

void ProgressDisplay::ShowPercent(int32_t Percent, const char* Phase) {
  Percent = std::clamp(Percent, 0, 100);
  switch (mode_) {
    case ProgressMode::Hidden:
      return;
    case ProgressMode::Json: {
      platform::JsonObject event;
      event.Add("event", "progress").Add("percent", Percent);
      if (Phase != nullptr) event.Add("phase", Phase);
      EmitJson(event);
    }
      return;
    case ProgressMode::Bar: {
      char tail[16];
      std::snprintf(tail, sizeof tail, " %3d%%", Percent);
      const int cells =
          std::max(kMinBarCells, TerminalWidth() - 1 - static_cast<int>(caption_.size() + 8));
      const int filled = Percent * cells / 100;
      std::string line = "\r" + caption_ + " [";
      line.append(static_cast<size_t>(filled), '#');
      line.append(static_cast<size_t>(cells - filled), '-');
      line += std::string("]") + tail + "\x1b[K";
      std::fwrite(line.data(), 1, line.size(), stderr);
      std::fflush(stderr);
      drawn_ = true;
      return;
    }
  }
}

void ProgressDisplay::Finish() {
  if (drawn_) {
    std::fputc('\n', stderr);
    std::fflush(stderr);
  }
  drawn_ = false;
}

}  // namespace cli
