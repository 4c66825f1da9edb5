#include "cli/cli_compilation.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "burner/cd_burner.h"
#include "cli/cli_progress.h"
#include "platform/app_paths.h"
#include "platform/file_attr.h"
#include "platform/ini_file.h"
#include "platform/utf8.h"

namespace cli {
namespace {

constexpr uint8_t kTypeProgress = 1;
constexpr auto kCountRefresh = std::chrono::milliseconds(500);

std::string Shown(const std::string& Path) {
  return platform::SanitizeUtf8(Path);
}

// The name a source takes in the compilation: its last path element.
std::string LastName(const std::string& Path) {
  const size_t cut = Path.find_last_of('/');
  return cut == std::string::npos ? Path : Path.substr(cut + 1);
}

std::string Absolute(const std::string& Path) {
  std::error_code ec;
  std::string out = std::filesystem::absolute(Path, ec).lexically_normal().string();
  if (ec) out = Path;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

bool Exists(const std::string& Path, bool& IsFolder) {
  struct stat st {};
  if (stat(Path.c_str(), &st) != 0) return false;
  IsFolder = S_ISDIR(st.st_mode);
  return true;
}

}  // namespace

platform::ProgramSettings LoadProgramSettings() {
  const platform::IniFile ini =
      platform::IniFile::Load(platform::AppPaths::FromEnvironment().SettingsFile());
  return platform::ReadProgramSettings(ini, platform::ProgramSettings{});
}

void AttachLog(TzqCDBurner& Burner, bool Verbose, std::string* LastError) {
  Burner.OnDebugMessage = [Verbose, LastError](TSCSIDevice*, const std::string& Message,
                                               uint8_t Type) {
    if (Type == kTypeProgress && !Verbose) return;
    if (Type != kTypeProgress && LastError != nullptr) *LastError = Message;
    std::fprintf(stderr, "%s\n", Shown(Message).c_str());
  };
}

std::string CompilationFolder(const std::string& Text) {
  std::string path;
  for (const char c : Text) {
    const char sep = c == '/' ? '\\' : c;
    if (sep == '\\' && !path.empty() && path.back() == '\\') continue;
    path += sep;
  }
  if (path.empty() || path.front() != '\\') path.insert(path.begin(), '\\');
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  return path;
}

bool ParseSources(const std::vector<std::string>& Args, std::vector<SourceArg>& Out,
                  std::string& Error) {
  for (const std::string& arg : Args) {
    SourceArg source;
    bool found = Exists(arg, source.IsFolder);
    std::string path = arg;
    std::string dest = "\\";
    // DEST=SOURCE: the first "=" after which a path that exists follows.
    for (size_t eq = arg.find('='); !found && eq != std::string::npos; eq = arg.find('=', eq + 1)) {
      const std::string rest = arg.substr(eq + 1);
      if (!rest.empty() && Exists(rest, source.IsFolder)) {
        found = true;
        path = rest;
        dest = CompilationFolder(arg.substr(0, eq));
      }
    }
    if (!found) {
      Error = Shown(arg) + ": no such file or folder";
      return false;
    }
    source.Path = Absolute(path);
    source.Dest = dest;
    Out.push_back(std::move(source));
  }
  return true;
}

void AddSources(TzqCDBurner& Burner, const std::vector<SourceArg>& Sources, bool ArchiveOnly,
                ProgressDisplay* Display) {
  // Counting is done in the add handler, which leaves every name as it is.
  auto next = std::chrono::steady_clock::now() + kCountRefresh;
  int64_t seen = 0;
  if (Display != nullptr)
    Burner.OnAddFile = [&](TzqCDBurner*, const std::string&, std::string&, std::string&, TDateTime&,
                           int32_t, int64_t, bool&) {
      if (++seen % 256 != 0) return;
      const auto now = std::chrono::steady_clock::now();
      if (now < next) return;
      next = now + kCountRefresh;
      Display->ShowCount("files", seen);
    };
  for (const SourceArg& s : Sources) {
    PDirEntry dest = Burner.FindDir(s.Dest);
    if (dest == nullptr) Burner.ForceDirPath(s.Dest);
    dest = Burner.FindDir(s.Dest);
    if (dest == nullptr) {
      std::fprintf(stderr, "tidemark: cannot create the folder %s in the compilation\n",
                   Shown(s.Dest).c_str());
      continue;
    }
    const std::string name = LastName(s.Path);
    if (Burner.FindEntry(dest, name) != nullptr) {
      std::fprintf(stderr, "tidemark: %s: %s already holds %s\n", Shown(s.Path).c_str(),
                   Shown(dest->Path).c_str(), Shown(name).c_str());
      continue;
    }
    if (s.IsFolder)
      Burner.InsertDir(dest, s.Path + "/", ArchiveOnly, true, true, platform::faAnyFile, "*.*");
    else
      Burner.InsertFile(dest->Path, s.Path, false);
  }
  Burner.OnAddFile = nullptr;
  if (Display != nullptr) Display->Finish();
}

}  // namespace cli
