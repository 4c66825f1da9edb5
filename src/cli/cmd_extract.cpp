// tidemark extract: copies a file, or a folder with everything below it,
// from a session of the disc in the recorder to a local path.

#include <chrono>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_frame.h"
#include "cli/cli_read.h"
#include "cli/command.h"
#include "jobs/extract.h"
#include "platform/utf8.h"

namespace {

constexpr const char* kUsage =
    "usage: tidemark extract [--session N] [--force] PATH DEST\n\n"
    "Copies PATH from a session of the disc (default: the last) to DEST. A file is\n"
    "written as DEST (or into DEST under its own name when DEST is a folder); a folder's\n"
    "contents, with everything below them, are written into the folder DEST, which is\n"
    "created when missing. Existing files are not replaced unless --force is given.\n"
    "Entries that could not be read or written are listed, and the exit status is 1.\n\n";

constexpr auto kRefresh = std::chrono::milliseconds(500);

// The entries not extracted, after the failure's message.
void ListFailures(const jobs::ExtractResult& R) {
  for (const TOmission& o : R.Unread)
    std::fprintf(stderr, "  %s\n", platform::SanitizeUtf8(o.Message).c_str());
  for (const jobs::NotExtracted& n : R.Failed)
    std::fprintf(stderr, "  %s: %s\n", platform::SanitizeUtf8(n.Target).c_str(),
                 platform::SanitizeUtf8(n.Reason).c_str());
}

int RunExtract(const std::vector<std::string>& Args) {
  cli::Frame f("extract", kUsage);
  f.Opts().Add("--force", "", "replace existing files");
  cli::AddReadOptions(f.Opts());
  if (const auto status = f.Parse(Args)) return *status;
  if (f.Opts().Positional().size() != 2) return f.Usage("extract needs PATH and DEST");

  TzqCDBurner burner;
  f.AttachLog(burner);
  if (const auto status = cli::OpenSession(f, burner)) return *status;
  jobs::ExtractRequest request;
  request.Path = f.Opts().Positional()[0];
  request.Dest = f.Opts().Positional()[1];
  request.Force = f.Opts().Has("--force");
  const auto plan = jobs::PlanExtract(burner, request);
  if (!plan)
    return f.Refuse(*plan.Refused,
                    plan.Refused->Code == "target-exists" ? "--force replaces it" : "");

  cli::ProgressDisplay display(f.Progress(), "Extracting");
  cli::ProgressValues progress;
  progress.Total = plan.Value.Bytes;
  progress.Phase = "reading";
  auto next_refresh = std::chrono::steady_clock::now();
  cli::InterruptScope interrupts;
  const jobs::ExtractResult r = jobs::RunExtract(
      burner, plan.Value,
      [&](int64_t Done) {
        progress.Written = Done;
        const auto now = std::chrono::steady_clock::now();
        if (now < next_refresh) return;
        next_refresh = now + kRefresh;
        display.Show(progress);
      },
      [] { return cli::Interrupted(); });
  progress.Written = r.Bytes;
  display.Show(progress);
  display.Finish();
  if (r.Result.Ok()) display.Summary(progress, false);

  platform::JsonObject result;
  result.Add("dest", plan.Value.Dest)
      .Add("files", r.Files)
      .Add("folders", r.Folders)
      .Add("bytes", r.Bytes);
  if (!r.Result.Ok()) {
    result.Add("unread", cli::OmissionArray(r.Unread));
    platform::JsonArray failed;
    for (const jobs::NotExtracted& n : r.Failed)
      failed.Push(platform::JsonObject().Add("path", n.Target).Add("reason", n.Reason));
    result.Add("not_extracted", failed);
  }
  const std::string done = std::to_string(r.Files) + (r.Files == 1 ? " file" : " files") + " (" +
                           std::to_string(r.Bytes) + " bytes) extracted to " + plan.Value.Dest;
  const int status = f.Report(r.Result, result, done);
  if (!r.Result.Ok()) ListFailures(r);
  return status;
}

}  // namespace

TIDEMARK_COMMAND("extract", "copy a file or folder from a session of the disc", RunExtract);
