// tidemark burn and tidemark burn-image: a compilation of files and folders
// burned as a new session of the disc in the recorder, as the window's
// Start Burn does, and an existing image file burned to an empty disc, as
// its Burn ISO does.

#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_burn.h"
#include "cli/cli_compilation.h"
#include "cli/cli_device.h"
#include "cli/cli_job.h"
#include "cli/cli_json.h"
#include "cli/cli_options.h"
#include "cli/cli_progress.h"
#include "cli/cli_read_session.h"
#include "cli/command.h"
#include "platform/utf8.h"

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
constexpr const char* kEmptyCompilation = "Please add the file or directory first!";
constexpr const char* kDefaultVolume = "NEW";

struct Run {
  cli::Options opts;
  bool json = false;
};

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

int Fail(const Run& r, int Status, const std::string& Error) {
  if (r.json) cli::JsonObject().Add("event", "result").Add("ok", false).Add("error", Error).Print();
  std::fprintf(stderr, "tidemark: %s\n", Shown(Error).c_str());
  return Status;
}

void Note(const Run& r, const std::string& Text) {
  if (r.json)
    cli::JsonObject().Add("event", "note").Add("text", Text).Print();
  else
    std::fprintf(stderr, "tidemark: %s\n", Shown(Text).c_str());
}

void AddJobOptions(cli::Options& Opts) {
  Opts.Add("--speed", "Nx|max", "write speed in the medium's own units (default: max)")
      .Add("--test", "", "test write: the recorder simulates, nothing is recorded")
      .Add("--eject", "", "open the tray after a successful burn");
  cli::AddRecorderOptions(Opts);
  Opts.Add("-q,--quiet", "", "no progress bar")
      .Add("--json", "", "JSON events and result on standard output instead of text")
      .Add("-v,--verbose", "", "progress and trace lines of the component's log")
      .Add("-h,--help", "", "this help");
}

// Parses; a status to return at once, or -1 to go on.
int Parse(Run& r, const char* Name, const char* Usage, const std::vector<std::string>& Args) {
  const bool parsed = r.opts.Parse(Args);
  r.json = r.opts.Has("--json");
  if (!parsed) {
    return Fail(r, cli::kExitUsage, r.opts.Error() + " (see tidemark " + Name + " --help)");
  }
  if (r.opts.Has("--help")) {
    std::printf("%s%s", Usage, r.opts.HelpText().c_str());
    return cli::kExitOk;
  }
  return -1;
}

// The recorder selected and the disc looked at, the speed set: -1 to go
// on, else a status.
int OpenAndCheck(Run& r, TzqCDBurner& Burner, cli::LoadedDisc& Disc) {
  std::string error;
  if (const int st = cli::OpenRecorder(Burner, r.opts, error); st != cli::kExitOk)
    return Fail(r, st, error);
  Disc = cli::InspectDisc(Burner);
  const std::string speed_text = r.opts.Value("--speed").value_or("max");
  const std::optional<uint16_t> speed = cli::ParseSpeed(speed_text, Disc.MediaType);
  if (!speed) return Fail(r, cli::kExitUsage, "--speed takes Nx or max, not " + speed_text);
  if (const std::string refusal = cli::RefusalFor(Disc, Burner); !refusal.empty())
    return Fail(r, cli::kExitFailed, refusal);
  Burner.SetWriteSpeed(*speed);
  return -1;
}

// Runs the job and reports its end: the exit status.
int RunJob(Run& r, TzqCDBurner& Burner, const std::function<void()>& Start) {
  const cli::ProgressMode mode = cli::ProgressDisplay::ModeFor(r.json, r.opts.Has("--quiet"));
  cli::ProgressDisplay display(mode, "Burning");
  const std::string error = cli::RunWriteJob(Burner, Start, display);
  if (!error.empty()) return Fail(r, cli::kExitFailed, error);
  if (r.opts.Has("--eject")) cli::EjectAfterJob(Burner);
  if (r.json) {
    cli::JsonObject()
        .Add("event", "result")
        .Add("ok", true)
        .Add("session_start", Burner.SessionStart)
        .Add("sectors", static_cast<int64_t>(Burner.BytesWritten.load() / 2048))
        .Add("test", Burner.TestWrite)
        .Print();
  } else if (!r.opts.Has("--quiet")) {
    std::printf("%s\n", kSucceeded);
  }
  return cli::kExitOk;
}

int RunBurn(const std::vector<std::string>& Args) {
  Run r;
  r.opts.Add("--close-disc", "", "close the disc: no session can follow")
      .Add("--no-close-track", "", "leave the session open (not closed after writing)")
      .Add("--opc", "", "power calibration before writing")
      .Add("--no-underrun-protection", "", "no buffer underrun protection")
      .Add("--no-joliet", "", "no Joliet names: ISO 9660 names only")
      .Add("--volume", "NAME", "volume label (default: the settings file's, else NEW)")
      .Add("--archive-only", "", "add only files whose archive attribute is set; clear it after")
      .Add("--cache-size", "BYTES", "read-ahead cache size in bytes")
      .Add("--continue", "", "continue the disc: its session's files stay in the new one")
      .Add("--session", "N", "with --continue: the session to continue (default: the last)");
  AddJobOptions(r.opts);
  if (const int st = Parse(r, "burn", kBurnUsage, Args); st >= 0) return st;
  const bool continuing = r.opts.Has("--continue");
  if (r.opts.Has("--session") && !continuing)
    return Fail(r, cli::kExitUsage, "--session goes with --continue (see tidemark burn --help)");
  const std::optional<uint8_t> session = cli::SessionOption(r.opts);
  if (!session) return Fail(r, cli::kExitUsage, "--session takes a session number from 1 to 255");
  if (r.opts.Positional().empty())
    return Fail(r, cli::kExitUsage, "burn needs at least one SOURCE");
  std::optional<int32_t> cache_size;
  if (const auto text = r.opts.Value("--cache-size")) {
    char* end = nullptr;
    const long long v = std::strtoll(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || v <= 0 || v > INT32_MAX)
      return Fail(r, cli::kExitUsage, "invalid --cache-size " + *text + " (a size in bytes)");
    cache_size = static_cast<int32_t>(v);
  }
  std::vector<cli::SourceArg> sources;
  std::string error;
  if (!cli::ParseSources(r.opts.Positional(), sources, error))
    return Fail(r, cli::kExitUsage, error);

  const platform::ProgramSettings settings = cli::LoadProgramSettings();
  const bool archive_only = r.opts.Has("--archive-only") || settings.ArchiveFiles;
  TzqCDBurner burner;
  std::string last_log;
  cli::AttachLog(burner, r.opts.Has("--verbose"), &last_log);
  burner.DoDebug = r.opts.Has("--verbose");
  burner.FinalizeDisc = r.opts.Has("--close-disc") || settings.CloseDisc;
  burner.FinalizeTrack = !r.opts.Has("--no-close-track");
  burner.TestWrite = r.opts.Has("--test") || settings.TestWrite;
  burner.PerformOPC = r.opts.Has("--opc") || settings.PerformOPC;
  burner.UnderrunProtection = !r.opts.Has("--no-underrun-protection");
  burner.JolietFileSystem = !r.opts.Has("--no-joliet");
  burner.SetCacheSize(cache_size.value_or(settings.CacheSize));
  cli::LoadedDisc disc;
  if (const int st = OpenAndCheck(r, burner, disc); st >= 0) return st;

  burner.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  if (continuing) {
    // The new session starts at sector 0 of an overwritable disc, over
    // the data the imported entries point at.
    if (disc.Overwritable)
      return Fail(r, cli::kExitFailed,
                  "--continue is not possible on a " + disc.Name +
                      ": it is overwritten from its start, over the files of its session");
    if (!cli::ImportForReading(burner, *session, last_log, error))
      return Fail(r, cli::kExitFailed, error);
  }
  burner.StripSourcePath = true;
  const cli::ProgressMode mode = cli::ProgressDisplay::ModeFor(r.json, r.opts.Has("--quiet"));
  {
    cli::ProgressDisplay adding(mode, "Adding");
    cli::AddSources(burner, sources, archive_only, &adding);
  }
  if (burner.DirsCount() == 0 && burner.FilesCount() == 0)
    return Fail(r, cli::kExitUsage, kEmptyCompilation);
  const std::string volume = r.opts.Value("--volume").value_or(settings.VolumeLable);
  burner.IdVolume = volume.empty() ? kDefaultVolume : volume;
  if (disc.Overwritable && disc.HoldsFileSystem && !burner.TestWrite)
    Note(r, "the " + disc.Name + " is overwritten from its start: what it holds is replaced");
  if (!burner.Prepare(false))
    return Fail(r, cli::kExitFailed,
                last_log.empty() ? "THE COMPILATION CANNOT BE LAID OUT" : last_log);
  const int status = RunJob(r, burner, [&burner] { burner.BurnCD(); });
  if (status == cli::kExitOk && archive_only) burner.ClearArchiveBits();
  return status;
}

int RunBurnImage(const std::vector<std::string>& Args) {
  Run r;
  AddJobOptions(r.opts);
  if (const int st = Parse(r, "burn-image", kImageUsage, Args); st >= 0) return st;
  if (r.opts.Positional().size() != 1)
    return Fail(r, cli::kExitUsage, "burn-image needs one IMAGE (see tidemark burn-image --help)");
  const std::string image = r.opts.Positional().front();
  struct stat st {};
  if (stat(image.c_str(), &st) != 0) return Fail(r, cli::kExitUsage, image + ": no such file");
  if (!S_ISREG(st.st_mode)) return Fail(r, cli::kExitUsage, image + " is not a file");
  if (st.st_size == 0) return Fail(r, cli::kExitUsage, image + " is empty");

  const platform::ProgramSettings settings = cli::LoadProgramSettings();
  TzqCDBurner burner;
  cli::AttachLog(burner, r.opts.Has("--verbose"));
  burner.DoDebug = r.opts.Has("--verbose");
  burner.FinalizeDisc = settings.CloseDisc;
  burner.TestWrite = r.opts.Has("--test") || settings.TestWrite;
  burner.PerformOPC = settings.PerformOPC;
  burner.SetCacheSize(settings.CacheSize);
  cli::LoadedDisc disc;
  if (const int s = OpenAndCheck(r, burner, disc); s >= 0) return s;
  if (disc.Overwritable && disc.HoldsFileSystem && !burner.TestWrite)
    Note(r, "the " + disc.Name + " is overwritten from its start: what it holds is replaced");
  return RunJob(r, burner, [&burner, &image] { burner.BurnISO(image); });
}

}  // namespace

TIDEMARK_COMMAND("burn", "burns files and folders as a new session of the disc", RunBurn);
TIDEMARK_COMMAND("burn-image", "burns an image file to an empty disc", RunBurnImage);
