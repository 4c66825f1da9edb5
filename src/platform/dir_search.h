#pragma once
// Directory search: the records a find-first/find-next search over a folder
// gives, built from opendir/readdir and stat, in the order the file system
// lists the entries. Symbolic links are followed; "." and ".." are left out.

#include <cstdint>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

enum class TSearchKind : uint8_t {
  File,       // a regular file
  Directory,  // a folder
  Special,    // a FIFO, socket or device: reading it could block for ever
  Error,      // cannot be examined (vanished, dangling link, link loop, no access)
};

struct TSearchRec {
  std::string Name;           // the name, valid UTF-8 (U+FFFD for each invalid byte)
  std::string AlternateName;  // 8.3 name; empty when Name is a valid 8.3 name
  int32_t Attr = 0;           // fa* bits of platform/file_attr.h
  int32_t Time = 0;           // last-write time, packed DOS date-time, local
  int32_t Size = 0;           // low 32 bits of the size, as a signed number
  uint32_t SizeLow = 0;
  uint32_t SizeHigh = 0;

  // What this platform adds.
  std::string RawName;  // the name's exact bytes on disk
  TSearchKind Kind = TSearchKind::File;
  int Error = 0;        // errno: why a Kind Error entry failed, or why a file cannot be read
  uint64_t Device = 0;  // identity of the file (after following links)
  uint64_t Inode = 0;

  int64_t FullSize() const { return static_cast<int64_t>(SizeHigh) << 32 | SizeLow; }
};

namespace platform {

class DirSearch {
 public:
  DirSearch() = default;
  ~DirSearch();
  DirSearch(const DirSearch&) = delete;
  DirSearch& operator=(const DirSearch&) = delete;

  // Lists Folder (a trailing "/" is optional). False when it cannot be
  // opened; Error() tells why. A listing cut short by a read error keeps
  // what was read, and Error() is set all the same.
  bool Open(const std::string& Folder);
  int Error() const { return error_; }
  size_t Count() const { return raw_.size(); }
  // The next entry; false at the end.
  bool Next(TSearchRec& Rec);
  // Whether the archive and system attributes are read (an extended
  // attribute per entry, a good part of a walk's time); without, every
  // entry has archive set, as on a file system that keeps none. On by
  // default; Open keeps the choice.
  void ReadArchiveAttributes(bool Read) { read_archive_ = Read; }
  void Close();

 private:
  DIR* dir_ = nullptr;
  std::string folder_;  // with a trailing "/"
  std::vector<std::string> raw_;
  std::vector<std::string> names_;
  std::string path_;  // folder_ + the current name, for calls that need a path
  std::vector<std::string> alternates_;
  size_t next_ = 0;
  int error_ = 0;
  bool xattrs_ = true;
  bool read_archive_ = true;
};

// The record of one path, as a search for that exact path gives it; its
// alternate name is the one a search of its folder gives. False (errno set)
// when the path does not exist or cannot be examined.
bool FindFile(const std::string& Path, TSearchRec& Rec);

// Fills the metadata fields of Rec from a stat result (not the names).
void FillFromStat(TSearchRec& Rec, const struct stat& St);

}  // namespace platform
