// Adding files and folders: folders by record, by name and by path, one
// file by record or by host path, and the walk that adds a whole folder.

#include <sys/stat.h>

#include <cstring>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "burner/iso_names.h"
#include "burner/name_rules.h"
#include "platform/file_attr.h"
#include "platform/utf8.h"

namespace {

namespace msg = burner::msg;

// A path as the log shows it.
std::string Shown(const std::string& Path) {
  return platform::SanitizeUtf8(Path);
}

std::string ErrorText(int Error) {
  return std::strerror(Error);
}

}  // namespace

// Folders on the way down from where a walk began, by identity, so that a
// link back up the tree is seen as the loop it is.
struct TzqCDBurner::WalkState {
  std::vector<std::pair<uint64_t, uint64_t>> ancestors;
  bool IsAncestor(uint64_t dev, uint64_t ino) const {
    for (const auto& a : ancestors)
      if (a.first == dev && a.second == ino) return true;
    return false;
  }
};

PDirEntry TzqCDBurner::CreateDirEx(PDirEntry Parent, const TSearchRec& Rec, CreateResult& Result) {
  Result = CreateResult::TableFull;
  if (Parent == nullptr || Parent->Removed) return nullptr;
  // A backslash inside a folder name would make its path claim folders
  // that do not exist.
  std::string name = Rec.Name;
  for (char& c : name)
    if (c == '\\') c = '_';
  std::string new_path = Parent->Path + "\\" + name;
  if (new_path.starts_with("\\\\")) new_path.erase(0, 1);
  if (PDirEntry existing = FindDir(new_path)) {
    Result = CreateResult::Existing;
    return existing;
  }
  if (PFileEntry clash = FindEntry(Parent, name); clash != nullptr && !IsFolderEntry(clash)) {
    Result = CreateResult::NameTaken;
    Omit(TOmissionReason::Duplicate, msg::kFileExistsForFolder,
         Parent->Path + (Parent == root_ ? "" : "\\") + name);
    return nullptr;
  }
  const std::string short_name =
      Rec.AlternateName.empty() ? burner::UpperAscii(name) : Rec.AlternateName;
  // A directory record holds at most 255 bytes.
  if (!iso::IsoNameFits(short_name, false) || !iso::JolietNameFits(name, false)) {
    Result = CreateResult::NameTooLong;
    Omit(TOmissionReason::NameTooLong, msg::kNameTooLong,
         Parent->Path + (Parent == root_ ? "" : "\\") + name);
    return nullptr;
  }
  PDirEntry dir = NewDirEntry();
  if (dir == nullptr) return nullptr;
  PFileEntry entry = NewFileEntry();
  if (entry == nullptr) {
    // Without its folder entry the directory would hang in the tables with
    // no parent and no path: give its slot back.
    DiscardDir(dir);
    return nullptr;
  }
  dir->Parent = Parent;
  dir->FirstChild = nullptr;
  dir->LongName = name;
  dir->ShortName = short_name;
  dir->Path = burner::UpperAscii(new_path);
  dir->Entry = entry;
  dirs_by_path_.emplace(dir->Path, dir);

  entry->LongName = name;
  entry->ShortName = short_name;
  entry->Attr = Rec.Attr;
  entry->Size = 0;
  entry->JolietSize = 0;
  entry->Dir = dir;
  entry->DateTime = platform::DosDateTimeToDateTime(static_cast<uint32_t>(Rec.Time));
  LinkEntry(Parent, entry);
  Result = CreateResult::Created;
  return dir;
}

PDirEntry TzqCDBurner::CreateDir(PDirEntry Parent, const TSearchRec& Rec) {
  CreateResult result;
  return CreateDirEx(Parent, Rec, result);
}

namespace {

TSearchRec FolderRecord(std::string Name, int32_t Attr) {
  if (Name.starts_with('\\')) Name.erase(0, 1);
  if (Name.ends_with('\\')) Name.pop_back();
  for (char& c : Name)
    if (c == '\\') c = '_';
  TSearchRec rec;
  rec.AlternateName = burner::FolderShortName(Name);
  rec.Name = std::move(Name);
  rec.Time = static_cast<int32_t>(platform::NowDosDateTime());
  rec.Attr = Attr;
  rec.Kind = TSearchKind::Directory;
  return rec;
}

}  // namespace

PDirEntry TzqCDBurner::CreateDir(PDirEntry Parent, const std::string& Name, int32_t Attr) {
  return CreateDir(Parent, FolderRecord(Name, Attr));
}

PDirEntry TzqCDBurner::ForceDirPath(const std::string& Path) {
  if (PDirEntry found = FindDir(Path)) return found;
  // Climb to the deepest folder that exists, then create downwards: each
  // step splits at the last backslash into a head (empty: the root) and a
  // tail; an empty tail (a path ending in a backslash) creates nothing and
  // gives null.
  std::vector<std::string> pending{Path};
  for (;;) {
    const std::string& cur = pending.back();
    const size_t cut = cur.find_last_of('\\');
    const std::string head = cut == std::string::npos ? std::string() : cur.substr(0, cut);
    if (head.empty() || FindDir(head) != nullptr) break;
    pending.push_back(head);
  }
  PDirEntry result = nullptr;
  for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
    const size_t cut = it->find_last_of('\\');
    const std::string head = cut == std::string::npos ? std::string() : it->substr(0, cut);
    const std::string tail = cut == std::string::npos ? *it : it->substr(cut + 1);
    result = tail.empty() ? nullptr : CreateDir(FindDir(head), tail, platform::faDirectory);
  }
  return result;
}

int32_t TzqCDBurner::InsertFile(PDirEntry Dir, const TSearchRec& Rec, bool ClearArchive,
                                int32_t ImportedSector, const std::string& FullPath) {
  return AddFileRecord(Dir, TSearchRec(Rec), ClearArchive, ImportedSector, std::string(FullPath));
}

int32_t TzqCDBurner::AddFileRecord(PDirEntry Dir, TSearchRec&& Rec, bool ClearArchive,
                                   int32_t ImportedSector, std::string&& FullPath) {
  if (Dir == nullptr || Dir->Removed) return 0;
  std::string short_name =
      Rec.AlternateName.empty() ? burner::UpperAscii(Rec.Name) : std::move(Rec.AlternateName);
  std::string long_name = std::move(Rec.Name);
  if ((Rec.Attr & platform::faDirectory) == 0) {
    if (short_name.find('.') == std::string::npos) short_name += '.';
    if (long_name.find('.') == std::string::npos) long_name += '.';
  }
  const auto shown = [&] { return FullPath.empty() ? long_name : Shown(FullPath); };
  // One extent of the image holds less than 4 GiB, and a file is never
  // split over several.
  if (Rec.SizeHigh != 0) {
    Omit(TOmissionReason::TooLarge, msg::kFileTooLarge, shown());
    return 0;
  }
  TDateTime date = platform::DosDateTimeToDateTime(static_cast<uint32_t>(Rec.Time));
  const bool too_long = platform::Utf8Length(long_name) >= kMaxLongNameChars;
  bool skip = too_long;
  if (OnAddFile)
    OnAddFile(this, FullPath, long_name, short_name, date, Rec.Attr, Rec.FullSize(), skip);
  if (skip) {
    Omit(too_long ? TOmissionReason::NameTooLong : TOmissionReason::Skipped,
         too_long ? msg::kNameTooLong : msg::kFileSkipped, shown());
    return 0;
  }
  // A directory record holds at most 255 bytes: names that would not fit
  // are refused here rather than cut when the image is laid out.
  if (!iso::IsoNameFits(short_name, true) || !iso::JolietNameFits(long_name, true)) {
    Omit(TOmissionReason::NameTooLong, msg::kNameTooLong, shown());
    return 0;
  }
  // The name is looked up as it will be stored, after the handler had its
  // say, so that a renamed file neither replaces nor duplicates another.
  PFileEntry target = FindEntry(Dir, long_name);
  if (target != nullptr) {
    if (!ReplaceFile) {
      Omit(TOmissionReason::Duplicate, msg::kFileExists, shown());
      return 0;
    }
    if (IsFolderEntry(target)) {
      // Replacing would leave a file entry holding a whole folder.
      Omit(TOmissionReason::Duplicate, msg::kFolderExists, shown());
      return 0;
    }
    if (target->Imported == 0) total_added_bytes_ -= RoundUpToSector(target->Size);
  } else {
    target = NewFileEntry();
    if (target == nullptr) {
      // The full table has been reported once on the log channel.
      omissions_.push_back(
          TOmission{shown(), TOmissionReason::Limit,
                    msg::Fill(msg::kMaxFiles, {std::to_string(max_files_)}) + ": " + shown()});
      return 0;
    }
    target->LongName = long_name;
    LinkEntry(Dir, target);
  }
  target->ShortName = burner::UpperAscii(short_name);
  target->LongName = std::move(long_name);
  target->Size = Rec.SizeLow;
  target->JolietSize = Rec.SizeLow;
  target->Attr = Rec.Attr;
  target->DateTime = date;
  target->SourcePath = std::move(FullPath);
  target->ClearArchive = ClearArchive ? 1 : 0;
  if (ImportedSector != 0) {
    target->IsoSector = ImportedSector;
    target->JolietSector = ImportedSector;
    target->Imported = 1;
  } else {
    target->Imported = 0;
    total_added_bytes_ += RoundUpToSector(target->Size);
  }
  return 1;
}

namespace {

// The last folder of a compilation path: from the last backslash before
// the final character on (\data\photos\ gives \photos\).
std::string LastFolder(const std::string& Path) {
  if (Path.size() < 2) return Path;
  const size_t cut = Path.find_last_of('\\', Path.size() - 2);
  return cut == std::string::npos ? Path : Path.substr(cut);
}

}  // namespace

int32_t TzqCDBurner::InsertFile(const std::string& DestPath, const std::string& SourceFile,
                                bool WithPath) {
  PDirEntry target = nullptr;
  std::string with_path;
  if (WithPath) {
    const bool host = burner::IsHostPath(SourceFile);
    const size_t cut = SourceFile.find_last_of(host ? '/' : '\\');
    const std::string folder =
        cut == std::string::npos ? std::string() : SourceFile.substr(0, cut + 1);
    with_path = host ? burner::HostToCompilationPath(folder) : folder;
    if (StripSourcePath) with_path = LastFolder(with_path);
  } else {
    target = FindDir(DestPath);
    if (target == nullptr) {
      DebugMsg(msg::kInvalidDestination, msg::kTypeOperation);
      return 0;
    }
  }
  TSearchRec rec;
  if (!platform::FindFile(SourceFile, rec)) return 255;
  const std::string shown = Shown(SourceFile);
  if (rec.Kind == TSearchKind::Directory) {
    Omit(TOmissionReason::NotRegular, msg::kNotAFile, shown);
    return 0;
  }
  if (rec.Kind == TSearchKind::Special) {
    Omit(TOmissionReason::NotRegular, msg::kSpecialFile, shown);
    return 0;
  }
  if (rec.Error != 0) {
    Omit(TOmissionReason::Unreadable, msg::kCannotReadFile, shown, ErrorText(rec.Error));
    return 0;
  }
  if (WithPath) {
    // The folders are made only for a file that is there to go in them.
    ForceDirPath(with_path);
    target = FindDir(with_path);
    if (target == nullptr) {
      DebugMsg(msg::kInvalidDestination, msg::kTypeOperation);
      return 0;
    }
  }
  burner::MakeCompilationName(rec.Name);
  if (rec.Name != rec.RawName) Report(msg::kNameChanged, shown, rec.Name);
  return AddFileRecord(target, std::move(rec), false, 0, std::string(SourceFile));
}

PDirEntry TzqCDBurner::WithPathTarget(PDirEntry Dir, std::string SourceDir) {
  std::string path;
  if (SourceDir.starts_with("\\\\")) {
    // \\server\share\rest: keep \rest.
    const size_t server_end = SourceDir.find('\\', 2);
    const size_t share_end =
        server_end == std::string::npos ? std::string::npos : SourceDir.find('\\', server_end + 1);
    path = share_end == std::string::npos ? std::string() : SourceDir.substr(share_end);
  } else if (burner::IsHostPath(SourceDir)) {
    path = burner::HostToCompilationPath(SourceDir);
  } else {
    path = std::move(SourceDir);
  }
  if (StripSourcePath) path = LastFolder(path);
  if (!Dir->Path.empty() && Dir->Path != "\\") path = Dir->Path + path;
  ForceDirPath(path);
  return FindDir(path);
}

int32_t TzqCDBurner::InsertDir(PDirEntry Dir, const std::string& SourceDir, bool ArchiveOnly,
                               bool WithPath, bool Recursive, int32_t AttrMask,
                               const std::string& Mask) {
  // The search always takes every entry: the masks only travel along.
  (void)AttrMask;
  (void)Mask;
  if (Dir == nullptr || Dir->Removed) {
    DebugMsg(msg::kInvalidDestination, msg::kTypeOperation);
    return 0;
  }
  if (WithPath) {
    Dir = WithPathTarget(Dir, SourceDir);
    if (Dir == nullptr) {
      DebugMsg(msg::kInvalidDestination, msg::kTypeOperation);
      return 0;
    }
  }
  // A compilation-style source names nothing on disk.
  if (!burner::IsHostPath(SourceDir) || !Recursive) return 0;
  std::string source = SourceDir;
  if (source.back() != '/') source += '/';
  WalkState state;
  struct stat st {};
  if (stat(source.c_str(), &st) == 0)
    state.ancestors.emplace_back(static_cast<uint64_t>(st.st_dev),
                                 static_cast<uint64_t>(st.st_ino));
  return Walk(Dir, source, ArchiveOnly, state);
}

int32_t TzqCDBurner::InsertDir(const std::string& DestPath, const std::string& SourceDir,
                               bool ArchiveOnly, bool WithPath, bool Recursive, int32_t AttrMask,
                               const std::string& Mask) {
  PDirEntry dir = FindDir(DestPath);
  if (dir == nullptr) {
    DebugMsg(msg::kInvalidDestination, msg::kTypeOperation);
    return 0;
  }
  return InsertDir(dir, SourceDir, ArchiveOnly, WithPath, Recursive, AttrMask, Mask);
}

// Files first, in the order the file system lists them; then each
// subfolder in that order, depth first. What cannot be added is reported
// and the walk goes on; only a folder that cannot be created (a full table)
// stops it, since everything below would be lost anyway.
int32_t TzqCDBurner::Walk(PDirEntry Dir, const std::string& SourceDir, bool ArchiveOnly,
                          WalkState& State) {
  platform::DirSearch search;
  // Only archive mode looks at the archive attribute.
  search.ReadArchiveAttributes(ArchiveOnly);
  if (!search.Open(SourceDir)) {
    Omit(TOmissionReason::Unreadable, msg::kCannotReadFolder, Shown(SourceDir),
         ErrorText(search.Error()));
    return 1;
  }
  if (search.Error() != 0)
    Omit(TOmissionReason::Unreadable, msg::kCannotReadFolder, Shown(SourceDir),
         ErrorText(search.Error()));
  std::vector<TSearchRec> subfolders;
  TSearchRec rec;
  while (search.Next(rec)) {
    std::string full = SourceDir + rec.RawName;
    switch (rec.Kind) {
      case TSearchKind::Error:
        Omit(TOmissionReason::Unreadable, msg::kCannotReadFile, Shown(full), ErrorText(rec.Error));
        continue;
      case TSearchKind::Special:
        Omit(TOmissionReason::NotRegular, msg::kSpecialFile, Shown(full));
        continue;
      case TSearchKind::Directory:
        if (State.IsAncestor(rec.Device, rec.Inode))
          Omit(TOmissionReason::LinkLoop, msg::kFolderLoop, Shown(full));
        else
          subfolders.push_back(std::move(rec));
        continue;
      case TSearchKind::File:
        break;
    }
    if (rec.Error != 0) {
      Omit(TOmissionReason::Unreadable, msg::kCannotReadFile, Shown(full), ErrorText(rec.Error));
      continue;
    }
    if (ArchiveOnly && (rec.Attr & platform::faArchive) == 0) continue;
    if (burner::MakeCompilationName(rec.Name) || rec.Name != rec.RawName)
      Report(msg::kNameChanged, Shown(full), rec.Name);
    AddFileRecord(Dir, std::move(rec), ArchiveOnly, 0, std::move(full));
  }
  search.Close();

  for (size_t i = 0; i < subfolders.size(); ++i) {
    const TSearchRec& sub = subfolders[i];
    std::string long_name = burner::CompilationName(sub.RawName);
    std::string short_name = long_name;
    bool skip = false;
    if (long_name != sub.RawName)
      Report(msg::kNameChanged, Shown(SourceDir + sub.RawName), long_name);
    if (OnAddDir) OnAddDir(this, long_name, short_name, skip);
    if (skip) {
      // The handler has said why, if it wished to; the folder is missing
      // from the compilation all the same.
      const std::string path = Shown(SourceDir + sub.RawName);
      omissions_.push_back(
          TOmission{path, TOmissionReason::Skipped, msg::Fill(msg::kFileSkipped, {path})});
      continue;
    }
    // By name, so the short name follows the 13-character rule; the short
    // name the handler returned is not used.
    CreateResult result;
    PDirEntry created = CreateDirEx(Dir, FolderRecord(long_name, platform::faDirectory), result);
    if (created == nullptr) {
      if (result == CreateResult::TableFull) {
        Omit(TOmissionReason::Limit, msg::kWalkStopped, Shown(SourceDir + sub.RawName));
        OmitRest(subfolders, i + 1, SourceDir);
        return 0;
      }
      continue;
    }
    // The folder on disk keeps its own name, whatever the handler made of
    // the compilation's name.
    State.ancestors.emplace_back(sub.Device, sub.Inode);
    const int32_t walked = Walk(created, SourceDir + sub.RawName + "/", ArchiveOnly, State);
    State.ancestors.pop_back();
    if (walked == 0) {
      OmitRest(subfolders, i + 1, SourceDir);
      return 0;
    }
  }
  return 1;
}

// The folders a stopped walk never reached are left out as a whole: each
// is recorded, so that the count of what is missing is true.
void TzqCDBurner::OmitRest(const std::vector<TSearchRec>& Subfolders, size_t From,
                           const std::string& SourceDir) {
  for (size_t i = From; i < Subfolders.size(); ++i) {
    const std::string path = Shown(SourceDir + Subfolders[i].RawName);
    omissions_.push_back(
        TOmission{path, TOmissionReason::Limit, msg::Fill(msg::kWalkStopped, {path})});
  }
}
