// tidemark extract: copies a file, or a folder with everything below it,
// from a session of the disc in the recorder to a local path.
//
// DEST is the root of everything written: every name below it comes from
// the disc and is made one safe path element, so nothing lands outside
// DEST. Nothing that exists is replaced unless --force is given, and then
// only files; the check runs over the whole plan before the first byte is
// written, so a refusal writes nothing.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "burner/extract_names.h"
#include "cli/cli_compilation.h"
#include "cli/cli_json.h"
#include "cli/cli_options.h"
#include "cli/cli_progress.h"
#include "cli/cli_read_session.h"
#include "cli/command.h"
#include "platform/date_time.h"
#include "platform/utf8.h"

namespace {

constexpr const char* kUsage =
    "usage: tidemark extract [--session N] [--force] PATH DEST\n\n"
    "Copies PATH from a session of the disc (default: the last) to DEST. A file is\n"
    "written as DEST (or into DEST under its own name when DEST is a folder); a folder's\n"
    "contents, with everything below them, are written into the folder DEST, which is\n"
    "created when missing. Existing files are not replaced unless --force is given.\n\n";

constexpr const char* kAborted = "OPERATION ABORTED BY USER";
constexpr auto kRefresh = std::chrono::milliseconds(500);

bool json_output = false;
volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
  interrupted = 1;
}

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

int Fail(int Status, const std::string& Message) {
  if (json_output)
    cli::JsonObject().Add("event", "result").Add("ok", false).Add("error", Message).Print();
  std::fprintf(stderr, "tidemark: %s\n", Shown(Message).c_str());
  return Status;
}

struct Item {
  PFileEntry entry = nullptr;  // null for DEST itself
  std::string target;
  bool folder = false;
};

struct Plan {
  std::vector<Item> items;  // folders before what they hold
  int64_t bytes = 0;
  int64_t files = 0;
};

// Everything below Dir, depth first, with the targets below Target. Two
// names of the disc that come out as one name here keep the first.
void PlanFolder(PDirEntry Dir, const std::string& Target, Plan& P,
                std::vector<std::string>& Clashes) {
  std::vector<std::pair<PDirEntry, std::string>> todo{{Dir, Target}};
  while (!todo.empty()) {
    auto [dir, target] = todo.back();
    todo.pop_back();
    std::set<std::string> names;
    std::vector<std::pair<PDirEntry, std::string>> below;
    for (PFileEntry e = dir->FirstChild; e != nullptr; e = e->Next) {
      const std::string name = burner::SafeHostName(e->LongName);
      const std::string path = target + "/" + name;
      if (!names.insert(name).second) {
        Clashes.push_back(path);
        continue;
      }
      P.items.push_back({e, path, e->Dir != nullptr});
      if (e->Dir != nullptr) {
        below.emplace_back(e->Dir, path);
      } else {
        P.bytes += e->Size;
        ++P.files;
      }
    }
    todo.insert(todo.end(), below.rbegin(), below.rend());
  }
}

// What stands in the way of the plan: a folder target that exists as
// anything but a folder (a link to one included), or an existing file
// target without Force.
std::string Obstacle(const Plan& P, bool Force) {
  for (const Item& item : P.items) {
    struct stat st {};
    if (item.entry == nullptr || lstat(item.target.c_str(), &st) != 0) continue;
    if (item.folder && !S_ISDIR(st.st_mode)) return item.target + " exists and is not a folder";
    if (!item.folder && S_ISDIR(st.st_mode)) return item.target + " is a folder";
    if (!item.folder && !Force) return item.target + " already exists (--force replaces it)";
  }
  return std::string();
}

void SetFolderDate(const std::string& Path, TDateTime Date) {
  const timespec times[2] = {{0, UTIME_OMIT},
                             {static_cast<time_t>(platform::DateTimeToUnixTime(Date)), 0}};
  utimensat(AT_FDCWD, Path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

int RunExtract(const std::vector<std::string>& args) {
  cli::Options opts;
  opts.Add("--force", "", "replace existing files");
  cli::AddReadOptions(opts);
  opts.Add("-q,--quiet", "", "no progress bar")
      .Add("--json", "", "JSON events and result on standard output instead of text")
      .Add("-v,--verbose", "", "progress and trace lines of the component's log")
      .Add("-h,--help", "", "this help");
  const bool parsed = opts.Parse(args);
  json_output = opts.Has("--json");
  if (!parsed) return Fail(cli::kExitUsage, opts.Error() + " (see tidemark extract --help)");
  if (opts.Has("--help")) {
    std::printf("%s%s", kUsage, opts.HelpText().c_str());
    return cli::kExitOk;
  }
  if (opts.Positional().size() != 2) return Fail(cli::kExitUsage, "extract needs PATH and DEST");
  const auto session = cli::SessionOption(opts);
  if (!session) return Fail(cli::kExitUsage, "invalid --session (a number from 1 to 255)");
  const std::string& path = opts.Positional()[0];
  std::string dest = opts.Positional()[1];
  while (dest.size() > 1 && dest.back() == '/') dest.pop_back();
  const bool force = opts.Has("--force");

  TzqCDBurner burner;
  std::string last_log;
  cli::AttachLog(burner, opts.Has("--verbose"), &last_log);
  std::string error;
  if (const int status = cli::OpenDisc(burner, opts, error); status != cli::kExitOk)
    return Fail(status, error);
  if (!cli::ImportForReading(burner, *session, last_log, error))
    return Fail(cli::kExitFailed, error);
  const auto found = cli::FindPath(burner, path);
  if (!found) return Fail(cli::kExitUsage, path + ": no such file or folder in the session");

  // The plan: DEST's own item first, then everything below it.
  Plan plan;
  std::vector<std::string> clashes;
  struct stat dest_st {};
  const bool dest_exists = stat(dest.c_str(), &dest_st) == 0;
  if (found->Folder != nullptr) {
    if (dest_exists && !S_ISDIR(dest_st.st_mode))
      return Fail(cli::kExitUsage, dest + " exists and is not a folder");
    plan.items.push_back({nullptr, dest, true});
    PlanFolder(found->Folder, dest, plan, clashes);
  } else {
    std::string target = dest;
    if (dest_exists && S_ISDIR(dest_st.st_mode))
      target = dest + "/" + burner::SafeHostName(found->Entry->LongName);
    plan.items.push_back({found->Entry, target, false});
    plan.bytes = found->Entry->Size;
    plan.files = 1;
  }
  if (const std::string obstacle = Obstacle(plan, force); !obstacle.empty())
    return Fail(cli::kExitUsage, obstacle);
  if (found->Folder != nullptr && !dest_exists && mkdir(dest.c_str(), 0777) != 0)
    return Fail(cli::kExitUsage, "cannot create " + dest + " (" + std::strerror(errno) + ")");

  // Extraction, with the progress of the bytes copied so far.
  const cli::ProgressMode mode = cli::ProgressDisplay::ModeFor(json_output, opts.Has("--quiet"));
  cli::ProgressDisplay display(mode, "Extracting");
  cli::ProgressValues progress;
  progress.Total = plan.bytes;
  int64_t done_before = 0;
  auto next_refresh = std::chrono::steady_clock::now() + kRefresh;
  burner.OnExtractProgress = [&](TzqCDBurner*, int64_t Done, int64_t, bool& Abort) {
    if (interrupted != 0) Abort = true;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_refresh) return;
    next_refresh = now + kRefresh;
    progress.Written = done_before + Done;
    display.Show(progress);
  };
  struct sigaction sa {
  }, old_int{}, old_term{};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &old_int);
  sigaction(SIGTERM, &sa, &old_term);

  int64_t files = 0, folders = 0, failed = static_cast<int64_t>(clashes.size());
  for (const std::string& clash : clashes)
    std::fprintf(stderr, "tidemark: %s: another entry of the disc has this name; left out\n",
                 Shown(clash).c_str());
  std::vector<const Item*> dated;
  for (const Item& item : plan.items) {
    if (interrupted != 0) break;
    if (item.entry == nullptr) continue;
    if (item.folder) {
      struct stat st {};
      if (mkdir(item.target.c_str(), 0777) != 0 &&
          (errno != EEXIST || lstat(item.target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
        std::fprintf(stderr, "tidemark: cannot create %s (%s)\n", Shown(item.target).c_str(),
                     std::strerror(errno));
        ++failed;
        continue;
      }
      ++folders;
      dated.push_back(&item);
      continue;
    }
    try {
      if (burner.ExtractFile(item.entry, item.target, force))
        ++files;
      else
        ++failed;
    } catch (const EStreamError& e) {
      std::fprintf(stderr, "%s\n", Shown(e.what()).c_str());
      ++failed;
    }
    done_before += item.entry->Size;
  }
  // Folders take their dates once nothing more is written into them.
  for (auto it = dated.rbegin(); it != dated.rend(); ++it)
    SetFolderDate((*it)->target, (*it)->entry->DateTime);
  if (found->Entry != nullptr && found->Folder != nullptr && !dest_exists)
    SetFolderDate(dest, found->Entry->DateTime);
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
  progress.Written = done_before;
  display.Show(progress);
  display.Finish();

  if (interrupted != 0) return Fail(cli::kExitFailed, kAborted);
  if (failed != 0) {
    const size_t own = found->Folder != nullptr ? 1 : 0;  // DEST itself
    const size_t total = plan.items.size() - own + clashes.size();
    return Fail(cli::kExitFailed,
                std::to_string(failed) + " of " + std::to_string(total) + " entries not extracted");
  }
  if (json_output) {
    cli::JsonObject()
        .Add("event", "result")
        .Add("ok", true)
        .Add("dest", dest)
        .Add("files", files)
        .Add("folders", folders)
        .Add("bytes", plan.bytes)
        .Print();
  } else if (!opts.Has("--quiet")) {
    std::printf("%lld file%s (%lld bytes) extracted to %s\n", static_cast<long long>(files),
                files == 1 ? "" : "s", static_cast<long long>(plan.bytes), Shown(dest).c_str());
  }
  return cli::kExitOk;
}

}  // namespace

TIDEMARK_COMMAND("extract", "copy a file or folder from a session of the disc", RunExtract);
