// tidemark mkiso: saves a compilation of files and folders as an ISO 9660
// + Joliet image file, as the window's Save ISO command does.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_compilation.h"
#include "cli/cli_job.h"
#include "cli/cli_json.h"
#include "cli/cli_options.h"
#include "cli/cli_progress.h"
#include "cli/command.h"
#include "platform/utf8.h"

namespace {

constexpr const char* kUsage =
    "usage: tidemark mkiso -o FILE [OPTIONS] SOURCE... | DEST=SOURCE...\n\n"
    "Saves the files and folders given as an ISO 9660 + Joliet image file. A SOURCE goes\n"
    "into the image's root (a folder with its own name); DEST=SOURCE puts it into the\n"
    "image folder DEST, which is created as needed.\n\n";

constexpr const char* kSucceeded = "ISO file has saved successfully!";
constexpr const char* kEmptyCompilation = "Please add the file or directory first!";

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

// With --json the refusal is the result object too.
bool json_output = false;

int Usage(const std::string& Message) {
  if (json_output)
    cli::JsonObject().Add("event", "result").Add("ok", false).Add("error", Message).Print();
  std::fprintf(stderr, "tidemark: %s\n", Shown(Message).c_str());
  return cli::kExitUsage;
}

// Bytes, with an optional K, M or G (binary) suffix; at least 1, at most
// what the component's 32-bit property holds.
std::optional<int32_t> ParseCacheSize(const std::string& Text) {
  if (Text.empty() || Text[0] < '0' || Text[0] > '9') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  unsigned long long value = std::strtoull(Text.c_str(), &end, 10);
  if (errno != 0) return std::nullopt;
  const std::string suffix(end);
  unsigned long long scale = 1;
  if (suffix == "K" || suffix == "k")
    scale = 1ULL << 10;
  else if (suffix == "M" || suffix == "m")
    scale = 1ULL << 20;
  else if (suffix == "G" || suffix == "g")
    scale = 1ULL << 30;
  else if (!suffix.empty())
    return std::nullopt;
  if (value == 0 || value > static_cast<unsigned long long>(INT32_MAX) / scale) return std::nullopt;
  return static_cast<int32_t>(value * scale);
}

// What the output file was before the job, so that a failed job removes
// only what it wrote itself.
struct OutputState {
  bool existed = false;
  struct stat st {};
};

OutputState ReadOutputState(const std::string& Path) {
  OutputState s;
  s.existed = stat(Path.c_str(), &s.st) == 0;
  return s;
}

bool Touched(const OutputState& Before, const std::string& Path) {
  struct stat now {};
  // Only a regular file is ever removed (never a device or a pipe).
  if (lstat(Path.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) return false;
  if (!Before.existed) return true;
  return now.st_ino != Before.st.st_ino || now.st_size != Before.st.st_size ||
         now.st_mtim.tv_sec != Before.st.st_mtim.tv_sec ||
         now.st_mtim.tv_nsec != Before.st.st_mtim.tv_nsec;
}

void PrintResult(bool Json, const std::string& Output, const std::string& Error) {
  if (Json) {
    cli::JsonObject result;
    result.Add("event", "result").Add("ok", Error.empty()).Add("file", Output);
    struct stat st {};
    if (Error.empty() && stat(Output.c_str(), &st) == 0)
      result.Add("sectors", static_cast<int64_t>(st.st_size / 2048))
          .Add("bytes", static_cast<int64_t>(st.st_size));
    else if (!Error.empty())
      result.Add("error", Error);
    result.Print();
  }
  if (!Error.empty()) std::fprintf(stderr, "tidemark: %s\n", Shown(Error).c_str());
}

int RunMkiso(const std::vector<std::string>& args) {
  cli::Options opts;
  opts.Add("-o,--output", "FILE", "the image file to write")
      .Add("--volume", "NAME", "volume label (default: the settings file's, else none)")
      .Add("--no-joliet", "", "no Joliet names: ISO 9660 names only")
      .Add("--quick", "", "quick save: write on this thread, without read-ahead cache")
      .Add("--archive-only", "", "add only files whose archive attribute is set; clear it after")
      .Add("--cache-size", "BYTES", "read-ahead cache size (K, M or G suffix allowed)")
      .Add("--force", "", "replace an existing image file")
      .Add("-q,--quiet", "", "no progress bar")
      .Add("--json", "", "JSON events and result on standard output instead of text")
      .Add("-v,--verbose", "", "progress and trace lines of the component's log")
      .Add("-h,--help", "", "this help");
  const bool parsed = opts.Parse(args);
  json_output = opts.Has("--json");
  if (!parsed) return Usage(opts.Error() + " (see tidemark mkiso --help)");
  if (opts.Has("--help")) {
    std::printf("%s%s", kUsage, opts.HelpText().c_str());
    return cli::kExitOk;
  }
  const auto output_arg = opts.Value("--output");
  if (!output_arg || output_arg->empty()) return Usage("mkiso needs -o FILE");
  if (opts.Positional().empty()) return Usage("mkiso needs at least one SOURCE");
  const bool json = json_output;

  std::optional<int32_t> cache_size;
  if (const auto text = opts.Value("--cache-size")) {
    cache_size = ParseCacheSize(*text);
    if (!cache_size) return Usage("invalid --cache-size " + *text + " (a size in bytes)");
  }

  // The output: its folder must exist, and an existing file is replaced
  // only when asked.
  std::error_code ec;
  const std::string output = std::filesystem::absolute(*output_arg, ec).lexically_normal().string();
  const std::string folder = std::filesystem::path(output).parent_path().string();
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return Usage(folder + ": no such folder for the image file");
  if (stat(output.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Usage(output + " is a folder");
    if (!opts.Has("--force")) return Usage(output + " already exists (--force replaces it)");
  }

  std::vector<cli::SourceArg> sources;
  std::string error;
  if (!cli::ParseSources(opts.Positional(), sources, error)) return Usage(error);

  const platform::ProgramSettings settings = cli::LoadProgramSettings();
  const bool archive_only = opts.Has("--archive-only") || settings.ArchiveFiles;
  const bool quick = opts.Has("--quick") || settings.QuickSaveISO;

  TzqCDBurner burner;
  std::string last_log;
  cli::AttachLog(burner, opts.Has("--verbose"), &last_log);
  burner.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  burner.StripSourcePath = true;
  const cli::ProgressMode mode = cli::ProgressDisplay::ModeFor(json, opts.Has("--quiet"));
  {
    cli::ProgressDisplay adding(mode, "Adding");
    cli::AddSources(burner, sources, archive_only, &adding);
  }
  if (burner.DirsCount() == 0 && burner.FilesCount() == 0) return Usage(kEmptyCompilation);

  burner.IdVolume = opts.Value("--volume").value_or(settings.VolumeLable);
  burner.JolietFileSystem = !opts.Has("--no-joliet");
  burner.SetCacheSize(cache_size.value_or(settings.CacheSize));

  if (!burner.Prepare(true, nullptr)) {
    PrintResult(json, output, last_log.empty() ? "THE COMPILATION CANNOT BE LAID OUT" : last_log);
    return cli::kExitFailed;
  }

  const OutputState before = ReadOutputState(output);
  cli::ProgressDisplay display(mode, "Saving");
  const std::string result = cli::RunWriteJob(
      burner, [&] { burner.SaveISO(output, quick); }, display);
  if (!result.empty()) {
    // A half-written image is of no use to anyone; one the job never
    // touched (it could not be created) stays as it was.
    if (Touched(before, output)) unlink(output.c_str());
    PrintResult(json, output, result);
    return cli::kExitFailed;
  }
  if (archive_only) burner.ClearArchiveBits();
  PrintResult(json, output, result);
  if (!json && !opts.Has("--quiet")) std::printf("%s\n", kSucceeded);
  return cli::kExitOk;
}

}  // namespace

TIDEMARK_COMMAND("mkiso", "save files and folders as an ISO 9660 + Joliet image file", RunMkiso);
