#pragma once
// Saving the compilation as an image file. The plan checks the output
// (never one of the image's own sources; an existing file only when the
// user said to replace it) and lays the compilation out; the run writes a
// temporary file beside the output and puts it in the output's place only
// once the image is complete, so that a failure or an abort leaves a file
// it was to replace untouched.

#include <sys/types.h>

#include <string>
#include <vector>

#include "jobs/outcome.h"

namespace jobs {

// The output name that stands for standard output.
inline constexpr char kStandardOutput[] = "-";

struct SaveImageRequest {
  std::string Output;         // a path, or "-" for standard output
  bool Force = false;         // replace an existing output
  bool Quick = false;         // the synchronous quick save
  bool SkipUnadded = false;   // go on without the entries that could not be added
  bool ClearArchive = false;  // clear the sources' archive attributes after success
};

struct SaveImagePlan {
  std::string Output;  // absolute path, or "-"
  bool ToStandardOutput = false;
  bool Replaces = false;  // an existing file or link is replaced at the end
  bool InPlace = false;   // a device or FIFO: written where it is
  bool Quick = false;
  bool ClearArchive = false;
  std::vector<std::string> Warnings;
  std::vector<TOmission> Omitted;  // the entries the image goes without
  int64_t Sectors = 0;
};

Planned<SaveImagePlan> PlanSaveImage(TzqCDBurner& Burner, const SaveImageRequest& Request);

// The output checks alone, for a front end that asks before it replaces:
// refused with "output-exists" when the output exists and Force is false.
std::optional<Refusal> CheckImageOutput(const TzqCDBurner& Burner, const std::string& Output,
                                        bool Force, SaveImagePlan& Plan);

// One run of a planned save.
class ImageSave {
 public:
  ImageSave(TzqCDBurner& Burner, SaveImagePlan Plan);
  ~ImageSave();
  ImageSave(const ImageSave&) = delete;
  ImageSave& operator=(const ImageSave&) = delete;

  // Opens what the image is written into and starts the save; the job's
  // end comes through OnWriteDone as always (also when the file could not
  // be created). False only when another job runs: nothing started.
  bool Start();
  // After OnWriteDone(Error): the temporary file takes the output's place,
  // or is removed. The job's outcome.
  Outcome Finish(const std::string& Error);

  const SaveImagePlan& Plan() const { return plan_; }

 private:
  TzqCDBurner& burner_;
  SaveImagePlan plan_;
  std::string temporary_;
  int fd_ = -1;
};

}  // namespace jobs
