// tidemark erase: blanks the rewritable disc in the recorder, as the
// window's Erase does (quickly unless --full), or formats a DVD+RW or
// DVD-RAM.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_burn.h"
#include "cli/cli_compilation.h"
#include "cli/cli_device.h"
#include "cli/cli_json.h"
#include "cli/cli_options.h"
#include "cli/cli_progress.h"
#include "cli/command.h"
#include "device/media_types.h"
#include "recording/erase_thread.h"

namespace {

constexpr const char* kUsage =
    "usage: tidemark erase [OPTIONS]\n\n"
    "Blanks the rewritable disc in the recorder: a CD-RW or DVD-RW quickly (its table of\n"
    "contents), or whole with --full; a DVD+RW or DVD-RAM is formatted.\n\n";
constexpr const char* kNotRewritable = "This is not a rewritable CD!";
constexpr const char* kSucceeded = "Deletion successful";
constexpr const char* kFailed = "Deletion error";
constexpr int32_t kQuickBlank = 1;
constexpr int32_t kFullBlank = 0;
constexpr auto kRefresh = std::chrono::milliseconds(500);
// The erase thread's drive reset after OnEraseDone.
constexpr auto kEndWait = std::chrono::seconds(120);

struct Done {
  std::mutex mutex;
  std::condition_variable cv;
  bool reported = false;
  bool with_error = false;
};

int Fail(bool Json, int Status, const std::string& Error) {
  if (Json) cli::JsonObject().Add("event", "result").Add("ok", false).Add("error", Error).Print();
  std::fprintf(stderr, "tidemark: %s\n", Error.c_str());
  return Status;
}

int RunErase(const std::vector<std::string>& Args) {
  cli::Options opts;
  opts.Add("--full", "", "blank the whole disc, not only its table of contents")
      .Add("--eject", "", "open the tray after a successful erase");
  cli::AddRecorderOptions(opts);
  opts.Add("-q,--quiet", "", "no progress bar")
      .Add("--json", "", "JSON events and result on standard output instead of text")
      .Add("-v,--verbose", "", "progress and trace lines of the component's log")
      .Add("-h,--help", "", "this help");
  const bool parsed = opts.Parse(Args);
  const bool json = opts.Has("--json");
  if (!parsed) return Fail(json, cli::kExitUsage, opts.Error() + " (see tidemark erase --help)");
  if (opts.Has("--help")) {
    std::printf("%s%s", kUsage, opts.HelpText().c_str());
    return cli::kExitOk;
  }
  if (!opts.Positional().empty())
    return Fail(json, cli::kExitUsage, "erase takes no arguments (see tidemark erase --help)");

  TzqCDBurner burner;
  cli::AttachLog(burner, opts.Has("--verbose"));
  burner.DoDebug = opts.Has("--verbose");
  std::string error;
  if (const int st = cli::OpenRecorder(burner, opts, error); st != cli::kExitOk)
    return Fail(json, st, error);
  const cli::LoadedDisc disc = cli::InspectDisc(burner);
  if (!disc.Present) return Fail(json, cli::kExitFailed, "NO DISC IN THE RECORDER");
  if (!burner.IsErasable() && burner.GetMediaType() != mtDVDRAM)
    return Fail(json, cli::kExitFailed, kNotRewritable);
  burner.SetWriteSpeed(0);

  auto done = std::make_shared<Done>();
  burner.OnEraseDone = [done](TzqCDBurner*, bool WithError) {
    {
      std::lock_guard<std::mutex> guard(done->mutex);
      done->reported = true;
      done->with_error = WithError;
    }
    done->cv.notify_all();
  };
  cli::ProgressDisplay display(cli::ProgressDisplay::ModeFor(json, opts.Has("--quiet")), "Erasing");
  burner.EraseDisc(opts.Has("--full") ? kFullBlank : kQuickBlank);
  for (;;) {
    std::unique_lock<std::mutex> lk(done->mutex);
    if (done->cv.wait_for(lk, kRefresh, [&] { return done->reported; })) break;
    lk.unlock();
    display.ShowPercent(burner.EraseProgress());
  }
  // The drive is put back into a neutral state after the report.
  recording::WaitForEraseEnd(kEndWait);
  burner.OnEraseDone = nullptr;
  if (done->with_error) {
    display.Finish();
    return Fail(json, cli::kExitFailed, kFailed);
  }
  display.ShowPercent(100);
  display.Finish();
  if (opts.Has("--eject")) cli::EjectAfterJob(burner);
  if (json)
    cli::JsonObject().Add("event", "result").Add("ok", true).Print();
  else if (!opts.Has("--quiet"))
    std::printf("%s\n", kSucceeded);
  return cli::kExitOk;
}

}  // namespace

TIDEMARK_COMMAND("erase", "blanks a rewritable disc, or formats a DVD+RW or DVD-RAM", RunErase);
