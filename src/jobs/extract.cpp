#include "jobs/extract.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "burner/burner_messages.h"
#include "burner/extract_names.h"
#include "device/device_texts.h"
#include "jobs/compilation.h"
#include "jobs/disc_jobs.h"
#include "platform/date_time.h"
#include "platform/utf8.h"

namespace jobs {
namespace {

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

std::string ShownPath(PDirEntry Dir) {
  std::vector<std::string> names;
  for (PDirEntry d = Dir; d != nullptr && d->Parent != d && d->Entry != nullptr; d = d->Parent)
    names.push_back(d->Entry->LongName);
  std::string out;
  for (auto it = names.rbegin(); it != names.rend(); ++it) out += "/" + *it;
  return out.empty() ? "/" : out;
}

// Everything below Dir, depth first, with the targets below Target. Two
// names of the disc that come out as one name here keep the first.
void PlanFolder(PDirEntry Dir, const std::string& Target, ExtractPlan& P) {
  std::vector<std::pair<PDirEntry, std::string>> todo{{Dir, Target}};
  while (!todo.empty()) {
    auto [dir, target] = todo.back();
    todo.pop_back();
    std::set<std::string> names;
    std::vector<std::pair<PDirEntry, std::string>> below;
    for (PFileEntry e = dir->FirstChild; e != nullptr; e = e->Next) {
      ++P.Entries;
      const std::string name = burner::SafeHostName(e->LongName);
      const std::string path = target + "/" + name;
      if (!names.insert(name).second) {
        P.Clashes.push_back(path);
        continue;
      }
      P.Items.push_back({e, path, e->Dir != nullptr});
      if (e->Dir != nullptr) {
        below.emplace_back(e->Dir, path);
      } else {
        P.Bytes += e->Size;
        ++P.Files;
      }
    }
    todo.insert(todo.end(), below.rbegin(), below.rend());
  }
}

// What stands in the way of the plan: a folder target that exists as
// anything but a folder (a link to one included), or an existing file
// target without Force.
std::string Obstacle(const ExtractPlan& P, bool Force) {
  for (const ExtractItem& item : P.Items) {
    struct stat st {};
    if (item.Entry == nullptr || lstat(item.Target.c_str(), &st) != 0) continue;
    if (item.Folder && !S_ISDIR(st.st_mode)) return item.Target + " exists and is not a folder";
    if (!item.Folder && S_ISDIR(st.st_mode)) return item.Target + " is a folder";
    if (!item.Folder && !Force) return item.Target + " already exists";
  }
  return std::string();
}

void SetFolderDate(const std::string& Path, TDateTime Date) {
  const timespec times[2] = {{0, UTIME_OMIT},
                             {static_cast<time_t>(platform::DateTimeToUnixTime(Date)), 0}};
  utimensat(AT_FDCWD, Path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

}  // namespace

std::optional<FoundPath> FindPath(const TzqCDBurner& Burner, const std::string& Path) {
  std::string error;
  const auto folder = CompilationFolder(Path, error);
  if (!folder) return std::nullopt;
  const std::string& path = *folder;
  FoundPath found;
  if (PDirEntry dir = Burner.FindDir(path)) {
    found.Folder = dir;
    found.Entry = dir == Burner.RootDir() ? nullptr : dir->Entry;
    found.Shown = ShownPath(dir);
    return found;
  }
  const size_t cut = path.find_last_of('\\');
  PDirEntry dir = Burner.FindDir(path.substr(0, cut));
  const std::string name = path.substr(cut + 1);
  if (dir == nullptr || name.empty()) return std::nullopt;
  // A name without a dot is held with one (README is README.).
  PFileEntry entry = Burner.FindEntry(dir, name);
  if (entry == nullptr && name.find('.') == std::string::npos)
    entry = Burner.FindEntry(dir, name + ".");
  if (entry == nullptr) return std::nullopt;
  found.Entry = entry;
  found.Folder = entry->Dir;
  const std::string parent = ShownPath(dir);
  found.Shown = (parent == "/" ? "" : parent) + "/" + entry->LongName;
  return found;
}

Planned<ExtractPlan> PlanExtract(const TzqCDBurner& Burner, const ExtractRequest& Request) {
  using P = Planned<ExtractPlan>;
  P out;
  ExtractPlan& plan = out.Value;
  const auto found = FindPath(Burner, Request.Path);
  if (!found)
    return P::No(Refuse(Category::Input, "no-such-path",
                        Shown(Request.Path) + ": no such file or folder in the session"));
  std::string dest = Request.Dest;
  while (dest.size() > 1 && dest.back() == '/') dest.pop_back();
  plan.Dest = dest;
  plan.Force = Request.Force;
  struct stat dest_st {};
  const bool dest_exists = stat(dest.c_str(), &dest_st) == 0;
  if (found->Folder != nullptr) {
    if (dest_exists && !S_ISDIR(dest_st.st_mode))
      return P::No(Refuse(Category::Input, "dest-not-a-folder",
                          Shown(dest) + " exists and is not a folder"));
    plan.Items.push_back({nullptr, dest, true});
    plan.CreatesDest = !dest_exists;
    plan.DestEntry = found->Entry;
    PlanFolder(found->Folder, dest, plan);
  } else {
    std::string target = dest;
    if (dest_exists && S_ISDIR(dest_st.st_mode))
      target = dest + "/" + burner::SafeHostName(found->Entry->LongName);
    plan.Items.push_back({found->Entry, target, false});
    plan.Bytes = found->Entry->Size;
    plan.Files = 1;
    plan.Entries = 1;
  }
  if (const std::string obstacle = Obstacle(plan, Request.Force); !obstacle.empty())
    return P::No(Refuse(Category::Input, "target-exists", Shown(obstacle)));
  return out;
}

ExtractResult RunExtract(TzqCDBurner& Burner, const ExtractPlan& Plan,
                         const std::function<void(int64_t)>& Progress,
                         const std::function<bool()>& Aborted) {
  ExtractResult r;
  r.Unread = Burner.Omissions();
  bool aborted = false;
  if (Plan.CreatesDest && mkdir(Plan.Dest.c_str(), 0777) != 0) {
    r.Result = Failed("cannot create " + Shown(Plan.Dest) + " (" + std::strerror(errno) + ")");
    return r;
  }
  for (const std::string& clash : Plan.Clashes)
    r.Failed.push_back({clash, "another entry of the disc has this name"});

  // Why a file was not extracted: the component's last word on it.
  std::string last_error;
  TOnDebugMsg saved = Burner.OnDebugMessage;
  Burner.OnDebugMessage = [&](TSCSIDevice* Sender, const std::string& Text, uint8_t Type) {
    if (saved) saved(Sender, Text, Type);
    if (Type == burner::msg::kTypeError && Text.rfind("<<<", 0) != 0) last_error = Text;
  };
  int64_t done_before = 0;
  TExtractProgressEvent saved_progress = Burner.OnExtractProgress;
  Burner.OnExtractProgress = [&](TzqCDBurner*, int64_t Done, int64_t, bool& Abort) {
    if (Aborted && Aborted()) Abort = aborted = true;
    if (Progress) Progress(done_before + Done);
  };
  std::vector<const ExtractItem*> dated;
  for (const ExtractItem& item : Plan.Items) {
    if (aborted || (Aborted && Aborted())) {
      aborted = true;
      break;
    }
    if (item.Entry == nullptr) continue;
    if (item.Folder) {
      struct stat st {};
      if (mkdir(item.Target.c_str(), 0777) != 0 &&
          (errno != EEXIST || lstat(item.Target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
        r.Failed.push_back(
            {item.Target, std::string("cannot create (") + std::strerror(errno) + ")"});
        continue;
      }
      ++r.Folders;
      dated.push_back(&item);
      continue;
    }
    last_error.clear();
    try {
      if (Burner.ExtractFile(item.Entry, item.Target, Plan.Force)) {
        ++r.Files;
        r.Bytes += item.Entry->Size;
      } else if (!aborted) {
        r.Failed.push_back({item.Target, last_error.empty() ? "not extracted" : last_error});
      }
    } catch (const EStreamError& e) {
      r.Failed.push_back({item.Target, e.what()});
    }
    done_before += item.Entry->Size;
    if (Progress) Progress(done_before);
  }
  Burner.OnExtractProgress = saved_progress;
  Burner.OnDebugMessage = saved;
  // Folders take their dates once nothing more is written into them.
  for (auto it = dated.rbegin(); it != dated.rend(); ++it)
    SetFolderDate((*it)->Target, (*it)->Entry->DateTime);
  if (Plan.CreatesDest && Plan.DestEntry != nullptr)
    SetFolderDate(Plan.Dest, Plan.DestEntry->DateTime);

  if (aborted) {
    r.Result = Failed(std::string(texts::kAborted));
    r.Result.Kind = Result::Aborted;
  } else if (!r.Unread.empty()) {
    r.Result = Failed(UnreadSummary(r.Unread.size()));
  } else if (!r.Failed.empty()) {
    r.Result = Failed(std::to_string(r.Failed.size()) + " of " + std::to_string(Plan.Entries) +
                      " entries not extracted");
  }
  return r;
}

}  // namespace jobs
