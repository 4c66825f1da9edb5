#pragma once
// The frame every subcommand runs in: its options with the shared ones
// (--json, --quiet, --verbose, --help), the one place that prints results,
// refusals and failures (as text on standard error, or as one JSON object
// a line), the settings file, the component's log on standard error, and
// SIGINT/SIGTERM turned into an abort request while a job runs.
//
// A subcommand parses, plans through the job layer, runs, and reports:
// the frame does the first and the last.

#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_progress.h"
#include "jobs/outcome.h"
#include "platform/json.h"
#include "platform/settings.h"

class TzqCDBurner;

namespace cli {

// Writes one JSON object and a newline to the event stream (standard
// output, or standard error while standard output carries data) and
// flushes it.
void EmitJson(const platform::JsonObject& Object);
// Sends the JSON events to standard error from now on.
void EventsToStandardError();

class Frame {
 public:
  // Name: the subcommand ("burn"); Usage: the text --help prints before
  // the option table.
  Frame(std::string Name, std::string Usage);

  Options& Opts() { return opts_; }
  const Options& Opts() const { return opts_; }

  // Parses Args after declaring the shared options (-q/--quiet only with
  // Progress). nullopt to go on; else the exit status to return at once:
  // --help printed, or a usage error reported. MaxPositional: how many
  // arguments the subcommand takes at most (-1: any number).
  std::optional<int> Parse(const std::vector<std::string>& Args, bool Progress = true);

  const std::string& Name() const { return name_; }
  bool Json() const { return json_; }
  bool Quiet() const { return quiet_; }
  bool Verbose() const { return verbose_; }
  ProgressMode Progress() const;

  // Output. Line: a line of text on standard output (invalid UTF-8 shown
  // as U+FFFD). Warn: "tidemark: warning: TEXT" on standard error, and a
  // "warning" event with --json.
  void Line(const std::string& Text) const;
  void Warn(const std::string& Text) const;
  void Warn(const std::vector<std::string>& Texts) const;

  // Bad usage: exit 2, "tidemark: MESSAGE (see tidemark NAME --help)".
  int Usage(const std::string& Message) const;
  // Any failure that has no outcome of its own: "tidemark: MESSAGE" and,
  // with --json, a result object with ok false and Extra's fields.
  int Fail(int Status, const std::string& Message,
           const platform::JsonObject& Extra = platform::JsonObject()) const;
  // A plan refused: the message and its details; the exit status its
  // category gives (2 input, 3 recorder, 1 the disc or the job). Advice
  // is a CLI-only hint added to the message ("--force replaces it").
  int Refuse(const jobs::Refusal& R, const std::string& Advice = std::string()) const;
  // A job's end: on success the result object (with --json; Result holds
  // the job's own fields) or SuccessText (unless --quiet); otherwise the
  // failure with everything the report holds. The exit status.
  int Report(const jobs::Outcome& O, platform::JsonObject Result,
             const std::string& SuccessText) const;
  // Each entry a job goes without: an "omitted" event, or a line on
  // standard error.
  void ReportOmissions(const std::vector<TOmission>& Omitted) const;

  // zqcb.ini as the application reads it (a settings file that is not a
  // regular file is not read, with a warning).
  platform::ProgramSettings Settings() const;
  // The component's log on standard error: warnings and errors always
  // (a failed command's line without its data bytes unless --verbose),
  // progress and trace lines with --verbose.
  void AttachLog(TzqCDBurner& Burner) const;

  // The exit status of a refusal category.
  static int StatusOf(jobs::Category Kind);

 private:
  std::string name_;
  std::string usage_;
  Options opts_;
  bool json_ = false;
  bool quiet_ = false;
  bool verbose_ = false;
};

// The JSON fields of a failure report (phase, command, sense, disc state).
void AddFailureFields(platform::JsonObject& Object, const jobs::FailureReport& Report);
// The JSON form of entries left out.
platform::JsonArray OmissionArray(const std::vector<TOmission>& Omitted);

// While one lives, SIGINT and SIGTERM request an abort of the running job
// (and set the flag Interrupted reads); SIGPIPE is ignored.
class InterruptScope {
 public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
  struct sigaction old_pipe_ {};
};
bool Interrupted();

// Runs one of the component's write jobs to its very end: Start begins it
// (false: it could not start, as when another job runs), its end is
// awaited through OnWriteDone, progress shown every 500 ms, an interrupt
// turned into AbortWrite. The job's error text: empty on success.
std::string RunWriteJob(TzqCDBurner& Burner, const std::function<bool()>& Start,
                        ProgressDisplay& Display);
// The values a job's progress display shows, read from the component.
ProgressValues JobProgress(const TzqCDBurner& Burner);

}  // namespace cli
