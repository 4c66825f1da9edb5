#include "jobs/compilation.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "burner/burner_messages.h"
#include "platform/file_attr.h"
#include "platform/utf8.h"

namespace jobs {
namespace {

namespace msg = burner::msg;

constexpr auto kCountRefresh = std::chrono::milliseconds(500);
constexpr const char* kEmptyCompilation = "Please add the file or directory first!";

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

bool IsSeparator(char C) {
  return C == '/' || C == '\\';
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

std::optional<std::string> CompilationFolder(std::string_view Text, std::string& Error) {
  std::string_view rest = Text;
  if (!rest.empty() && IsSeparator(rest.front())) rest.remove_prefix(1);
  if (!rest.empty() && IsSeparator(rest.back())) rest.remove_suffix(1);
  std::string path = "\\";
  if (rest.empty()) return path;
  size_t start = 0;
  for (;;) {
    size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::string_view name = rest.substr(start, end - start);
    if (name.empty() || name == "." || name == "..") {
      Error = "\"" + Shown(std::string(Text)) +
              "\": a folder path in the compilation cannot hold an empty name, \".\" or \"..\"";
      return std::nullopt;
    }
    if (path.size() > 1) path += '\\';
    path += name;
    if (end == rest.size()) break;
    start = end + 1;
  }
  return path;
}

Planned<std::vector<Source>> ParseSources(const std::vector<std::string>& Args) {
  Planned<std::vector<Source>> out;
  for (const std::string& arg : Args) {
    Source source;
    bool found = Exists(arg, source.IsFolder);
    std::string path = arg;
    std::string dest = "\\";
    // DEST=SOURCE: the first "=" after which a path that exists follows.
    for (size_t eq = arg.find('='); !found && eq != std::string::npos; eq = arg.find('=', eq + 1)) {
      const std::string rest = arg.substr(eq + 1);
      if (rest.empty() || !Exists(rest, source.IsFolder)) continue;
      std::string error;
      const auto folder = CompilationFolder(arg.substr(0, eq), error);
      if (!folder)
        return Planned<std::vector<Source>>::No(Refuse(Category::Input, "bad-folder-path", error));
      found = true;
      path = rest;
      dest = *folder;
    }
    if (!found)
      return Planned<std::vector<Source>>::No(
          Refuse(Category::Input, "no-such-source", Shown(arg) + ": no such file or folder"));
    source.Path = Absolute(path);
    source.Dest = dest;
    out.Value.push_back(std::move(source));
  }
  return out;
}

void AddSources(TzqCDBurner& Burner, const std::vector<Source>& Sources, bool ArchiveOnly,
                const std::function<void(int64_t)>& Count) {
  // Counting is done in the add handler, which leaves every name as it is.
  auto next = std::chrono::steady_clock::now() + kCountRefresh;
  int64_t seen = 0;
  TAddFileEvent saved = Burner.OnAddFile;
  if (Count)
    Burner.OnAddFile = [&](TzqCDBurner* Sender, const std::string& Full, std::string& Long,
                           std::string& Short, TDateTime& Date, int32_t Attr, int64_t Size,
                           bool& Skip) {
      if (saved) saved(Sender, Full, Long, Short, Date, Attr, Size, Skip);
      if (++seen % 256 != 0) return;
      const auto now = std::chrono::steady_clock::now();
      if (now < next) return;
      next = now + kCountRefresh;
      Count(seen);
    };
  for (const Source& s : Sources) {
    const std::string shown = Shown(s.Path);
    PDirEntry dest = Burner.FindDir(s.Dest);
    if (dest == nullptr) {
      const size_t before = Burner.Omissions().size();
      Burner.ForceDirPath(s.Dest);
      dest = Burner.FindDir(s.Dest);
      if (dest == nullptr) {
        // The component has said why when it knew; a full table it only
        // reports once.
        if (Burner.Omissions().size() == before)
          Burner.NoteOmission(TOmissionReason::Limit, shown,
                              msg::Fill(msg::kWalkStopped, {Shown(s.Dest)}));
        continue;
      }
    }
    const std::string name = LastName(s.Path);
    if (PFileEntry there = Burner.FindEntry(dest, name)) {
      Burner.NoteOmission(
          TOmissionReason::Duplicate, shown,
          msg::Fill(IsFolderEntry(there) ? msg::kFolderExists : msg::kFileExists, {shown}));
      continue;
    }
    if (s.IsFolder)
      Burner.InsertDir(dest, s.Path + "/", ArchiveOnly, true, true, platform::faAnyFile, "*.*");
    else
      Burner.InsertFile(dest->Path, s.Path, false);
  }
  Burner.OnAddFile = saved;
  if (Count) Count(seen);
}

std::optional<Refusal> CheckNotEmpty(const TzqCDBurner& Burner) {
  if (Burner.DirsCount() != 0 || Burner.FilesCount() != 0) return std::nullopt;
  return Refuse(Category::Input, "empty-compilation", kEmptyCompilation);
}

std::optional<Refusal> CheckVolume(const std::string& Volume, bool Joliet,
                                   std::vector<std::string>& Warnings) {
  const size_t chars = platform::Utf8Length(Volume);
  if (chars > kMaxVolumeChars)
    return Refuse(Category::Input, "volume-too-long",
                  "the volume label \"" + Shown(Volume) + "\" has " + std::to_string(chars) +
                      " characters; it can have at most " + std::to_string(kMaxVolumeChars));
  // The Joliet field holds 16 UTF-16 units.
  if (Joliet && platform::Utf8ToUtf16(Volume).size() > kJolietVolumeChars) {
    std::u16string cut = platform::Utf8ToUtf16(Volume).substr(0, kJolietVolumeChars);
    // A pair is never split.
    if (!cut.empty() && cut.back() >= 0xD800 && cut.back() < 0xDC00) cut.pop_back();
    Warnings.push_back("the volume label is cut to \"" + platform::Utf16ToUtf8(cut) +
                       "\" in the Joliet descriptor (16 characters); the ISO 9660 descriptor "
                       "holds all of it");
  }
  return std::nullopt;
}

std::string OmissionsSummary(size_t Count) {
  return Count == 1 ? "1 item could not be added"
                    : std::to_string(Count) + " items could not be added";
}

std::optional<Refusal> CheckOmissions(const TzqCDBurner& Burner, bool SkipUnadded) {
  const std::vector<TOmission>& left = Burner.Omissions();
  if (left.empty() || SkipUnadded) return std::nullopt;
  Refusal r = Refuse(Category::Input, "omissions", OmissionsSummary(left.size()));
  for (size_t i = 0; i < left.size() && i < kOmissionsShown; ++i)
    r.Details.push_back(left[i].Message);
  if (left.size() > kOmissionsShown)
    r.Details.push_back("... and " + std::to_string(left.size() - kOmissionsShown) + " more");
  r.Omitted = left;
  return r;
}

std::optional<Refusal> LayOut(TzqCDBurner& Burner, bool ImageOnly) {
  // The layout says why it cannot be made on the log channel; no job runs
  // yet, so the channel can be borrowed for the moment.
  TOnDebugMsg saved = Burner.OnDebugMessage;
  std::string reason;
  Burner.OnDebugMessage = [&](TSCSIDevice* Sender, const std::string& Text, uint8_t Type) {
    if (saved) saved(Sender, Text, Type);
    if (Type == msg::kTypeOperation) reason = Text;
  };
  bool ok = false;
  try {
    ok = Burner.Prepare(ImageOnly);
  } catch (...) {
    Burner.OnDebugMessage = saved;
    throw;
  }
  Burner.OnDebugMessage = saved;
  if (ok) return std::nullopt;
  return Refuse(Category::Job, "layout",
                reason.empty() ? "THE COMPILATION CANNOT BE LAID OUT" : reason);
}

}  // namespace jobs
