// tidemark vrec: sets up and inspects the virtual recorder, and runs
// programs with the recorder presented as a Linux drive (the SG_IO shim).

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_frame.h"
#include "cli/cli_options.h"
#include "cli/command.h"
#include "platform/app_paths.h"
#include "platform/json.h"
#include "vrec/recorder.h"
#include "vrec/shim_root.h"

namespace {

constexpr const char* kShimFile = "libtidemark-vrec-shim.so";

using cli::kExitFailed;
using cli::kExitNoRecorder;
using cli::kExitOk;
using cli::kExitUsage;

constexpr std::uint32_t kLargestCapacity = 1u << 23;  // blocks: 16 GiB

const char kUsage[] =
    "usage: tidemark vrec SUBCOMMAND [OPTIONS]\n\n"
    "Controls the virtual recorder, the emulated MMC recorder that ships with Tidemark.\n"
    "Its state lives in $TIDEMARK_VREC_DIR (default $XDG_STATE_HOME/tidemark/vrec).\n\n"
    "Subcommands:\n"
    "  status [--json]                    the medium, its state, sessions, next writable\n"
    "                                     address, tray and emulated speed\n"
    "  insert MEDIUM [--capacity BLOCKS]  loads a blank CD-R, CD-RW, DVD-R, DVD-RW, DVD+R,\n"
    "                                     DVD+RW or DVD-RAM\n"
    "  insert-image FILE                  loads a closed read-only disc made from FILE\n"
    "  remove                             takes the disc out\n"
    "  dump [--session N] -o FILE         writes the recorded blocks of a session (or of\n"
    "       [--force]                     the whole disc) to FILE\n"
    "  speed Nx|fast                      emulated recording speed; fast: no emulation\n"
    "  fault add RULE | list | clear      fault-injection rules, OP[@F[-L]][#N][*C]=RESULT\n"
    "  reset                              a fresh recorder with a blank CD-R (also replaces\n"
    "                                     a state that cannot be read)\n"
    "  run -- COMMAND...                  runs COMMAND with the recorder as /dev/sr0\n"
    "                                     (or $TIDEMARK_VREC_NODE) and its sysfs entry\n\n"
    "Every subcommand takes --target N to pick recorder N (default 0).\n";

int Fail(int status, const std::string& text) {
  std::fprintf(stderr, "tidemark: %s\n", text.c_str());
  return status;
}

int Usage(const std::string& text) {
  std::fprintf(stderr, "tidemark: %s (see tidemark vrec --help)\n", text.c_str());
  return kExitUsage;
}

bool ParseNumber(const std::string& text, std::uint64_t max, std::uint64_t* out) {
  if (text.empty() || text.size() > 12) return false;
  std::uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (v > max) return false;
  *out = v;
  return true;
}

struct Context {
  int target = 0;
  std::unique_ptr<vrec::Recorder> recorder;
};

// Opens the recorder of --target; false (with the exit status) after a message.
bool OpenRecorder(Context& ctx, int* status) {
  std::string error;
  vrec::RecorderOptions options;
  options.target = ctx.target;
  ctx.recorder = vrec::Recorder::Open(options, &error);
  if (!ctx.recorder) {
    *status = Fail(kExitNoRecorder, error);
    return false;
  }
  return true;
}

int Update(Context& ctx,
           const std::function<bool(vrec::DriveState&, vrec::SectorStore&, std::string*)>& change) {
  int status = kExitOk;
  if (!OpenRecorder(ctx, &status)) return status;
  std::string error;
  if (!ctx.recorder->Update(change, &error)) return Fail(kExitFailed, error);
  return kExitOk;
}

// The recorder and its disc as one JSON object.
platform::JsonObject StatusJson(const vrec::DriveState& s, std::int64_t now, std::uint32_t speed) {
  const vrec::Disc& d = s.disc;
  const vrec::StatusSummary m = vrec::Summarize(s, now);
  platform::JsonObject j;
  j.Add("event", "vrec-status")
      .Add("medium", d.present() ? d.traits().name : "none")
      .Add("profile", static_cast<int>(d.present() ? d.Profile() : 0))
      .Add("state", m.state)
      .Add("capacity", d.capacity);
  platform::JsonArray sessions;
  for (std::size_t i = 0; i < d.sessions.size(); ++i) {
    const auto number = static_cast<std::uint16_t>(i + 1);
    sessions.Push(platform::JsonObject()
                      .Add("number", number)
                      .Add("start", d.SessionStart(number))
                      .Add("end", d.SessionEnd(number))
                      .Add("closed", d.sessions[i].closed));
  }
  platform::JsonArray tracks;
  for (std::size_t i = 0; i < d.tracks.size(); ++i) {
    const vrec::Track& t = d.tracks[i];
    tracks.Push(platform::JsonObject()
                    .Add("number", i + 1)
                    .Add("session", t.session)
                    .Add("start", t.start)
                    .Add("size", t.Extent())
                    .Add("written", t.written)
                    .Add("closed", t.state == vrec::TrackState::kComplete)
                    .Add("damaged", t.damaged));
  }
  j.Add("sessions", sessions).Add("tracks", tracks);
  if (m.next_writable)
    j.Add("next_writable", *m.next_writable);
  else
    j.AddNull("next_writable");
  j.Add("image", s.image_name)
      .Add("tray", s.tray_open ? "open" : "closed")
      .Add("locked", s.prevent_removal)
      .Add("speed", vrec::FormatSpeed(speed))
      .Add("busy", m.busy);
  platform::JsonArray faults;
  for (const vrec::FaultRule& f : s.faults)
    faults.Push(platform::JsonObject().Add("rule", vrec::FormatFaultRule(f)).Add("fired", f.fired));
  j.Add("faults", faults);
  return j;
}

int Status(Context& ctx, bool json) {
  int status = kExitOk;
  if (!OpenRecorder(ctx, &status)) return status;
  std::string error;
  std::int64_t now = ctx.recorder->clock().NowUs();
  bool ok = ctx.recorder->Inspect(
      [&](const vrec::DriveState& s) {
        std::uint32_t speed = ctx.recorder->SpeedX10(s);
        if (json) {
          cli::EmitJson(StatusJson(s, now, speed));
        } else {
          for (const std::string& line : vrec::StatusLines(s, now, speed)) {
            std::printf("%s\n", line.c_str());
          }
        }
      },
      &error);
  return ok ? kExitOk : Fail(kExitFailed, error);
}

int Insert(Context& ctx, const std::vector<std::string>& args, const cli::Options& o) {
  if (args.size() != 1) return Usage("vrec insert takes one MEDIUM");
  std::optional<vrec::Medium> medium = vrec::ParseWritableMedium(args[0]);
  if (!medium) {
    return Usage("unknown medium \"" + args[0] +
                 "\" (CD-R, CD-RW, DVD-R, DVD-RW, DVD+R, DVD+RW, DVD-RAM)");
  }
  std::uint64_t capacity = 0;
  if (auto v = o.Value("--capacity")) {
    if (!ParseNumber(*v, kLargestCapacity, &capacity) || capacity < 1000) {
      return Usage("--capacity takes a number of blocks from 1000 to " +
                   std::to_string(kLargestCapacity));
    }
  }
  int status = Update(ctx, [&](vrec::DriveState& s, vrec::SectorStore& store, std::string*) {
    vrec::InsertMedium(s, store, *medium, static_cast<std::uint32_t>(capacity),
                       ctx.recorder->clock().NowUs());
    std::printf("inserted a blank %s of %u blocks\n", s.disc.traits().name, s.disc.capacity);
    return true;
  });
  return status;
}

int InsertImage(Context& ctx, const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("vrec insert-image takes one FILE");
  struct stat st {};
  if (stat(args[0].c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return Usage(args[0] + " is not an image file");
  }
  return Update(ctx, [&](vrec::DriveState& s, vrec::SectorStore& store, std::string* error) {
    if (!vrec::InsertImage(s, store, args[0], ctx.recorder->clock().NowUs(), error)) {
      return false;
    }
    std::printf("inserted a %s of %u blocks made from %s\n", s.disc.traits().name, s.disc.capacity,
                s.image_name.c_str());
    return true;
  });
}

int Dump(Context& ctx, const std::vector<std::string>& args, const cli::Options& o) {
  if (!args.empty()) return Usage("vrec dump takes no arguments besides its options");
  auto out = o.Value("--output");
  if (!out || out->empty()) return Usage("vrec dump needs -o FILE");
  std::uint64_t session = 0;
  if (auto v = o.Value("--session")) {
    if (!ParseNumber(*v, 999, &session) || session == 0)
      return Usage("--session takes a number from 1");
  }
  struct stat st {};
  if (!o.Has("--force") && stat(out->c_str(), &st) == 0) {
    return Usage(*out + " exists (use --force to replace it)");
  }
  return Update(ctx, [&](vrec::DriveState& s, vrec::SectorStore& store, std::string* error) {
    return vrec::DumpSession(s, store, static_cast<int>(session), *out, error);
  });
}

int Speed(Context& ctx, const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("vrec speed takes Nx or fast");
  std::optional<std::uint32_t> speed = vrec::ParseSpeed(args[0]);
  if (!speed) return Usage("speed must be \"fast\" or a speed such as \"4x\"");
  return Update(ctx, [&](vrec::DriveState& s, vrec::SectorStore&, std::string*) {
    s.emulated_speed_x10 = *speed;
    std::printf("speed: %s\n", vrec::FormatSpeed(*speed).c_str());
    return true;
  });
}

int Fault(Context& ctx, const std::vector<std::string>& args) {
  if (args.empty()) return Usage("vrec fault takes add RULE, list or clear");
  if (args[0] == "add") {
    if (args.size() != 2) return Usage("vrec fault add takes one RULE");
    std::string error;
    std::optional<vrec::FaultRule> rule = vrec::ParseFaultRule(args[1], &error);
    if (!rule) return Usage(error);
    return Update(ctx, [&](vrec::DriveState& s, vrec::SectorStore&, std::string* why) {
      if (s.faults.size() >= vrec::kMaxFaultRules) {
        *why = "the recorder holds " + std::to_string(vrec::kMaxFaultRules) + " rules at most";
        return false;
      }
      s.faults.push_back(*rule);
      return true;
    });
  }
  if (args[0] == "clear" && args.size() == 1) {
    return Update(ctx, [](vrec::DriveState& s, vrec::SectorStore&, std::string*) {
      s.faults.clear();
      return true;
    });
  }
  if (args[0] == "list" && args.size() == 1) {
    int status = kExitOk;
    if (!OpenRecorder(ctx, &status)) return status;
    std::string error;
    bool ok = ctx.recorder->Inspect(
        [](const vrec::DriveState& s) {
          for (const vrec::FaultRule& f : s.faults) {
            std::printf("%s fired %u\n", vrec::FormatFaultRule(f).c_str(), f.fired);
          }
        },
        &error);
    return ok ? kExitOk : Fail(kExitFailed, error);
  }
  return Usage("vrec fault takes add RULE, list or clear");
}

int Reset(Context& ctx) {
  std::string error;
  if (!vrec::RecorderStore::Reset(vrec::DefaultStateFolder(), ctx.target,
                                  vrec::DriveState::Fresh(vrec::Medium::kCdR, 0), &error)) {
    return Fail(kExitFailed, error);
  }
  std::printf("virtual recorder %d reset: a blank CD-R is loaded\n", ctx.target);
  return kExitOk;
}

// The shim beside the program (a build tree) or in the installed tree's
// private library folder; "" when neither holds it.
std::string FindShim() {
  for (const std::string& folder :
       {platform::ProgramFolderOrEmpty(), platform::PrivateLibraryFolder()}) {
    if (folder.empty()) continue;
    std::string shim = folder + "/" + kShimFile;
    if (access(shim.c_str(), R_OK) == 0) return shim;
  }
  return {};
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[4096];
  return getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" + path : path;
}

int Run(Context& ctx, const std::vector<std::string>& command) {
  if (command.empty()) return Usage("vrec run needs a COMMAND after --");
  const std::string shim = FindShim();
  if (shim.empty()) {
    return Fail(kExitNoRecorder, std::string("the recorder's shim is missing (") + kShimFile +
                                     " beside the program or in " +
                                     platform::PrivateLibraryFolder() + ")");
  }
  std::string folder = AbsolutePath(vrec::DefaultStateFolder());
  std::string error;
  // Opening the recorder checks the folder and makes a fresh one first.
  int status = kExitOk;
  if (!OpenRecorder(ctx, &status)) return status;
  ctx.recorder.reset();

  vrec::ShimLayout layout;
  if (const char* node = std::getenv("TIDEMARK_VREC_NODE"); node != nullptr && *node) {
    if (node[0] != '/') return Usage("TIDEMARK_VREC_NODE must be an absolute path");
    layout.node = node;
  }
  if (const char* a = std::getenv("TIDEMARK_VREC_ADDRESS"); a != nullptr && *a) {
    int address[4];
    if (!vrec::ParseScsiAddress(a, address)) return Usage("TIDEMARK_VREC_ADDRESS must be H:C:T:L");
    layout.address = a;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/tidemark-vrec-run.XXXXXX";
  std::vector<char> root(pattern.begin(), pattern.end());
  root.push_back('\0');
  if (mkdtemp(root.data()) == nullptr) return Fail(kExitFailed, "cannot create " + pattern);
  layout.root = root.data();
  if (!vrec::BuildShimRoot(layout, &error)) {
    vrec::RemoveShimRoot(layout.root);
    return Fail(kExitFailed, error);
  }

  std::string preload = shim;
  if (const char* old = std::getenv("LD_PRELOAD"); old != nullptr && *old)
    preload += std::string(":") + old;
  std::string asan = "verify_asan_link_order=0";
  if (const char* old = std::getenv("ASAN_OPTIONS"); old != nullptr && *old)
    asan = std::string(old) + ":" + asan;

  // Keep the terminal's interrupt for the program; this process only waits
  // for it and cleans up after it.
  struct sigaction ignore {
  }, old_int{}, old_quit{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGINT, &ignore, &old_int);
  sigaction(SIGQUIT, &ignore, &old_quit);
  pid_t child = fork();
  if (child == 0) {
    sigaction(SIGINT, &old_int, nullptr);
    sigaction(SIGQUIT, &old_quit, nullptr);
    setenv("LD_PRELOAD", preload.c_str(), 1);
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    setenv("TIDEMARK_VREC_SHIM_ROOT", layout.root.c_str(), 1);
    setenv("TIDEMARK_VREC_NODE", layout.node.c_str(), 1);
    setenv("TIDEMARK_VREC_ADDRESS", layout.address.c_str(), 1);
    setenv("TIDEMARK_VREC_TARGET", std::to_string(ctx.target).c_str(), 1);
    setenv("TIDEMARK_VREC_DIR", folder.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "tidemark: cannot run %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
  }
  int wait_status = 0;
  int result = kExitFailed;
  if (child > 0) {
    while (waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
    }
    result = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status)
                                    : 128 + (WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0);
  } else {
    std::fprintf(stderr, "tidemark: cannot start %s: %s\n", command[0].c_str(),
                 std::strerror(errno));
  }
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGQUIT, &old_quit, nullptr);
  vrec::RemoveShimRoot(layout.root);
  return result;
}

int RunVrec(const std::vector<std::string>& all) {
  if (all.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const std::string& sub = all[0];
  if (sub == "--help" || sub == "-h" || sub == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  std::vector<std::string> rest(all.begin() + 1, all.end());
  std::vector<std::string> command;
  if (sub == "run") {
    // Everything after "--" (or after the first word that is not one of
    // run's own options) belongs to the program.
    std::vector<std::string> own;
    std::size_t i = 0;
    for (; i < rest.size(); ++i) {
      if (rest[i] == "--") {
        ++i;
        break;
      }
      if (rest[i] == "--target" && i + 1 < rest.size()) {
        own.push_back(rest[i]);
        own.push_back(rest[++i]);
      } else if (rest[i].rfind("--target=", 0) == 0 || rest[i] == "--help" || rest[i] == "-h") {
        own.push_back(rest[i]);
      } else {
        break;
      }
    }
    command.assign(rest.begin() + static_cast<std::ptrdiff_t>(i), rest.end());
    rest = own;
  }
  cli::Options o;
  o.Add("--target", "N", "the recorder to use (default 0)")
      .Add("-h,--help", "", "this help")
      .Add("--json", "", "status as one JSON object")
      .Add("--capacity", "BLOCKS", "capacity of the inserted disc")
      .Add("--session", "N", "the session to dump")
      .Add("-o,--output", "FILE", "where to dump")
      .Add("--force", "", "replace an existing output file");
  if (!o.Parse(rest)) return Usage(o.Error());
  if (o.Has("--help")) {
    std::fputs(kUsage, stdout);
    std::fputs("\nOptions:\n", stdout);
    std::fputs(o.HelpText().c_str(), stdout);
    return kExitOk;
  }
  Context ctx;
  if (auto t = o.Value("--target")) {
    std::uint64_t v = 0;
    if (!ParseNumber(*t, 7, &v)) return Usage("--target takes a recorder number from 0 to 7");
    ctx.target = static_cast<int>(v);
  }
  const std::vector<std::string>& args = o.Positional();
  if (sub == "status")
    return args.empty() ? Status(ctx, o.Has("--json")) : Usage("vrec status takes no arguments");
  if (sub == "insert") return Insert(ctx, args, o);
  if (sub == "insert-image") return InsertImage(ctx, args);
  if (sub == "remove") {
    if (!args.empty()) return Usage("vrec remove takes no arguments");
    return Update(ctx, [](vrec::DriveState& s, vrec::SectorStore& store, std::string*) {
      vrec::RemoveMedium(s, store);
      return true;
    });
  }
  if (sub == "dump") return Dump(ctx, args, o);
  if (sub == "speed") return Speed(ctx, args);
  if (sub == "fault") return Fault(ctx, args);
  if (sub == "reset") return args.empty() ? Reset(ctx) : Usage("vrec reset takes no arguments");
  if (sub == "run") return Run(ctx, command);
  return Usage("unknown vrec subcommand \"" + sub + "\"");
}

}  // namespace

TIDEMARK_COMMAND("vrec", "controls the virtual recorder", RunVrec);
