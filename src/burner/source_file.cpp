#include "burner/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "burner/burner_messages.h"
#include "burner/name_rules.h"
#include "platform/utf8.h"

namespace burner {
namespace {

// Large files are read front to back; the kernel reads further ahead then.
constexpr int64_t kSequentialHint = 1 << 20;

}  // namespace

std::string FileMessage(const char* Format, std::string_view Path, int Error) {
  std::string text = msg::Fill(Format, {platform::SanitizeUtf8(Path)});
  if (Error != 0) text += " [" + UpperAscii(std::strerror(Error)) + "]";
  return text;
}

bool WriteAll(int Fd, const void* Data, size_t Count) {
  const auto* p = static_cast<const uint8_t*>(Data);
  while (Count > 0) {
    const ssize_t n = ::write(Fd, p, Count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    p += n;
    Count -= static_cast<size_t>(n);
  }
  return true;
}

bool TSourceFile::Open(const std::string& Path, int64_t ExpectedSize, std::string& Error) {
  Close();
  path_ = Path;
  fd_ = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    Error = FileMessage(msg::kCantOpenFile, Path);
    return false;
  }
  struct stat st {};
  if (fstat(fd_, &st) != 0) {
    Error = FileMessage(msg::kCantReadFile, Path, errno);
    Close();
    return false;
  }
  if (!S_ISREG(st.st_mode) || st.st_size != ExpectedSize) {
    Error = FileMessage(msg::kFileChanged, Path);
    Close();
    return false;
  }
  if (ExpectedSize >= kSequentialHint) posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  return true;
}

bool TSourceFile::Read(void* Out, size_t Count, std::string& Error) {
  auto* p = static_cast<uint8_t*>(Out);
  while (Count > 0) {
    const ssize_t n = ::read(fd_, p, Count);
    if (n < 0) {
      if (errno == EINTR) continue;
      Error = FileMessage(msg::kCantReadFile, path_, errno);
      return false;
    }
    if (n == 0) {
      Error = FileMessage(msg::kFileChanged, path_);
      return false;
    }
    p += n;
    Count -= static_cast<size_t>(n);
  }
  return true;
}

bool TSourceFile::AtEnd(std::string& Error) {
  uint8_t extra;
  for (;;) {
    const ssize_t n = ::read(fd_, &extra, 1);
    if (n == 0) return true;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      Error = FileMessage(msg::kCantReadFile, path_, errno);
      return false;
    }
    Error = FileMessage(msg::kFileChanged, path_);
    return false;
  }
}

void TSourceFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace burner
