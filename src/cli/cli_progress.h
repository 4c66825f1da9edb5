#pragma once
// Progress of a long job as the tidemark command shows it: a bar on
// standard error (only when it is a terminal, and not with --quiet), or
// one JSON progress event per refresh with --json. The job's poller calls
// Show every 500 ms.

#include <cstdint>
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
};

enum class ProgressMode { Hidden, Bar, Json };

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

  // The bar's text for these values and terminal width (no line end).
  static std::string BarText(const std::string& Caption, const ProgressValues& Values, int Width);

  // The mode a subcommand's options and standard error give.
  static ProgressMode ModeFor(bool Json, bool Quiet);

 private:
  ProgressMode mode_;
  std::string caption_;
  bool drawn_ = false;
};

}  // namespace cli
