#pragma once
// Jobs on the disc in the recorder: burning the compilation as a new
// session, burning an image file, erasing, and importing a session to
// continue or read the disc. Each plan looks at the loaded disc and says
// before anything is written why the job cannot run there.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jobs/outcome.h"

namespace jobs {

// What is in the recorder, as a job about to write to it needs to know.
struct LoadedDisc {
  uint16_t MediaType = 0;
  bool Present = false;          // a disc is in the drive
  bool Writable = false;         // written once or overwritable
  bool Overwritable = false;     // a session replaces the disc from sector 0
  bool CanSimulate = false;      // a test write records nothing
  bool HoldsFileSystem = false;  // an ISO 9660 volume begins at sector 16
  std::string Name;              // the media name
};
LoadedDisc InspectDisc(TzqCDBurner& Burner);

// A write speed in the loaded medium's own x (8x on a DVD is 8 x 1,385
// kB/s) as the component's write speed (CD x); 0 stays the maximum.
uint16_t SpeedForMedium(uint32_t X, uint16_t MediaType);

struct BurnPlan {
  LoadedDisc Disc;
  // The disc is overwritable and holds a file system, which the burn
  // replaces (a test write replaces nothing).
  bool ReplacesDisc = false;
  bool ClearArchive = false;  // clear the sources' archive attributes after success
  std::vector<std::string> Warnings;
  std::vector<TOmission> Omitted;  // the entries the session goes without
  int64_t Sectors = 0;
};

struct BurnRequest {
  bool SkipUnadded = false;
  bool ClearArchive = false;
  // Lay the compilation out as the last check; a front end that asks the
  // user first lays it out (LayOut) once the answer is yes.
  bool LayOut = true;
};

// The compilation as a new session of the loaded disc, with the
// component's recording settings (TestWrite, FinalizeDisc, ...) as they
// are set: the disc, the compilation and its layout checked.
Planned<BurnPlan> PlanBurn(TzqCDBurner& Burner, const BurnRequest& Request);
// An image file that can be burned: a regular file, not empty.
std::optional<Refusal> CheckImageFile(const std::string& Image);
// An image file to the loaded (empty) disc.
Planned<BurnPlan> PlanBurnImage(TzqCDBurner& Burner, const std::string& Image);
// The words for a burn that replaces what the disc holds.
std::string ReplaceNote(const BurnPlan& Plan);
// After OnWriteDone(Error) of a burn: the outcome, with the disc's state
// read back after a failure.
Outcome FinishBurn(TzqCDBurner& Burner, const BurnPlan& Plan, const std::string& Error);

// Erasing: the loaded disc must be rewritable.
struct ErasePlan {
  LoadedDisc Disc;
  bool Formats = false;  // a DVD+RW or DVD-RAM is formatted, not blanked
};
Planned<ErasePlan> PlanErase(TzqCDBurner& Burner);
Outcome FinishErase(TzqCDBurner& Burner, const ErasePlan& Plan, bool WithError);

// The session Session (1-based; 255: the last) imported into the emptied
// compilation (the application's limits). Refused (Job) when no session
// could be read at all; what could not be read is in the compilation's
// omissions.
std::optional<Refusal> ImportSession(TzqCDBurner& Burner, uint8_t Session);
// The session Session imported so that the burn continues the disc: an
// overwritable disc is refused first (a new session would be written
// from its start, over the imported files' data).
std::optional<Refusal> ContinueDisc(TzqCDBurner& Burner, uint8_t Session);
// The text for entries an import could not read.
std::string UnreadSummary(size_t Count);

}  // namespace jobs
