// tidemark erase: blanks the rewritable disc in the recorder, as the
// window's Erase does (quickly unless --full), or formats a DVD+RW or
// DVD-RAM.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_device.h"
#include "cli/cli_frame.h"
#include "cli/cli_recorder.h"
#include "cli/cli_system.h"
#include "cli/command.h"
#include "jobs/disc_jobs.h"
#include "recording/erase_thread.h"

namespace {

constexpr const char* kUsage =
    "usage: tidemark erase [OPTIONS]\n\n"
    "Blanks the rewritable disc in the recorder: a CD-RW or DVD-RW quickly (its table of\n"
    "contents), or whole with --full; a DVD+RW or DVD-RAM is formatted.\n\n";
constexpr const char* kSucceeded = "Deletion successful";
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

int RunErase(const std::vector<std::string>& Args) {
  cli::Frame f("erase", kUsage);
  f.Opts()
      .Add("--full", "", "blank the whole disc, not only its table of contents")
      .Add("--eject", "", "open the tray after a successful erase");
  cli::AddRecorderOptions(f.Opts());
  cli::AddUnmountOption(f.Opts());
  if (const auto status = f.Parse(Args)) return *status;
  if (!f.Opts().Positional().empty()) return f.Usage("erase takes no arguments");

  TzqCDBurner burner;
  f.AttachLog(burner);
  std::string error;
  if (const int st = cli::OpenRecorder(burner, f.Opts(), error); st != cli::kExitOk)
    return f.Fail(st, error);
  if (const auto status = cli::ReleaseMountedDisc(burner, f)) return *status;
  const auto plan = jobs::PlanErase(burner);
  if (!plan) return f.Refuse(*plan.Refused);
  burner.SetWriteSpeed(0);
  const char* phase =
      jobs::PhaseName(plan.Value.Formats ? TJobPhase::Formatting : TJobPhase::Erasing);

  auto done = std::make_shared<Done>();
  burner.OnEraseDone = [done](TzqCDBurner*, bool WithError) {
    {
      std::lock_guard<std::mutex> guard(done->mutex);
      done->reported = true;
      done->with_error = WithError;
    }
    done->cv.notify_all();
  };
  const platform::SleepInhibitor awake = cli::KeepAwake(f, "Erasing a disc");
  cli::ProgressDisplay display(f.Progress(), "Erasing");
  burner.EraseDisc(f.Opts().Has("--full") ? kFullBlank : kQuickBlank);
  for (;;) {
    std::unique_lock<std::mutex> lk(done->mutex);
    if (done->cv.wait_for(lk, kRefresh, [&] { return done->reported; })) break;
    lk.unlock();
    display.ShowPercent(burner.EraseProgress(), phase);
  }
  // The drive is put back into a neutral state after the report.
  recording::WaitForEraseEnd(kEndWait);
  burner.OnEraseDone = nullptr;
  if (!done->with_error) display.ShowPercent(100, phase);
  display.Finish();
  const jobs::Outcome outcome = jobs::FinishErase(burner, plan.Value, done->with_error);
  if (outcome.Ok() && f.Opts().Has("--eject")) cli::EjectAfterJob(f, burner);
  return f.Report(outcome, platform::JsonObject(), kSucceeded);
}

}  // namespace

TIDEMARK_COMMAND("erase", "blanks a rewritable disc, or formats a DVD+RW or DVD-RAM", RunErase);
