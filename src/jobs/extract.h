#pragma once
// Reading an imported session: paths of its tree, and extracting a file
// or a folder with everything below it to a local folder.
//
// The destination is the root of everything written: every name below it
// comes from the disc and is made one safe path element, so nothing lands
// outside it. Nothing that exists is replaced unless asked, and then only
// files; the plan checks the whole tree before the first byte is written,
// so a refusal writes nothing.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jobs/outcome.h"

namespace jobs {

// An entry of the imported tree named by a path as the user writes it
// ("/docs/a.txt", "\docs", "/" for the root).
struct FoundPath {
  PDirEntry Folder = nullptr;  // set for a folder (the root included)
  PFileEntry Entry = nullptr;  // the entry (a folder's entry, or a file); null for the root
  std::string Shown;           // the path with "/", as spelled on the disc
};
std::optional<FoundPath> FindPath(const TzqCDBurner& Burner, const std::string& Path);

struct ExtractRequest {
  std::string Path;  // on the disc
  std::string Dest;  // local
  bool Force = false;
};

struct ExtractItem {
  PFileEntry Entry = nullptr;  // null for the destination folder itself
  std::string Target;
  bool Folder = false;
};

struct ExtractPlan {
  std::vector<ExtractItem> Items;  // folders before what they hold
  std::string Dest;
  bool CreatesDest = false;          // a folder extracted into a destination that does not exist
  PFileEntry DestEntry = nullptr;    // the folder whose date the created destination takes
  std::vector<std::string> Clashes;  // targets two entries of the disc would share
  int64_t Bytes = 0;
  int64_t Files = 0;
  int64_t Entries = 0;  // what the user asked for: every entry below the path
  bool Force = false;   // existing files are replaced
};

// The plan over the imported session; refused (Input) for a path the
// session lacks or a destination in the way.
Planned<ExtractPlan> PlanExtract(const TzqCDBurner& Burner, const ExtractRequest& Request);

// An entry that was not extracted, and why.
struct NotExtracted {
  std::string Target;
  std::string Reason;
};

struct ExtractResult {
  Outcome Result;
  int64_t Files = 0;
  int64_t Folders = 0;
  int64_t Bytes = 0;
  std::vector<NotExtracted> Failed;
  std::vector<TOmission> Unread;  // what the session import could not read
};

// Runs the plan. Progress gets the bytes copied so far now and then;
// Aborted is asked between blocks. A session import that left entries
// out, an entry not extracted or an abort make the outcome a failure.
ExtractResult RunExtract(TzqCDBurner& Burner, const ExtractPlan& Plan,
                         const std::function<void(int64_t)>& Progress,
                         const std::function<bool()>& Aborted);

}  // namespace jobs
