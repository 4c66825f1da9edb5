#pragma once
// Test fixtures: a temporary folder tree on disk, the log lines a component
// sends, and a time zone set for the length of a test.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "device/scsi_device.h"

// A folder under the temporary directory, removed with everything in it.
class TempTree {
 public:
  TempTree() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tidemark-test-XXXXXX").string();
    root_ = mkdtemp(tmpl.data());
  }
  ~TempTree() {
    std::error_code ec;
    // Make everything removable again first.
    for (auto it = std::filesystem::recursive_directory_iterator(
             root_, std::filesystem::directory_options::skip_permission_denied, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (!it->is_symlink()) chmod(it->path().c_str(), 0755);
    }
    chmod(root_.c_str(), 0755);
    std::filesystem::remove_all(root_, ec);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // Absolute path of a name inside the tree ("" for the tree itself).
  std::string Path(const std::string& rel = "") const {
    return rel.empty() ? root_ : root_ + "/" + rel;
  }
  // A file with the given content; parent folders are made as needed.
  std::string File(const std::string& rel, const std::string& content = "") {
    const std::string p = Path(rel);
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  // A file of the given size, sparse.
  std::string SizedFile(const std::string& rel, int64_t size) {
    const std::string p = File(rel);
    if (truncate(p.c_str(), size) != 0) return std::string();
    return p;
  }
  std::string Dir(const std::string& rel) {
    const std::string p = Path(rel);
    std::filesystem::create_directories(p);
    return p;
  }
  std::string Link(const std::string& rel, const std::string& target) {
    const std::string p = Path(rel);
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    if (symlink(target.c_str(), p.c_str()) != 0) return std::string();
    return p;
  }
  // Sets the modification time (seconds since the epoch).
  void Touch(const std::string& rel, int64_t seconds) {
    const timespec ts[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    utimensat(AT_FDCWD, Path(rel).c_str(), ts, 0);
  }

 private:
  std::string root_;
};

struct LogLine {
  std::string text;
  int type;
};

// Collects what a component sends through its log channel.
struct LogLines {
  explicit LogLines(TSCSIDevice& device) {
    device.OnDebugMessage = [this](TSCSIDevice*, const std::string& m, uint8_t t) {
      lines.push_back({m, t});
    };
  }
  bool Has(const std::string& part, int type = -1) const {
    for (const LogLine& l : lines)
      if (l.text.find(part) != std::string::npos && (type < 0 || l.type == type)) return true;
    return false;
  }
  std::vector<LogLine> lines;
};

// TZ set for the lifetime of the object.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz) {
    if (const char* old = getenv("TZ")) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (old_)
      setenv("TZ", old_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> old_;
};
