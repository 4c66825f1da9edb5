#pragma once
// The job state shared by every recording job: one set for the whole
// program, since one job runs at a time. A job is one writer thread and
// the reader that feeds it; the starters (SaveISO, and the burns) create
// the reader, the writer disposes of it when the job ends and raises
// OnWriteDone exactly once.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class TzqCDBurner;

namespace recording {

class TCacheThread;

// True from a writer's job start to its job end.
bool JobRunning();
// Set by AbortWrite; cleared when a starter begins a job. RequestAbort is
// safe in a signal handler once the job state exists (any call here
// creates it).
bool AbortRequested();
void RequestAbort();
// A request left from an earlier job would end the next one at once: the
// starters clear it before their reader begins.
void ClearAbortRequest();

// The current read-ahead cache: what CacheFillPercent reads and what the
// writer takes its blocks from. Replacing it disposes of the old one.
void SetCurrentCache(std::unique_ptr<TCacheThread> Cache);
TCacheThread* CurrentCache();
// Disposes of the current cache (stops its thread, waits for it, frees it
// and its blocks) and clears the reference.
void DisposeCurrentCache();
// The current cache's fill level in percent of CacheSize; 0 without one.
int32_t CurrentCacheFillPercent(int32_t CacheSize);

// The job lock: serialises a writer's job end with the notification that
// a track is being closed.
std::mutex& JobLock();

// Marks the job running: done by StartWriteThread before the writer
// thread runs, so that no poller sees a gap between starter and writer.
void MarkJobRunning();
// Job start and end as every writer thread runs them. EndJob disposes of
// the reader, raises OnWriteDone with the reader's error text (empty on
// success) and clears JobRunning. An image burn raises OnWriteDone while
// it holds the job lock and disposes of its reader afterwards.
enum class TJobEnd : uint8_t { DisposeThenReport, ReportThenDispose };
void BeginJob(TzqCDBurner& Component);
void EndJob(TzqCDBurner& Component, TJobEnd Order = TJobEnd::DisposeThenReport);

// Starts the job's reader for the laid-out compilation and waits until it
// is primed, as BurnCD and SaveISO do. Clears a stale abort request first.
// False when the reader failed (or the user aborted) before that:
// OnWriteDone has then been raised here, on the calling thread.
bool StartCache(TzqCDBurner& Component);
// The same for any reader (the starter cleared the abort request before
// it began): it becomes the job's current reader.
bool StartReader(TzqCDBurner& Component, std::unique_ptr<TCacheThread> Reader);

// Waits until no job runs (its writer thread has ended); false when
// Timeout passed first.
bool WaitForJobEnd(std::chrono::milliseconds Timeout);

// Raises OnWriteDone; a handler's exception never leaves a worker thread.
void RaiseWriteDone(TzqCDBurner& Component, const std::string& Error);

}  // namespace recording
