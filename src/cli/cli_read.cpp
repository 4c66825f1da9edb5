#include "cli/cli_read.h"

#include <string>

#include "burner/cd_burner.h"
#include "cli/cli_device.h"
#include "cli/cli_frame.h"
#include "cli/cli_recorder.h"
#include "cli/command.h"
#include "jobs/disc_jobs.h"

namespace cli {

void AddReadOptions(Options& Opts) {
  Opts.Add("--session", "N",
           "the session to read: 1 is the first; past the last, or by default, the last");
  AddRecorderOptions(Opts);
}

std::optional<int> OpenSession(const Frame& F, TzqCDBurner& Burner) {
  const auto session = SessionOption(F.Opts());
  if (!session) return F.Usage("invalid --session (a number from 1 to 255)");
  std::string error;
  if (const int status = OpenDisc(Burner, F, error); status != kExitOk)
    return F.Fail(status, error);
  if (const auto refused = jobs::ImportSession(Burner, *session)) return F.Refuse(*refused);
  return std::nullopt;
}

}  // namespace cli
