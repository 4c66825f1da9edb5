#include "platform/mounts.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace platform {
namespace {

constexpr size_t kMaxTableBytes = 16 * 1024 * 1024;  // far more than any real table

// The next blank-separated field of `line` from `pos`; empty at the end.
std::string_view NextField(std::string_view line, size_t& pos) {
  while (pos < line.size() && line[pos] == ' ') ++pos;
  const size_t start = pos;
  while (pos < line.size() && line[pos] != ' ') ++pos;
  return line.substr(start, pos - start);
}

bool ParseNumber(std::string_view text, unsigned& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The kernel writes a blank, tab, newline and backslash in a path as \040,
// \011, \012 and \134; anything else stays as it is.
std::string Unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (digits[0] >= '0' && digits[0] <= '3' && digits[1] >= '0' && digits[1] <= '7' &&
          digits[2] >= '0' && digits[2] <= '7') {
        out +=
            static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

std::string SameFileKey(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path canonical = std::filesystem::canonical(path, ec);
  return ec ? path : canonical.string();
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> entries;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(begin, end - begin);
    begin = end + 1;

    // ID PARENT MAJOR:MINOR ROOT MOUNT-POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER-OPTIONS
    size_t pos = 0;
    NextField(line, pos);
    NextField(line, pos);
    const std::string_view device = NextField(line, pos);
    NextField(line, pos);
    const std::string_view mount_point = NextField(line, pos);
    NextField(line, pos);
    std::string_view field;
    do {
      field = NextField(line, pos);
    } while (!field.empty() && field != "-");
    NextField(line, pos);  // the file-system type
    const std::string_view source = NextField(line, pos);
    if (field != "-" || mount_point.empty() || source.empty()) continue;

    MountEntry entry;
    const size_t colon = device.find(':');
    if (colon == std::string_view::npos || !ParseNumber(device.substr(0, colon), entry.major) ||
        !ParseNumber(device.substr(colon + 1), entry.minor)) {
      continue;
    }
    entry.mount_point = Unescape(mount_point);
    entry.source = Unescape(source);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::string> MountPointsOf(const std::string& node) {
  const char* table_env = std::getenv("TIDEMARK_MOUNTINFO");
  const std::string table =
      table_env != nullptr && *table_env != '\0' ? table_env : "/proc/self/mountinfo";
  std::ifstream in(table, std::ios::binary);
  if (!in) return {};
  std::string text;
  char chunk[16384];
  while (text.size() < kMaxTableBytes && in.read(chunk, sizeof chunk).gcount() > 0)
    text.append(chunk, static_cast<size_t>(in.gcount()));

  struct stat st {};
  const bool is_block = ::stat(node.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
  const std::string key = SameFileKey(node);
  std::vector<std::string> points;
  for (const MountEntry& e : ParseMountInfo(text)) {
    const bool same_device =
        is_block && e.major == major(st.st_rdev) && e.minor == minor(st.st_rdev);
    const bool same_source =
        !e.source.empty() && e.source[0] == '/' && SameFileKey(e.source) == key;
    if (same_device || same_source) points.push_back(e.mount_point);
  }
  return points;
}

}  // namespace platform
