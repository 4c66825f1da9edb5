#include "cli/cli_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli/cli_frame.h"
#include "platform/json.h"

namespace cli {
namespace {

constexpr double kMegabyte = 1048576.0;
constexpr int kDefaultWidth = 80;
constexpr int kMinBarCells = 10;
// The speed is measured over this much of the recent past.
constexpr auto kSpeedWindow = std::chrono::seconds(3);
// Without a terminal a line goes out this often.
constexpr auto kLineEvery = std::chrono::seconds(5);

int TerminalWidth() {
  winsize ws{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return kDefaultWidth;
}

// Every pattern passed here is a literal of this file taking doubles.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string Format(const char* Pattern, double A, double B = 0, double C = 0) {
  char text[96];
  std::snprintf(text, sizeof text, Pattern, A, B, C);
  return text;
}
#pragma GCC diagnostic pop

double Fraction(const ProgressValues& V) {
  return V.Total > 0
             ? std::clamp(static_cast<double>(V.Written) / static_cast<double>(V.Total), 0.0, 1.0)
             : 0.0;
}

void Draw(const std::string& Text) {
  std::fwrite(Text.data(), 1, Text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

ProgressDisplay::ProgressDisplay(ProgressMode Mode, std::string Caption)
    : mode_(Mode),
      caption_(std::move(Caption)),
      start_(std::chrono::steady_clock::now()),
      last_line_(start_) {}

ProgressMode ProgressDisplay::ModeFor(bool Json, bool Quiet) {
  if (Json) return ProgressMode::Json;
  if (Quiet) return ProgressMode::Hidden;
  return isatty(STDERR_FILENO) != 0 ? ProgressMode::Bar : ProgressMode::Lines;
}

std::string ProgressDisplay::Duration(double Seconds) {
  const auto s = static_cast<int64_t>(std::max(0.0, Seconds) + 0.5);
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
  return text;
}

std::string ProgressDisplay::BarText(const std::string& Caption, const ProgressValues& Values,
                                     const ProgressRates& Rates, int Width) {
  const double fraction = Fraction(Values);
  // The fields, most needed first; each is left out when it does not fit.
  struct Field {
    std::string text;
    int order;  // where it stands in the line
  };
  std::vector<Field> fields;
  fields.push_back({Format("%3.0f%%", fraction * 100.0), 0});
  if (Values.Phase != nullptr) fields.push_back({Values.Phase, 1});
  fields.push_back({Format("%.2f/%.2f MB", static_cast<double>(Values.Written) / kMegabyte,
                           static_cast<double>(Values.Total) / kMegabyte),
                    2});
  if (Rates.Remaining >= 0) fields.push_back({"ETA " + Duration(Rates.Remaining), 5});
  if (Rates.BytesPerSecond > 0) {
    std::string speed = Format("%.1f MB/s", Rates.BytesPerSecond / kMegabyte);
    if (Values.BytesPerX > 0)
      speed =
          Format("%.1fx ", Rates.BytesPerSecond / static_cast<double>(Values.BytesPerX)) + speed;
    fields.push_back({speed, 3});
  }
  fields.push_back({Duration(Rates.Elapsed), 4});
  fields.push_back({Format("host %.0f%%", Values.HostBuffer), 6});
  if (Values.RecorderSize > 0)
    fields.push_back(
        {Format("recorder %.0f%%", std::clamp(static_cast<double>(Values.RecorderUsed) * 100.0 /
                                                  static_cast<double>(Values.RecorderSize),
                                              0.0, 100.0)),
         7});
  // Keep what fits, in order of need; then lay them out in line order.
  std::vector<Field> kept;
  int used = static_cast<int>(Caption.size());
  for (const Field& f : fields) {
    const int cost = static_cast<int>(f.text.size()) + 2;
    if (used + cost > Width) continue;
    kept.push_back(f);
    used += cost;
  }
  std::sort(kept.begin(), kept.end(),
            [](const Field& a, const Field& b) { return a.order < b.order; });
  std::string tail;
  for (const Field& f : kept) tail += "  " + f.text;
  std::string line = Caption;
  // The bar takes what is left, when at least its smallest size is left.
  const int cells = Width - used - 3;
  if (cells >= kMinBarCells) {
    const int filled = static_cast<int>(fraction * cells + 0.5);
    line += " [";
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(cells - filled), '-');
    line += "]";
  }
  line += tail;
  if (static_cast<int>(line.size()) > Width) line.resize(static_cast<size_t>(std::max(Width, 0)));
  return line;
}

ProgressRates ProgressDisplay::Rates(const ProgressValues& Values) {
  const auto now = std::chrono::steady_clock::now();
  ProgressRates r;
  r.Elapsed = std::chrono::duration<double>(now - start_).count();
  samples_.emplace_back(now, Values.Written);
  while (samples_.size() > 2 && now - samples_.front().first > kSpeedWindow) samples_.pop_front();
  const double span = std::chrono::duration<double>(now - samples_.front().first).count();
  if (span > 0.4)
    r.BytesPerSecond = static_cast<double>(Values.Written - samples_.front().second) / span;
  if (r.BytesPerSecond > 0 && Values.Total > Values.Written)
    r.Remaining = static_cast<double>(Values.Total - Values.Written) / r.BytesPerSecond;
  return r;
}

void ProgressDisplay::Show(const ProgressValues& Values) {
  if (mode_ == ProgressMode::Hidden) return;
  const ProgressRates rates = Rates(Values);
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
      event.Add("elapsed_ms", static_cast<int64_t>(rates.Elapsed * 1000));
      EmitJson(event);
      return;
    }
    case ProgressMode::Bar:
      Draw("\r" + BarText(caption_, Values, rates, TerminalWidth() - 1) + "\x1b[K");
      drawn_ = true;
      return;
    case ProgressMode::Lines: {
      const auto now = std::chrono::steady_clock::now();
      if (now - last_line_ < kLineEvery) return;
      last_line_ = now;
      Draw(BarText(caption_, Values, rates, kDefaultWidth - 1) + "\n");
      return;
    }
  }
}

void ProgressDisplay::ShowCount(const std::string& What, int64_t Count) {
  switch (mode_) {
    case ProgressMode::Hidden:
    case ProgressMode::Lines:
      return;
    case ProgressMode::Json:
      EmitJson(platform::JsonObject().Add("event", "count").Add("what", What).Add("count", Count));
      return;
    case ProgressMode::Bar:
      Draw("\r" + caption_ + ": " + std::to_string(Count) + " " + What + "\x1b[K");
      drawn_ = true;
      return;
  }
}

void ProgressDisplay::ShowPercent(int32_t Percent, const char* Phase) {
  Percent = std::clamp(Percent, 0, 100);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string text = caption_ + Format(" %3.0f%%", Percent);
  if (Phase != nullptr) text += std::string("  ") + Phase;
  text += "  " + Duration(elapsed);
  switch (mode_) {
    case ProgressMode::Hidden:
      return;
    case ProgressMode::Json: {
      platform::JsonObject event;
      event.Add("event", "progress").Add("percent", Percent);
      if (Phase != nullptr) event.Add("phase", Phase);
      event.Add("elapsed_ms", static_cast<int64_t>(elapsed * 1000));
      EmitJson(event);
      return;
    }
    case ProgressMode::Bar: {
      const int width = TerminalWidth() - 1;
      if (static_cast<int>(text.size()) > width)
        text.resize(static_cast<size_t>(std::max(width, 0)));
      Draw("\r" + text + "\x1b[K");
      drawn_ = true;
      return;
    }
    case ProgressMode::Lines: {
      const auto now = std::chrono::steady_clock::now();
      if (now - last_line_ < kLineEvery) return;
      last_line_ = now;
      Draw(text + "\n");
      return;
    }
  }
}

void ProgressDisplay::Finish() {
  if (drawn_) Draw("\n");
  drawn_ = false;
}

void ProgressDisplay::Summary(const ProgressValues& Values, bool TestWrite) {
  if (mode_ != ProgressMode::Bar && mode_ != ProgressMode::Lines) return;
  Finish();
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string line =
      caption_ + ": " +
      Format("%.2f MB (%.0f sectors) in ", static_cast<double>(Values.Written) / kMegabyte,
             static_cast<double>(Values.Written / 2048)) +
      Duration(elapsed);
  if (elapsed > 0.05) {
    const double rate = static_cast<double>(Values.Written) / elapsed;
    line += Format(", %.1f MB/s", rate / kMegabyte);
    if (Values.BytesPerX > 0)
      line += Format(" (%.1fx)", rate / static_cast<double>(Values.BytesPerX));
  }
  Draw(line + "\n");
  if (TestWrite) Draw("test write: nothing was recorded\n");
}

}  // namespace cli
