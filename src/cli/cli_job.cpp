#include "cli/cli_job.h"

#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "burner/cd_burner.h"
#include "recording/job_state.h"

namespace cli {
namespace {

constexpr auto kRefresh = std::chrono::milliseconds(500);
constexpr auto kInterruptCheck = std::chrono::milliseconds(100);
// The writer's job end after OnWriteDone: disposing of the reader.
constexpr auto kJobEndWait = std::chrono::seconds(60);

volatile sig_atomic_t interrupted = 0;

// The abort request is one lock-free store: safe here, and seen by the
// writer at its next block without waiting for the poller.
void OnInterrupt(int) {
  interrupted = 1;
  recording::RequestAbort();
}

// SIGINT and SIGTERM set the flag while a job runs; SIGPIPE is ignored.
class InterruptGuard {
 public:
  InterruptGuard() {
    interrupted = 0;
    recording::AbortRequested();  // the job state exists before any signal comes
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &old_int_);
    sigaction(SIGTERM, &sa, &old_term_);
    // An image written into a pipe whose reader went away is a failed
    // write the job reports, not a reason to die without a word.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &old_pipe_);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
    sigaction(SIGPIPE, &old_pipe_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
  struct sigaction old_pipe_ {};
};

struct Completion {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  std::string error;
};

}  // namespace

ProgressValues JobProgress(const TzqCDBurner& Burner) {
  ProgressValues v;
  v.Written = Burner.BytesWritten.load();
  v.Total = Burner.ImageSectors() * 2048;
  v.HostBuffer = Burner.CacheFillPercent();
  if (Burner.DeviceBufferSize >= Burner.DeviceFreeBufferSize) {
    v.RecorderSize = Burner.DeviceBufferSize;
    v.RecorderUsed = static_cast<int64_t>(Burner.DeviceBufferSize) - Burner.DeviceFreeBufferSize;
  }
  return v;
}

std::string RunWriteJob(TzqCDBurner& Burner, const std::function<void()>& Start,
                        ProgressDisplay& Display) {
  auto completion = std::make_shared<Completion>();
  Burner.OnWriteDone = [completion](TzqCDBurner*, const std::string& Error) {
    {
      std::lock_guard<std::mutex> guard(completion->mutex);
      completion->error = Error;
      completion->done = true;
    }
    completion->cv.notify_all();
  };
  InterruptGuard guard;
  Start();
  bool aborted = false;
  auto next_refresh = std::chrono::steady_clock::now();
  for (;;) {
    {
      std::unique_lock<std::mutex> lk(completion->mutex);
      completion->cv.wait_for(lk, kInterruptCheck, [&] { return completion->done; });
      if (completion->done) break;
    }
    if (interrupted != 0 && !aborted) {
      Burner.AbortWrite();
      aborted = true;
    }
    if (!recording::JobRunning()) {
      // No writer runs and none reported: nothing will come.
      std::lock_guard<std::mutex> lk(completion->mutex);
      if (!completion->done) {
        completion->done = true;
        completion->error = "NO JOB WAS STARTED";
      }
      break;
    }
    if (std::chrono::steady_clock::now() >= next_refresh) {
      Display.Show(JobProgress(Burner));
      next_refresh += kRefresh;
    }
  }
  recording::WaitForJobEnd(kJobEndWait);
  Burner.OnWriteDone = nullptr;
  // The final counts, as the window shows them once more at the end.
  Display.Show(JobProgress(Burner));
  Display.Finish();
  std::lock_guard<std::mutex> lk(completion->mutex);
  return completion->error;
}

}  // namespace cli
