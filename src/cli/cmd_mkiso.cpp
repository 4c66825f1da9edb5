// tidemark mkiso: saves a compilation of files and folders as an ISO 9660
// + Joliet image file, as the window's Save ISO command does.

#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_compilation.h"
#include "cli/cli_frame.h"
#include "cli/command.h"
#include "jobs/save_image.h"

namespace {

constexpr const char* kUsage =
    "usage: tidemark mkiso -o FILE [OPTIONS] SOURCE... | DEST=SOURCE...\n\n"
    "Saves the files and folders given as an ISO 9660 + Joliet image file. A SOURCE goes\n"
    "into the image's root (a folder with its own name); DEST=SOURCE puts it into the\n"
    "image folder DEST, which is created as needed. -o - writes the image to standard\n"
    "output (progress and --json events then go to standard error). An existing FILE is\n"
    "replaced only with --force, and only once the new image is complete.\n\n";

constexpr const char* kSucceeded = "ISO file has saved successfully!";

int RunMkiso(const std::vector<std::string>& Args) {
  cli::Frame f("mkiso", kUsage);
  f.Opts().Add("-o,--output", "FILE", "the image file to write (- for standard output)");
  cli::AddCompilationOptions(f.Opts(), "none");
  f.Opts()
      .Add("--quick", "", "quick save: write on this thread, without read-ahead cache")
      .Add("--force", "", "replace an existing image file");
  if (const auto status = f.Parse(Args)) return *status;
  const auto output = f.Opts().Value("--output");
  if (output && *output == jobs::kStandardOutput) cli::EventsToStandardError();
  if (!output || output->empty()) return f.Usage("mkiso needs -o FILE");
  if (f.Opts().Positional().empty()) return f.Usage("mkiso needs at least one SOURCE");

  const platform::ProgramSettings settings = f.Settings();
  cli::CompilationArgs args;
  if (const auto status = cli::ReadCompilationArgs(f, settings, "", args)) return *status;

  TzqCDBurner burner;
  f.AttachLog(burner);
  burner.ClearAll(jobs::kMaxEntries, jobs::kMaxFolders);
  cli::BuildCompilation(f, burner, args);

  jobs::SaveImageRequest request;
  request.Output = *output;
  request.Force = f.Opts().Has("--force");
  request.Quick = f.Opts().Has("--quick") || settings.QuickSaveISO;
  request.SkipUnadded = args.SkipUnadded;
  request.ClearArchive = args.ArchiveOnly;
  const auto plan = jobs::PlanSaveImage(burner, request);
  if (!plan) return f.Refuse(*plan.Refused, cli::AdviceFor(plan.Refused->Code));
  f.Warn(plan.Value.Warnings);
  f.ReportOmissions(plan.Value.Omitted);

  jobs::ImageSave save(burner, plan.Value);
  cli::ProgressDisplay display(f.Progress(), "Saving");
  const std::string error = cli::RunWriteJob(
      burner, [&save] { return save.Start(); }, display);
  const jobs::Outcome outcome = save.Finish(error);
  if (outcome.Ok()) display.Summary(cli::JobProgress(burner), false);
  platform::JsonObject result;
  result.Add("file", plan.Value.Output)
      .Add("sectors", plan.Value.Sectors)
      .Add("bytes", plan.Value.Sectors * 2048)
      .Add("omitted", static_cast<int64_t>(plan.Value.Omitted.size()));
  const int status = f.Report(outcome, result, kSucceeded);
  if (outcome.Ok() && !plan.Value.Omitted.empty() && !f.Json())
    f.Warn(jobs::OmissionsSummary(plan.Value.Omitted.size()) + "; the image goes without them");
  return status;
}

}  // namespace

TIDEMARK_COMMAND("mkiso", "save files and folders as an ISO 9660 + Joliet image file", RunMkiso);
