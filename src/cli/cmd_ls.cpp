// tidemark ls: imports a session of the disc in the recorder and lists its
// tree, as the window's session browser shows it.

#include <cstdio>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_frame.h"
#include "cli/cli_read.h"
#include "cli/cli_recorder.h"
#include "cli/command.h"
#include "jobs/disc_jobs.h"
#include "jobs/extract.h"
#include "platform/file_attr.h"
#include "platform/utf8.h"

namespace {

constexpr const char* kUsage =
    "usage: tidemark ls [--session N] [-l] [PATH]\n\n"
    "Imports a session of the disc (default: the last) and lists its tree below PATH\n"
    "(default: the root): one entry a line in the order of the disc, each folder\n"
    "(ending in \"/\") followed by what it holds. With -l each line also shows the\n"
    "attributes (d folder, h hidden), the size in bytes, the date and the entry's\n"
    "first sector on the disc.\n\n";

class Lister {
 public:
  Lister(const cli::Frame& F, bool Long) : f_(F), long_(Long), json_(F.Json()) {}

  void Entry(const TFEntry& e, const std::string& Path) {
    ++count_;
    const bool folder = IsFolderEntry(&e);
    const bool hidden = (e.Attr & platform::faHidden) != 0;
    const bool on_disc = !folder && e.Imported != 0;
    if (json_) {
      platform::JsonObject o;
      o.Add("event", "entry").Add("path", Path).Add("folder", folder).Add("hidden", hidden);
      if (folder)
        o.AddNull("size");
      else
        o.Add("size", e.Size);
      o.Add("date", cli::DateText(e.DateTime));
      if (on_disc)
        o.Add("sector", e.IsoSector);
      else
        o.AddNull("sector");
      cli::EmitJson(o);
      return;
    }
    const std::string shown = Path + (folder ? "/" : "");
    if (!long_) {
      f_.Line(shown);
      return;
    }
    const std::string size = folder ? "-" : std::to_string(e.Size);
    const std::string sector = on_disc ? std::to_string(e.IsoSector) : "-";
    char head[64];
    std::snprintf(head, sizeof head, "%c%c %12s %s %10s ", folder ? 'd' : '-', hidden ? 'h' : '-',
                  size.c_str(), cli::DateText(e.DateTime).c_str(), sector.c_str());
    f_.Line(head + shown);
  }

  // Every entry below Dir, depth first, in the order of the disc.
  void Tree(PDirEntry Dir, const std::string& Prefix) {
    std::vector<std::pair<PFileEntry, std::string>> todo;
    const auto push_children = [&](PDirEntry d, const std::string& prefix) {
      std::vector<std::pair<PFileEntry, std::string>> children;
      for (PFileEntry e = d->FirstChild; e != nullptr; e = e->Next)
        children.emplace_back(e, prefix + "/" + e->LongName);
      todo.insert(todo.end(), children.rbegin(), children.rend());
    };
    push_children(Dir, Prefix);
    while (!todo.empty()) {
      auto [e, path] = todo.back();
      todo.pop_back();
      Entry(*e, path);
      if (e->Dir != nullptr) push_children(e->Dir, path);
    }
  }

  int64_t Count() const { return count_; }

 private:
  const cli::Frame& f_;
  bool long_;
  bool json_;
  int64_t count_ = 0;
};

int RunLs(const std::vector<std::string>& Args) {
  cli::Frame f("ls", kUsage);
  f.Opts().Add("-l,--long", "", "attributes, size, date and sector of every entry");
  cli::AddReadOptions(f.Opts());
  if (const auto status = f.Parse(Args, false)) return *status;
  if (f.Opts().Positional().size() > 1) return f.Usage("ls takes at most one PATH");

  TzqCDBurner burner;
  f.AttachLog(burner);
  if (const auto status = cli::OpenSession(f, burner)) return *status;
  const std::string path = f.Opts().Positional().empty() ? "/" : f.Opts().Positional()[0];
  const auto found = jobs::FindPath(burner, path);
  if (!found)
    return f.Fail(cli::kExitUsage, path + ": no such file or folder in the session",
                  platform::JsonObject().Add("code", "no-such-path"));
  Lister lister(f, f.Opts().Has("--long"));
  if (found->Folder != nullptr)
    lister.Tree(found->Folder, found->Shown == "/" ? "" : found->Shown);
  else
    lister.Entry(*found->Entry, found->Shown);
  // What the import could not read is missing from the list: that is no
  // listing of the session.
  const std::vector<TOmission>& unread = burner.Omissions();
  jobs::Outcome outcome;
  if (!unread.empty()) outcome = jobs::Failed(jobs::UnreadSummary(unread.size()));
  platform::JsonObject result;
  result.Add("entries", lister.Count());
  if (!unread.empty()) result.Add("unread", cli::OmissionArray(unread));
  const int status = f.Report(outcome, result, "");
  for (const TOmission& o : unread)
    std::fprintf(stderr, "  %s\n", platform::SanitizeUtf8(o.Message).c_str());
  return status;
}

}  // namespace

TIDEMARK_COMMAND("ls", "import a session of the disc and list its tree", RunLs);
