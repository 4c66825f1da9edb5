#pragma once
// What a job's plan step and run step give back. A plan is refused before
// anything is written (Refusal); a job that ran ends in an Outcome that
// says plainly whether everything asked for was done.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "burner/cd_burner.h"

namespace jobs {

// Who has to act on a refusal: the user's input (options, paths, the
// compilation), the recorder (none, or none that answers), or the disc
// and the job itself.
enum class Category : uint8_t { Input, Recorder, Job };

struct Refusal {
  Category Kind = Category::Input;
  // A word for machine readers ("output-exists", "omissions", ...).
  std::string Code;
  // The system's message, as the window shows it.
  std::string Message;
  // What the message is about, a line each (the entries left out, ...).
  std::vector<std::string> Details;
  std::vector<TOmission> Omitted;
};

Refusal Refuse(Category Kind, std::string Code, std::string Message);

// The plan of a job, or why there is none.
template <typename Plan>
struct Planned {
  std::optional<Refusal> Refused;
  Plan Value;
  explicit operator bool() const { return !Refused.has_value(); }
  static Planned No(Refusal R) {
    Planned p;
    p.Refused = std::move(R);
    return p;
  }
};

// The word for a phase in reports and events ("closing-session").
const char* PhaseName(TJobPhase Phase);

// How the disc was left, read back after a job on it failed.
enum class DiscState : uint8_t {
  Blank,
  Appendable,
  IncompleteTrack,
  IncompleteSession,
  ReservedTrack,
  Closed,
  Unknown,
};
const char* DiscStateName(DiscState State);

// The drive command a job failed on.
struct FailedCommand {
  std::string Name;  // "WRITE (10)"
  uint8_t Opcode = 0;
  std::optional<int64_t> Sector;  // the first block it addressed, for those that address one
  uint8_t SenseKey = 0;
  uint8_t Asc = 0;
  uint8_t Ascq = 0;
  std::string SenseText;  // the drive's failure in words
};

// Everything a user needs to act on a failed job.
struct FailureReport {
  TJobPhase Phase = TJobPhase::Preparing;
  std::optional<FailedCommand> Command;
  std::optional<int64_t> SectorsWritten;  // jobs on a disc
  std::optional<DiscState> Disc;          // read back after a job on a disc
  std::string Hint;                       // one line: what to do next
};

enum class Result : uint8_t { Success, Failure, Aborted };

struct Outcome {
  Result Kind = Result::Success;
  std::string Message;  // the failure's text; empty on success
  std::optional<FailureReport> Failure;
  bool Ok() const { return Kind == Result::Success; }
};

Outcome Succeeded();
Outcome Failed(std::string Message);

// The outcome of a write job that reported Error through OnWriteDone
// (empty on success): aborted, or failed with what the writer recorded.
// OnDisc: the job wrote to the disc in the recorder, whose state is read
// back after a failure (call it once no writer uses the recorder).
Outcome WriteOutcome(TzqCDBurner& Burner, const std::string& Error, bool OnDisc);

// The text the front ends print under a failure's message, a line each:
// "phase: writing", "command: WRITE (10) at sector 4096", ...
std::vector<std::string> FailureLines(const FailureReport& Report);

}  // namespace jobs
