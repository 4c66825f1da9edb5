#pragma once
// What the subcommands that write a compilation share: the settings file
// as the application reads it, the log channel on standard error, and the
// sources (SOURCE or DEST=SOURCE) added as the window's Add command adds
// them.

#include <string>
#include <vector>

#include "platform/settings.h"

class TzqCDBurner;

namespace cli {

class ProgressDisplay;

// zqcb.ini from the program's folder, else the user's configuration
// folder; defaults for whatever is missing.
platform::ProgramSettings LoadProgramSettings();

// Warnings and errors of the component's log go to standard error;
// progress and trace lines (type 1) only when Verbose. LastError, when
// given, receives the text of the last warning or error.
void AttachLog(TzqCDBurner& Burner, bool Verbose, std::string* LastError = nullptr);

struct SourceArg {
  std::string Dest;  // compilation folder path: "\" or "\A\B"
  std::string Path;  // absolute host path, without a trailing "/"
  bool IsFolder = false;
};

// Reads the SOURCE and DEST=SOURCE arguments: relative sources are made
// absolute, "/" and "\" both separate compilation folders. An argument
// that exists on disk as a whole is a SOURCE even with an "=" in it. False
// with a message for a source that does not exist.
bool ParseSources(const std::vector<std::string>& Args, std::vector<SourceArg>& Out,
                  std::string& Error);

// A compilation path from the command line: "/docs/2004" or "\docs\2004"
// as \docs\2004; "", "/" and "\" as the root.
std::string CompilationFolder(const std::string& Text);

// Adds every source: a folder with everything below it as a folder of its
// own name in DEST, a file into DEST; DEST's folders are created as
// needed. With ArchiveOnly, files in folders are added only when their
// archive attribute is set, and marked to have it cleared after a write.
// A name DEST already holds is refused with a warning, as the window does.
// Display, when given, counts the entries added every 500 ms.
void AddSources(TzqCDBurner& Burner, const std::vector<SourceArg>& Sources, bool ArchiveOnly,
                ProgressDisplay* Display = nullptr);

}  // namespace cli
