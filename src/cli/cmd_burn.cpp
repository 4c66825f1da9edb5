// tidemark burn and tidemark burn-image: a compilation of files and folders
// burned as a new session of the disc in the recorder, as the window's
// Start Burn does, and an existing image file burned to an empty disc, as
// its Burn ISO does.

#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_compilation.h"
#include "cli/cli_device.h"
#include "cli/cli_frame.h"
#include "cli/cli_recorder.h"
#include "cli/cli_system.h"
#include "cli/command.h"
#include "jobs/disc_jobs.h"

namespace {

constexpr const char* kBurnUsage =
    "usage: tidemark burn [OPTIONS] SOURCE... | DEST=SOURCE...\n\n"
    "Burns the files and folders given as a new ISO 9660 + Joliet session of the disc in\n"
    "the recorder. A SOURCE goes into the session's root (a folder with its own name);\n"
    "DEST=SOURCE puts it into the folder DEST. A CD-R, CD-RW, DVD-R, DVD-RW or DVD+R\n"
    "takes the session after the ones it holds; a DVD+RW, DVD-RAM or DVD-RW in\n"
    "restricted overwrite is overwritten from its start.\n\n";
constexpr const char* kImageUsage =
    "usage: tidemark burn-image [OPTIONS] IMAGE\n\n"
    "Burns an existing image file, byte for byte, to the empty disc in the recorder.\n\n";

constexpr const char* kSucceeded = "Burning has completed successfully!";
constexpr const char* kDefaultVolume = "NEW";

void AddJobOptions(cli::Options& Opts) {
  Opts.Add("--speed", "Nx|max", "write speed in the medium's own units (default: max)")
      .Add("--test", "", "test write: the recorder simulates, nothing is recorded")
      .Add("--eject", "", "open the tray after a successful burn");
  cli::AddRecorderOptions(Opts);
  cli::AddUnmountOption(Opts);
}

// The recorder selected and its write speed set: nullopt to go on.
std::optional<int> OpenForBurning(const cli::Frame& F, TzqCDBurner& Burner) {
  const std::string speed_text = F.Opts().Value("--speed").value_or("max");
  const auto speed = cli::ParseSpeedX(speed_text);
  if (!speed) return F.Usage("--speed takes Nx or max, not " + speed_text);
  std::string error;
  if (const int status = cli::OpenRecorder(Burner, F.Opts(), error); status != cli::kExitOk)
    return F.Fail(status, error);
  if (const auto status = cli::ReleaseMountedDisc(Burner, F)) return status;
  Burner.SetWriteSpeed(jobs::SpeedForMedium(*speed, Burner.GetMediaType()));
  return std::nullopt;
}

// Runs the planned burn and reports it: the exit status.
int Burn(const cli::Frame& F, TzqCDBurner& Burner, const jobs::BurnPlan& Plan,
         const std::function<bool()>& Start) {
  F.Warn(Plan.Warnings);
  if (Plan.ReplacesDisc) F.Warn(jobs::ReplaceNote(Plan));
  F.ReportOmissions(Plan.Omitted);
  const platform::SleepInhibitor awake = cli::KeepAwake(F, "Writing a disc");
  cli::ProgressDisplay display(F.Progress(), "Burning");
  const std::string error = cli::RunWriteJob(Burner, Start, display);
  const jobs::Outcome outcome = jobs::FinishBurn(Burner, Plan, error);
  if (outcome.Ok()) display.Summary(cli::JobProgress(Burner), Burner.TestWrite);
  if (outcome.Ok() && F.Opts().Has("--eject")) cli::EjectAfterJob(F, Burner);
  platform::JsonObject result;
  result.Add("session_start", Burner.SessionStart)
      .Add("sectors", static_cast<int64_t>(Burner.BytesWritten.load() / 2048))
      .Add("test", Burner.TestWrite)
      .Add("omitted", static_cast<int64_t>(Plan.Omitted.size()));
  return F.Report(outcome, result, kSucceeded);
}

int RunBurn(const std::vector<std::string>& Args) {
  cli::Frame f("burn", kBurnUsage);
  f.Opts()
      .Add("--close-disc", "", "close the disc: no session can follow")
      .Add("--no-close-track", "", "leave the session open (not closed after writing)")
      .Add("--opc", "", "power calibration before writing")
      .Add("--no-underrun-protection", "", "no buffer underrun protection");
  cli::AddCompilationOptions(f.Opts(), kDefaultVolume);
  f.Opts()
      .Add("--continue", "", "continue the disc: its session's files stay in the new one")
      .Add("--session", "N", "with --continue: the session to continue (default: the last)");
  AddJobOptions(f.Opts());
  if (const auto status = f.Parse(Args)) return *status;
  const bool continuing = f.Opts().Has("--continue");
  if (f.Opts().Has("--session") && !continuing) return f.Usage("--session goes with --continue");
  const auto session = cli::SessionOption(f.Opts());
  if (!session) return f.Usage("--session takes a session number from 1 to 255");
  if (f.Opts().Positional().empty()) return f.Usage("burn needs at least one SOURCE");

  const platform::ProgramSettings settings = f.Settings();
  cli::CompilationArgs args;
  if (const auto status = cli::ReadCompilationArgs(f, settings, kDefaultVolume, args))
    return *status;
  TzqCDBurner burner;
  f.AttachLog(burner);
  burner.FinalizeDisc = f.Opts().Has("--close-disc") || settings.CloseDisc;
  burner.FinalizeTrack = !f.Opts().Has("--no-close-track");
  burner.TestWrite = f.Opts().Has("--test") || settings.TestWrite;
  burner.PerformOPC = f.Opts().Has("--opc") || settings.PerformOPC;
  burner.UnderrunProtection = !f.Opts().Has("--no-underrun-protection");
  if (const auto status = OpenForBurning(f, burner)) return *status;

  burner.ClearAll(jobs::kMaxEntries, jobs::kMaxFolders);
  if (continuing)
    if (const auto refused = jobs::ContinueDisc(burner, *session)) return f.Refuse(*refused);
  cli::BuildCompilation(f, burner, args);
  jobs::BurnRequest request;
  request.SkipUnadded = args.SkipUnadded;
  request.ClearArchive = args.ArchiveOnly;
  const auto plan = jobs::PlanBurn(burner, request);
  if (!plan) return f.Refuse(*plan.Refused, cli::AdviceFor(plan.Refused->Code));
  return Burn(f, burner, plan.Value, [&burner] { return burner.BurnCD(); });
}

int RunBurnImage(const std::vector<std::string>& Args) {
  cli::Frame f("burn-image", kImageUsage);
  AddJobOptions(f.Opts());
  if (const auto status = f.Parse(Args)) return *status;
  if (f.Opts().Positional().size() != 1) return f.Usage("burn-image needs one IMAGE");
  const std::string image = f.Opts().Positional().front();

  const platform::ProgramSettings settings = f.Settings();
  TzqCDBurner burner;
  f.AttachLog(burner);
  burner.FinalizeDisc = settings.CloseDisc;
  burner.TestWrite = f.Opts().Has("--test") || settings.TestWrite;
  burner.PerformOPC = settings.PerformOPC;
  burner.SetCacheSize(settings.CacheSize);
  // The file is looked at before the recorder is.
  if (const auto refused = jobs::CheckImageFile(image)) return f.Refuse(*refused);
  if (const auto status = OpenForBurning(f, burner)) return *status;
  const auto plan = jobs::PlanBurnImage(burner, image);
  if (!plan) return f.Refuse(*plan.Refused);
  return Burn(f, burner, plan.Value, [&burner, &image] { return burner.BurnISO(image); });
}

}  // namespace

TIDEMARK_COMMAND("burn", "burns files and folders as a new session of the disc", RunBurn);
TIDEMARK_COMMAND("burn-image", "burns an image file to an empty disc", RunBurnImage);
