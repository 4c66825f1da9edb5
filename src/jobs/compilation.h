#pragma once
// Building a compilation from what the user names: SOURCE and DEST=SOURCE
// arguments (the command line), compilation folder paths, and the checks
// every job that writes a compilation makes before it starts.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/outcome.h"

namespace jobs {

// The application's compilation limits.
inline constexpr int32_t kMaxEntries = TzqCDBurner::kAppMaxFiles;
inline constexpr int32_t kMaxFolders = TzqCDBurner::kAppMaxDirs;
// A volume label of more than this many characters is refused; the
// Joliet descriptor holds the first kJolietVolumeChars of a longer one.
inline constexpr size_t kMaxVolumeChars = 32;
inline constexpr size_t kJolietVolumeChars = 16;
// How many of the entries left out a refusal names in its text (all of
// them are in its list).
inline constexpr size_t kOmissionsShown = 20;

// A compilation folder path as the user writes it ("/docs/2004",
// "\docs\2004\", "/" for the root) in the component's form ("\docs\2004",
// "\" for the root). nullopt, with the reason in Error, for an empty
// component between two separators, "." or "..".
std::optional<std::string> CompilationFolder(std::string_view Text, std::string& Error);

struct Source {
  std::string Dest;  // compilation folder: "\" or "\A\B"
  std::string Path;  // absolute host path, without a trailing "/"
  bool IsFolder = false;
};

// SOURCE and DEST=SOURCE arguments: relative sources are made absolute; an
// argument that exists on disk as a whole is a SOURCE even with "=" in it.
// Refused (Input) for a source that does not exist or a DEST that is no
// folder path.
Planned<std::vector<Source>> ParseSources(const std::vector<std::string>& Args);

// Adds every source as the window's Add command adds it: a folder with
// everything below it as a folder of its own name in DEST, a file into
// DEST; DEST's folders are created as needed. What cannot be added is
// left out and recorded in the compilation's omissions. Count, when
// given, is called with the number of files seen so far, now and then.
void AddSources(TzqCDBurner& Burner, const std::vector<Source>& Sources, bool ArchiveOnly,
                const std::function<void(int64_t)>& Count = {});

// Nothing to write: "Please add the file or directory first!".
std::optional<Refusal> CheckNotEmpty(const TzqCDBurner& Burner);
// A label longer than the primary descriptor's field is refused; one the
// Joliet descriptor cuts gives a warning.
std::optional<Refusal> CheckVolume(const std::string& Volume, bool Joliet,
                                   std::vector<std::string>& Warnings);
// Entries the user asked for that the compilation lacks refuse the job,
// unless the user said to go on without them (then they are the job's
// to report).
std::optional<Refusal> CheckOmissions(const TzqCDBurner& Burner, bool SkipUnadded);
// The text of an omission refusal and of the window's question line.
std::string OmissionsSummary(size_t Count);

// Lays the compilation out (Prepare); refused (Job) with the layout's
// reason when it cannot be laid out.
std::optional<Refusal> LayOut(TzqCDBurner& Burner, bool ImageOnly);

}  // namespace jobs
