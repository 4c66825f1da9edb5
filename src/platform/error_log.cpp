#include "platform/error_log.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace platform {
namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kEntryRule[] = " ********* ----------------------------------- ********* ";

// mkdir -p: every missing folder of `dir`, from the top down.
bool MakeFolders(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(dir.substr(0, slash))) return false;
  if (::mkdir(dir.c_str(), 0755) == 0) return true;
  return errno == EEXIST && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string FormatErrorLogEntry(const std::string& time_text, const std::string& position,
                                const std::string& error) {
  std::string s;
  s += kEntryRule;
  s += kCrLf;
  s += "Time: " + time_text + kCrLf;
  s += "Error Position: " + position + kCrLf;
  s += "Error: " + error + kCrLf;
  return s;
}

std::string LocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return std::string();
  char buf[128];
  // The locale's own short date is wanted here, two-digit year or not.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-y2k"
  std::size_t n = std::strftime(buf, sizeof buf, "%x %X", &local);
#pragma GCC diagnostic pop
  return std::string(buf, n);
}

bool AppendErrorLogEntry(const std::string& log_file, const std::string& entry) {
  if (::access(log_file.c_str(), F_OK) != 0) {
    std::size_t slash = log_file.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(log_file.substr(0, slash))) {
      return false;
    }
  }
  int fd = ::open(log_file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::string block = entry + kCrLf;
  const char* p = block.data();
  std::size_t left = block.size();
  bool ok = true;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace platform
