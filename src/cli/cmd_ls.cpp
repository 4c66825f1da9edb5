// tidemark ls: imports a session of the disc in the recorder and lists its
// tree, as the window's session browser shows it.

#include <cstdio>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_compilation.h"
#include "cli/cli_json.h"
#include "cli/cli_options.h"
#include "cli/cli_read_session.h"
#include "cli/command.h"
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

bool json_output = false;

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

int Fail(int Status, const std::string& Message) {
  if (json_output)
    cli::JsonObject().Add("event", "result").Add("ok", false).Add("error", Message).Print();
  std::fprintf(stderr, "tidemark: %s\n", Shown(Message).c_str());
  return Status;
}

class Lister {
 public:
  Lister(bool Long, bool Json) : long_(Long), json_(Json) {}

  void Entry(const TFEntry& e, const std::string& Path) {
    ++count_;
    const bool folder = IsFolderEntry(&e);
    const bool hidden = (e.Attr & platform::faHidden) != 0;
    const bool on_disc = !folder && e.Imported != 0;
    if (json_) {
      cli::JsonObject o;
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
      o.Print();
      return;
    }
    const std::string shown = Shown(Path) + (folder ? "/" : "");
    if (!long_) {
      std::printf("%s\n", shown.c_str());
      return;
    }
    const std::string size = folder ? "-" : std::to_string(e.Size);
    const std::string sector = on_disc ? std::to_string(e.IsoSector) : "-";
    std::printf("%c%c %12s %s %10s %s\n", folder ? 'd' : '-', hidden ? 'h' : '-', size.c_str(),
                cli::DateText(e.DateTime).c_str(), sector.c_str(), shown.c_str());
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
  bool long_;
  bool json_;
  int64_t count_ = 0;
};

int RunLs(const std::vector<std::string>& args) {
  cli::Options opts;
  opts.Add("-l,--long", "", "attributes, size, date and sector of every entry");
  cli::AddReadOptions(opts);
  opts.Add("--json", "", "JSON objects on standard output instead of text")
      .Add("-v,--verbose", "", "progress and trace lines of the component's log")
      .Add("-h,--help", "", "this help");
  const bool parsed = opts.Parse(args);
  json_output = opts.Has("--json");
  if (!parsed) return Fail(cli::kExitUsage, opts.Error() + " (see tidemark ls --help)");
  if (opts.Has("--help")) {
    std::printf("%s%s", kUsage, opts.HelpText().c_str());
    return cli::kExitOk;
  }
  if (opts.Positional().size() > 1) return Fail(cli::kExitUsage, "ls takes at most one PATH");
  const auto session = cli::SessionOption(opts);
  if (!session) return Fail(cli::kExitUsage, "invalid --session (a number from 1 to 255)");

  TzqCDBurner burner;
  std::string last_log;
  cli::AttachLog(burner, opts.Has("--verbose"), &last_log);
  std::string error;
  if (const int status = cli::OpenDisc(burner, opts, error); status != cli::kExitOk)
    return Fail(status, error);
  if (!cli::ImportForReading(burner, *session, last_log, error))
    return Fail(cli::kExitFailed, error);

  const std::string path = opts.Positional().empty() ? "/" : opts.Positional()[0];
  const auto found = cli::FindPath(burner, path);
  if (!found) return Fail(cli::kExitUsage, path + ": no such file or folder in the session");
  Lister lister(opts.Has("--long"), json_output);
  if (found->Folder != nullptr)
    lister.Tree(found->Folder, found->Shown == "/" ? "" : found->Shown);
  else
    lister.Entry(*found->Entry, found->Shown);
  if (json_output)
    cli::JsonObject().Add("event", "result").Add("ok", true).Add("entries", lister.Count()).Print();
  return cli::kExitOk;
}

}  // namespace

TIDEMARK_COMMAND("ls", "import a session of the disc and list its tree", RunLs);
