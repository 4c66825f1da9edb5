#include "platform/dir_search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <unordered_map>

#include "platform/date_time.h"
#include "platform/file_attr.h"
#include "platform/short_name.h"
#include "platform/utf8.h"

namespace platform {
namespace {

bool Dots(const char* n) {
  return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

// Mode bits alone tell "readable" for nearly every file; only the rest needs
// the kernel's opinion (ACLs, capabilities, another owner).
bool MaybeUnreadable(const struct stat& st) {
  return (st.st_mode & 0444) != 0444;
}

}  // namespace

void FillFromStat(TSearchRec& Rec, const struct stat& St) {
  Rec.Device = static_cast<uint64_t>(St.st_dev);
  Rec.Inode = static_cast<uint64_t>(St.st_ino);
  Rec.Time = static_cast<int32_t>(UnixTimeToDosDateTime(St.st_mtim.tv_sec));
  if (S_ISDIR(St.st_mode)) {
    Rec.Kind = TSearchKind::Directory;
  } else if (S_ISREG(St.st_mode)) {
    Rec.Kind = TSearchKind::File;
  } else {
    Rec.Kind = TSearchKind::Special;
  }
  const uint64_t size = Rec.Kind == TSearchKind::File ? static_cast<uint64_t>(St.st_size) : 0;
  Rec.SizeLow = static_cast<uint32_t>(size);
  Rec.SizeHigh = static_cast<uint32_t>(size >> 32);
  Rec.Size = static_cast<int32_t>(Rec.SizeLow);
}

DirSearch::~DirSearch() {
  Close();
}

bool DirSearch::Open(const std::string& Folder) {
  Close();
  raw_.clear();
  names_.clear();
  alternates_.clear();
  next_ = 0;
  error_ = 0;
  xattrs_ = true;
  folder_ = Folder.empty() ? "./" : Folder;
  if (folder_.back() != '/') folder_ += '/';
  path_ = folder_;
  dir_ = opendir(folder_.c_str());
  if (dir_ == nullptr) {
    error_ = errno;
    return false;
  }
  for (;;) {
    errno = 0;
    const dirent* d = readdir(dir_);
    if (d == nullptr) {
      error_ = errno;
      break;
    }
    if (!Dots(d->d_name)) raw_.emplace_back(d->d_name);
  }
  names_.reserve(raw_.size());
  for (const std::string& r : raw_) names_.push_back(SanitizeUtf8(r));
  alternates_ = SynthesizeAlternateNames(names_);
  return true;
}

bool DirSearch::Next(TSearchRec& Rec) {
  if (dir_ == nullptr || next_ >= raw_.size()) return false;
  const size_t i = next_++;
  // Each entry is handed out once: its names move into the record.
  Rec = TSearchRec{};
  Rec.RawName = std::move(raw_[i]);
  Rec.Name = std::move(names_[i]);
  Rec.AlternateName = std::move(alternates_[i]);
  struct stat st {};
  const int dfd = dirfd(dir_);
  if (fstatat(dfd, Rec.RawName.c_str(), &st, 0) != 0) {
    Rec.Kind = TSearchKind::Error;
    Rec.Error = errno;
    return true;
  }
  FillFromStat(Rec, st);
  path_.resize(folder_.size());
  path_ += Rec.RawName;
  const bool archive = read_archive_ && Rec.Kind != TSearchKind::Special;
  Rec.Attr = AttrFromStat(st, Rec.Name, archive ? path_.c_str() : nullptr, &xattrs_);
  if (Rec.Kind == TSearchKind::File && MaybeUnreadable(st) &&
      faccessat(dfd, Rec.RawName.c_str(), R_OK, AT_EACCESS) != 0)
    Rec.Error = errno;
  return true;
}

void DirSearch::Close() {
  if (dir_ != nullptr) closedir(dir_);
  dir_ = nullptr;
}

namespace {

// The alternate names of the last folder a single-path search listed, kept
// while the folder is unchanged: adding many files of one folder one by one
// then lists it once.
struct FolderNames {
  std::string folder;
  dev_t dev = 0;
  ino_t ino = 0;
  timespec mtime{};
  timespec ctime{};
  std::vector<std::string> raw;
  std::vector<std::string> alternates;
  std::unordered_map<std::string, size_t> position;  // raw name -> index
};

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

FolderNames& LastFolder() {
  static thread_local FolderNames cache;
  return cache;
}

std::string AlternateFor(const std::string& folder, const std::string& raw) {
  struct stat fst {};
  FolderNames& c = LastFolder();
  if (stat(folder.c_str(), &fst) == 0) {
    const bool fresh = c.folder == folder && c.dev == fst.st_dev && c.ino == fst.st_ino &&
                       SameTime(c.mtime, fst.st_mtim) && SameTime(c.ctime, fst.st_ctim);
    if (!fresh) {
      c = FolderNames{};
      // Only the names are needed: read them without examining each entry.
      if (DIR* d = opendir(folder.c_str())) {
        c.folder = folder;
        c.dev = fst.st_dev;
        c.ino = fst.st_ino;
        c.mtime = fst.st_mtim;
        c.ctime = fst.st_ctim;
        while (const dirent* e = readdir(d))
          if (!Dots(e->d_name)) c.raw.emplace_back(e->d_name);
        closedir(d);
        std::vector<std::string> names;
        names.reserve(c.raw.size());
        c.position.reserve(c.raw.size());
        for (size_t i = 0; i < c.raw.size(); ++i) {
          names.push_back(SanitizeUtf8(c.raw[i]));
          c.position.emplace(c.raw[i], i);
        }
        c.alternates = SynthesizeAlternateNames(names);
      }
    }
    if (c.folder == folder)
      if (const auto it = c.position.find(raw); it != c.position.end())
        return c.alternates[it->second];
  }
  // The folder cannot be listed: the name alone decides.
  return SynthesizeAlternateNames({SanitizeUtf8(raw)})[0];
}

}  // namespace

bool FindFile(const std::string& Path, TSearchRec& Rec) {
  std::string p = Path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat st {};
  if (p.empty() || stat(p.c_str(), &st) != 0) return false;
  const size_t slash = p.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? std::string("./") : p.substr(0, slash + 1);
  Rec = TSearchRec{};
  Rec.RawName = slash == std::string::npos ? p : p.substr(slash + 1);
  Rec.Name = SanitizeUtf8(Rec.RawName);
  FillFromStat(Rec, st);
  Rec.Attr = AttrFromStat(st, Rec.Name, Rec.Kind == TSearchKind::Special ? nullptr : p.c_str());
  if (!Rec.RawName.empty()) Rec.AlternateName = AlternateFor(folder, Rec.RawName);
  if (Rec.Kind == TSearchKind::File && MaybeUnreadable(st) &&
      faccessat(AT_FDCWD, p.c_str(), R_OK, AT_EACCESS) != 0)
    Rec.Error = errno;
  return true;
}

}  // namespace platform
