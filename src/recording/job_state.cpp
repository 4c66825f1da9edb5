// The job frame: job state, job start and end, the starters' wait for the
// reader, the abort request and the values the application polls.

#include "recording/job_state.h"

#include <cmath>
#include <condition_variable>

#include "burner/cd_burner.h"
#include "device/aspi_loader.h"
#include "device/device_texts.h"
#include "device/sgio_transport.h"
#include "recording/cache_thread.h"

namespace recording {
namespace {

// How often a starter looks at its reader while it waits for it.
constexpr auto kPrimeWait = std::chrono::milliseconds(100);

struct State {
  std::atomic<bool> running{false};
  std::atomic<bool> abort{false};  // lock-free: a signal handler may set it
  std::mutex cache_mutex;          // the reference, against the poller
  std::unique_ptr<TCacheThread> cache;
  std::mutex job_lock;
  std::mutex end_mutex;
  std::condition_variable ended;
};

// Never destroyed: a writer thread may still be finishing its job end
// while the program exits.
State& Job() {
  static State* state = new State;
  return *state;
}

}  // namespace

bool JobRunning() {
  return Job().running.load();
}

bool AbortRequested() {
  return Job().abort.load();
}

static_assert(std::atomic<bool>::is_always_lock_free);

void RequestAbort() {
  Job().abort = true;
}

void ClearAbortRequest() {
  Job().abort = false;
}

void SetCurrentCache(std::unique_ptr<TCacheThread> Cache) {
  std::unique_ptr<TCacheThread> old;
  {
    std::lock_guard<std::mutex> guard(Job().cache_mutex);
    old = std::move(Job().cache);
    Job().cache = std::move(Cache);
  }
  // The old one's thread is stopped and waited for outside the lock.
}

TCacheThread* CurrentCache() {
  std::lock_guard<std::mutex> guard(Job().cache_mutex);
  return Job().cache.get();
}

void DisposeCurrentCache() {
  SetCurrentCache(nullptr);
}

int32_t CurrentCacheFillPercent(int32_t CacheSize) {
  if (!JobRunning()) return 0;
  std::lock_guard<std::mutex> guard(Job().cache_mutex);
  const TCacheThread* cache = Job().cache.get();
  if (cache == nullptr || CacheSize <= 0) return 0;
  const double percent = static_cast<double>(cache->CachedBytes()) * 100.0 / CacheSize;
  return static_cast<int32_t>(std::lround(std::clamp(percent, 0.0, 100.0)));
}

std::mutex& JobLock() {
  return Job().job_lock;
}

void MarkJobRunning() {
  Job().running = true;
}

void BeginJob(TzqCDBurner& Component) {
  // The abort flag and the reader's error text were cleared by the starter
  // before the reader began: clearing them again here would lose an abort
  // pressed while the reader primed, or a source that failed meanwhile.
  MarkJobRunning();
  Component.BytesWritten = 0;
}

void EndJob(TzqCDBurner& Component, TJobEnd Order) {
  SPTICloseHandles = true;
  std::string result;
  {
    std::lock_guard<std::mutex> guard(JobLock());
    if (ASPIName == kBuiltInTransportName) ReloadASPI();
    if (TCacheThread* cache = CurrentCache()) result = cache->ErrorText();
    if (Order == TJobEnd::ReportThenDispose)
      RaiseWriteDone(Component, result);
    else
      DisposeCurrentCache();
  }
  if (Order == TJobEnd::ReportThenDispose)
    DisposeCurrentCache();
  else
    RaiseWriteDone(Component, result);
  {
    std::lock_guard<std::mutex> guard(Job().end_mutex);
    Job().running = false;
  }
  Job().ended.notify_all();
}

bool StartCache(TzqCDBurner& Component) {
  ClearAbortRequest();
  return StartReader(Component,
                     std::make_unique<TCacheThread>(Component.CacheSize(), Component.WritePostGap,
                                                    Component.SessionSectors * 2048,
                                                    Component.HeaderStream, Component.FileTable()));
}

bool StartReader(TzqCDBurner& Component, std::unique_ptr<TCacheThread> Reader) {
  Component.JobFailure = TJobFailure{};
  Component.JobPhase = TJobPhase::Preparing;
  TCacheThread* cache = Reader.get();
  SetCurrentCache(std::move(Reader));
  for (;;) {
    if (cache->WaitPrimed(kPrimeWait)) return true;
    std::string error;
    if (cache->HasError()) {
      error = cache->ErrorText();
    } else if (AbortRequested()) {
      error = std::string(texts::kAborted);
    } else {
      continue;
    }
    DisposeCurrentCache();
    RaiseWriteDone(Component, error);
    return false;
  }
}

bool WaitForJobEnd(std::chrono::milliseconds Timeout) {
  std::unique_lock<std::mutex> lk(Job().end_mutex);
  return Job().ended.wait_for(lk, Timeout, [] { return !Job().running.load(); });
}

void RaiseWriteDone(TzqCDBurner& Component, const std::string& Error) {
  if (!Component.OnWriteDone) return;
  try {
    Component.OnWriteDone(&Component, Error);
  } catch (...) {
    // The job's end goes on whatever the handler did.
  }
}

}  // namespace recording

void TzqCDBurner::AbortWrite() {
  recording::RequestAbort();
}

int32_t TzqCDBurner::CacheFillPercent() const {
  return recording::CurrentCacheFillPercent(CacheSize());
}
