#include "cli/cli_read_session.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_compilation.h"
#include "cli/cli_device.h"
#include "cli/cli_options.h"
#include "cli/command.h"
#include "platform/date_time.h"

namespace cli {
namespace {

constexpr size_t kSenseKey = 2;
constexpr size_t kAsc = 12;
constexpr uint8_t kUnitAttention = 0x06;
constexpr uint8_t kAscNotReady = 0x04;
constexpr int kReadyAttempts = 60;  // of 500 ms: a drive spinning a disc up
constexpr int32_t kReadyTimeoutMs = 5000;

bool ParseIndex(const std::string& Text, size_t& Out) {
  if (Text.empty() || Text.size() > 4) return false;
  size_t v = 0;
  for (const char c : Text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<size_t>(c - '0');
  }
  Out = v;
  return true;
}

std::string ShownPath(PDirEntry Dir) {
  std::vector<std::string> names;
  for (PDirEntry d = Dir; d != nullptr && d->Parent != d && d->Entry != nullptr; d = d->Parent)
    names.push_back(d->Entry->LongName);
  std::string out;
  for (auto it = names.rbegin(); it != names.rend(); ++it) out += "/" + *it;
  return out.empty() ? "/" : out;
}

}  // namespace

void AddReadOptions(Options& Opts) {
  Opts.Add("--session", "N",
           "the session to read: 1 is the first; past the last, or by default, the last");
  AddRecorderOptions(Opts);
}

std::optional<uint8_t> SessionOption(const Options& Opts) {
  const auto text = Opts.Value("--session");
  if (!text) return uint8_t{255};
  size_t n = 0;
  if (!ParseIndex(*text, n) || n < 1 || n > 255) return std::nullopt;
  return static_cast<uint8_t>(n);
}

int OpenDisc(TzqCDBurner& Burner, const Options& Opts, std::string& Error) {
  if (const int status = OpenRecorder(Burner, Opts, Error); status != kExitOk) return status;
  // A disc just loaded reports itself (unit attention) before it reads;
  // a drive still spinning up says it is becoming ready.
  for (int i = 0; i < kReadyAttempts; ++i) {
    if (Burner.TestUnitReady(kReadyTimeoutMs)) return kExitOk;
    if (Burner.LastSense[kSenseKey] == kUnitAttention) continue;
    if (Burner.LastSense[kAsc] != kAscNotReady || Burner.TransportError) break;
    usleep(500000);
  }
  Error = Burner.LastError.empty() ? "the recorder is not ready" : Burner.LastError;
  return kExitFailed;
}

bool ImportForReading(TzqCDBurner& Burner, uint8_t Session, std::string& LastLog,
                      std::string& Error) {
  Burner.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  LastLog.clear();
  if (Burner.ImportSession(static_cast<int8_t>(Session), Burner.RootDir())) return true;
  Error = LastLog.empty() ? "the disc holds no session" : LastLog;
  return false;
}

std::optional<FoundPath> FindPath(const TzqCDBurner& Burner, const std::string& Path) {
  const std::string path = CompilationFolder(Path);
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

std::string DateText(TDateTime Value) {
  const platform::DateTimeParts p = platform::DecodeDateTime(Value);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                p.Minute, p.Second);
  return text;
}

}  // namespace cli
