#pragma once
// Running one of the component's write jobs from the command line: the
// job's end is awaited through OnWriteDone, its progress shown every
// 500 ms, and an interrupt (Ctrl-C, SIGTERM) becomes an abort request, so
// that the job ends the way the window's Abort command ends it.

#include <functional>
#include <string>

#include "cli/cli_progress.h"

class TzqCDBurner;

namespace cli {

// Start begins the job (SaveISO, a burn, ...). Returns the job's error
// text once the job has ended completely: empty on success.
std::string RunWriteJob(TzqCDBurner& Burner, const std::function<void()>& Start,
                        ProgressDisplay& Display);

// The values a job's progress display shows, read from the component.
ProgressValues JobProgress(const TzqCDBurner& Burner);

}  // namespace cli
