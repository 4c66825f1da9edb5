#pragma once
// What mkiso and burn share: the options that build a compilation, read
// into the sources and settings the job layer takes, and the compilation
// built from them with the count of files shown while it grows.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jobs/compilation.h"
#include "platform/settings.h"

class TzqCDBurner;

namespace cli {

class Frame;
class Options;

// --volume, --no-joliet, --archive-only, --cache-size, --skip-unadded.
void AddCompilationOptions(Options& Opts, const char* DefaultVolume);

struct CompilationArgs {
  std::vector<jobs::Source> Sources;
  std::string Volume;
  bool Joliet = true;
  bool ArchiveOnly = false;
  bool SkipUnadded = false;
  int32_t CacheSize = 0;
};

// The options and SOURCE arguments with the settings file's values where
// an option is not given (DefaultVolume when neither names a volume).
// nullopt to go on, else the exit status after the refusal was reported.
std::optional<int> ReadCompilationArgs(const Frame& F, const platform::ProgramSettings& Settings,
                                       const std::string& DefaultVolume, CompilationArgs& Out);

// Adds the sources to the compilation (which holds the root, or an
// imported session) and sets its volume, Joliet and cache size.
void BuildCompilation(const Frame& F, TzqCDBurner& Burner, const CompilationArgs& Args);

// The advice the command line adds to a refusal of the job layer.
std::string AdviceFor(const std::string& Code);

}  // namespace cli
