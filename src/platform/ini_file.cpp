#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/utf8.h"

namespace platform {
namespace {

// A settings file is a few hundred bytes; anything past this is not one.
constexpr std::size_t kMaxFileBytes = 16u << 20;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// UTF-16 little-endian (after its mark) to UTF-8; an odd last byte is
// dropped and an unpaired surrogate becomes U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                   (static_cast<uint8_t>(bytes[i + 1]) << 8));
  }
  return Utf16ToUtf8(units);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

IniFile IniFile::FromBytes(std::string_view bytes) {
  std::string decoded;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE) {
    decoded = Utf16LeToUtf8(bytes.substr(2));
    bytes = decoded;
  } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bytes.remove_prefix(3);
  }

  IniFile ini;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = Trim(bytes.substr(pos, end - pos));
    // CR LF counts as one line end; a lone CR or LF is one as well.
    pos = end;
    if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
    if (pos < bytes.size() && bytes[pos] == '\n') ++pos;

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      std::string_view name = line.substr(1);
      std::size_t close = name.find(']');
      if (close != std::string_view::npos) name = name.substr(0, close);
      ini.sections_.push_back(Section{std::string(Trim(name)), {}});
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || ini.sections_.empty()) continue;
    std::string_view key = Trim(line.substr(0, eq));
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    if (key.empty()) continue;
    ini.sections_.back().entries.push_back(Entry{std::string(key), std::string(value)});
  }
  return ini;
}

IniFile IniFile::Load(const std::string& path, std::string* warning) {
  // Opened without waiting (a FIFO opens at once that way) and looked at
  // before a byte is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return IniFile();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (warning != nullptr)
      *warning = SanitizeUtf8(path) + " is not a regular file; its settings are not read";
    return IniFile();
  }
  std::string bytes;
  char buffer[8192];
  while (bytes.size() < kMaxFileBytes) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (bytes.size() > kMaxFileBytes) bytes.resize(kMaxFileBytes);
  return FromBytes(bytes);
}

std::optional<std::string> IniFile::ReadRaw(std::string_view section, std::string_view key) const {
  // The first section of that name is the one read, as the profile
  // functions do; later sections of the same name are not merged into it.
  for (const Section& s : sections_) {
    if (!SameName(s.name, section)) continue;
    for (const Entry& e : s.entries) {
      if (SameName(e.key, key)) return e.value;
    }
    return std::nullopt;
  }
  return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                const std::string& fallback) const {
  std::optional<std::string> raw = ReadRaw(section, key);
  return raw ? SanitizeUtf8(*raw) : fallback;
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t fallback) const {
  std::optional<std::string> raw = ReadRaw(section, key);
  if (!raw) return fallback;
  return ParseProfileInteger(*raw).value_or(fallback);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

std::optional<int32_t> ParseProfileInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;

  bool hex = false;
  if (text.front() == '$') {
    hex = true;
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    hex = true;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;

  if (hex) {
    // Leading zeros do not count against the eight digits.
    while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
    if (text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
      int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      value = (value << 4) | static_cast<uint32_t>(d);
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
  }

  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace platform
