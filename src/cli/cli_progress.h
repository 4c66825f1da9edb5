#pragma once
// Progress of a long job as the tidemark command shows it: on a terminal a
// line on standard error redrawn in place, fitted to the terminal's width
// by leaving fields out rather than wrapping; on anything else a plain
// line every 5 s; with --json one progress event per refresh; nothing
// with --quiet. The job's poller calls Show every 500 ms.

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

namespace cli {

struct ProgressValues {
  int64_t Written = 0;     // bytes handed to the image file or the recorder
  int64_t Total = 0;       // bytes the job writes in all
  int32_t HostBuffer = 0;  // read-ahead buffer level, percent
  // The recorder's buffer: used and size in bytes; no recorder when the
  // size is 0.
  int64_t RecorderUsed = 0;
  int64_t RecorderSize = 0;
  // What the job is doing ("writing", "closing-session"); null when the
  // job has no phases.
  const char* Phase = nullptr;
  // Bytes a second that make 1x of the medium (0: no medium, an image file).
  int64_t BytesPerX = 0;
};

// What the display works out over time.
struct ProgressRates {
  double Elapsed = 0;         // seconds since the job began
  double BytesPerSecond = 0;  // over the last few seconds; 0 while unknown
  double Remaining = -1;      // seconds to the end of the data; -1 while unknown
};

enum class ProgressMode { Hidden, Bar, Lines, Json };

class ProgressDisplay {
 public:
  // Caption: what the bar stands for ("Saving", "Burning").
  ProgressDisplay(ProgressMode Mode, std::string Caption);
  ~ProgressDisplay() { Finish(); }

  void Show(const ProgressValues& Values);
  // Work without a known total (adding folders): how many so far.
  void ShowCount(const std::string& What, int64_t Count);
  // Work measured in percent only (erasing); Phase as in ProgressValues.
  void ShowPercent(int32_t Percent, const char* Phase = nullptr);
  // Ends the bar's line; nothing more is drawn.
  void Finish();
  // After a job that did all it was asked: what was written, in how long
  // and how fast (not in JSON, where the result says it).
  void Summary(const ProgressValues& Values, bool TestWrite);

  // The progress text for these values, never longer than Width (fields
  // left out as the width shrinks: the bar first, the least needed last).
  static std::string BarText(const std::string& Caption, const ProgressValues& Values,
                             const ProgressRates& Rates, int Width);
  // "1:05", "1:02:07".
  static std::string Duration(double Seconds);

  // The mode a subcommand's options and standard error give.
  static ProgressMode ModeFor(bool Json, bool Quiet);

 private:
  ProgressRates Rates(const ProgressValues& Values);

  ProgressMode mode_;
  std::string caption_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_line_;
  // (time, bytes) samples for the current speed.
  std::deque<std::pair<std::chrono::steady_clock::time_point, int64_t>> samples_;
};

}  // namespace cli
