// Extracting one imported file: its sectors are copied from the disc in
// blocks of 31, into a file beside the target that takes the target's name
// only once every byte was read and written. So an unreadable sector or an
// abort never leaves a file that looks complete, and an existing target is
// either replaced whole or not touched at all.

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "burner/import_messages.h"
#include "platform/date_time.h"
#include "platform/utf8.h"

namespace {

namespace msg = burner::msg;

constexpr uint32_t kSectorBytes = 2048;
constexpr uint32_t kBlockSectors = 31;
constexpr uint32_t kBlockBytes = kBlockSectors * kSectorBytes;  // 63488
// Fixed-format sense data: the information field holds the failing block.
constexpr size_t kSenseValid = 0;
constexpr uint8_t kSenseValidBit = 0x80;
constexpr size_t kSenseInformation = 3;

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

std::string Reason(int Error) {
  return std::strerror(Error);
}

std::string FolderOf(const std::string& Path) {
  const size_t cut = Path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : Path.substr(0, cut);
}

// The file the data goes to first, in the target's folder (so that the
// final rename stays on one file system). Removed unless kept.
class PartFile {
 public:
  explicit PartFile(const std::string& Target) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(Target);
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = folder + "/.tidemark-" + std::to_string(getpid()) + "-" +
              std::to_string(counter.fetch_add(1)) + ".part";
      fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) {
      const int error = errno;
      throw EFCreateError(msg::Fill(msg::kCannotCreate, {Shown(Target), Reason(error)}), error);
    }
  }
  ~PartFile() {
    if (fd_ >= 0) close(fd_);
    if (!kept_) unlink(path_.c_str());
  }
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Closes the file; errno on failure, else 0.
  int Close() {
    const int rc = close(fd_);
    fd_ = -1;
    return rc == 0 ? 0 : errno;
  }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  bool kept_ = false;
};

// Gives the finished file the target's name. Without Replace an existing
// target is never replaced, not even one that appeared meanwhile.
int Publish(const std::string& Part, const std::string& Target, bool Replace) {
  if (Replace) return rename(Part.c_str(), Target.c_str()) == 0 ? 0 : errno;
  if (renameat2(AT_FDCWD, Part.c_str(), AT_FDCWD, Target.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the no-replace rename: a new link fails the same
  // way when the name is taken.
  if (link(Part.c_str(), Target.c_str()) != 0) return errno;
  unlink(Part.c_str());
  return 0;
}

bool WriteAll(int Fd, const uint8_t* Data, size_t Count) {
  while (Count > 0) {
    const ssize_t n = write(Fd, Data, Count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    Data += n;
    Count -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool TzqCDBurner::ExtractFile(PFileEntry Entry, const std::string& DestFile, bool ReplaceExisting) {
  if (Entry == nullptr || IsFolderEntry(Entry)) return false;
  const std::string name = Shown(Entry->LongName);
  DebugMsg(
      std::string(msg::kProgressPrefix) + msg::Fill(msg::kExtractingFile, {name, Shown(DestFile)}),
      msg::kTypeProgress);
  if (Entry->Imported == 0 && Entry->Size != 0) {
    DebugMsg(msg::Fill(msg::kNotOnDisc, {name}), msg::kTypeError);
    return false;
  }
  struct stat st {};
  if (lstat(DestFile.c_str(), &st) == 0) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
    if (error == EISDIR || !ReplaceExisting)
      throw EFCreateError(msg::Fill(msg::kCannotCreate, {Shown(DestFile), Reason(error)}), error);
  }

  PartFile part(DestFile);
  std::vector<uint8_t> block(kBlockBytes);
  uint32_t sector = static_cast<uint32_t>(Entry->IsoSector);
  const uint32_t total = static_cast<uint32_t>(Entry->Size);
  uint32_t remaining = total;
  while (remaining != 0) {
    const uint32_t chunk = std::min(remaining, kBlockBytes);
    const uint32_t n = (chunk + kSectorBytes - 1) / kSectorBytes;
    if (!Read10(sector, static_cast<uint16_t>(n), n * kSectorBytes, block) || LastResidual != 0) {
      uint32_t bad = sector;
      if (LastSense[kSenseValid] & kSenseValidBit) {
        const uint32_t info = static_cast<uint32_t>(LastSense[kSenseInformation]) << 24 |
                              static_cast<uint32_t>(LastSense[kSenseInformation + 1]) << 16 |
                              static_cast<uint32_t>(LastSense[kSenseInformation + 2]) << 8 |
                              LastSense[kSenseInformation + 3];
        if (info >= sector && info - sector < n) bad = info;
      }
      DebugMsg(msg::Fill(msg::kSectorUnreadable, {name, std::to_string(bad)}), msg::kTypeError);
      return false;
    }
    if (!WriteAll(part.fd(), block.data(), chunk)) {
      const int error = errno;
      throw EWriteError(msg::Fill(msg::kCannotWrite, {Shown(DestFile), Reason(error)}), error);
    }
    sector += n;
    remaining -= chunk;
    if (OnExtractProgress) {
      bool abort = false;
      OnExtractProgress(this, total - remaining, total, abort);
      if (abort) {
        DebugMsg(msg::Fill(msg::kExtractAborted, {name}), msg::kTypeError);
        return false;
      }
    }
  }

  const timespec times[2] = {
      {0, UTIME_OMIT}, {static_cast<time_t>(platform::DateTimeToUnixTime(Entry->DateTime)), 0}};
  futimens(part.fd(), times);  // a file system without dates still gets the data
  if (const int error = part.Close(); error != 0)
    throw EWriteError(msg::Fill(msg::kCannotWrite, {Shown(DestFile), Reason(error)}), error);
  if (const int error = Publish(part.path(), DestFile, ReplaceExisting); error != 0)
    throw EFCreateError(msg::Fill(msg::kCannotCreate, {Shown(DestFile), Reason(error)}), error);
  part.Keep();
  return true;
}
