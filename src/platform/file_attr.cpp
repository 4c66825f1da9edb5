#include "platform/file_attr.h"

#include <sys/xattr.h>

#include <cerrno>
#include <charconv>
#include <cstdio>

#include "platform/byte_cursor.h"

namespace platform {
namespace {

// Info-block versions of the binary DOSATTRIB form.
constexpr uint16_t kDosInfoCompat = 0xFFFF;
constexpr uint32_t kDosInfoValidAttrib = 0x1;
// The bits kept in DOSATTRIB.
constexpr int32_t kStoredBits = faReadOnly | faHidden | faSysFile | faDirectory | faArchive;

std::optional<uint32_t> ParseHex(std::string_view text) {
  if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return std::nullopt;
  uint32_t v = 0;
  const char* end = text.data() + text.size();
  const auto r = std::from_chars(text.data() + 2, end, v, 16);
  if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
  return v;
}

std::optional<std::vector<uint8_t>> GetXattr(const char* path, const char* name, int* err) {
  uint8_t buf[256];
  const ssize_t n = getxattr(path, name, buf, sizeof buf);
  if (n < 0) {
    if (err != nullptr) *err = errno;
    return std::nullopt;
  }
  return std::vector<uint8_t>(buf, buf + n);
}

bool IsUnsupported(int err) {
  return err == ENOTSUP || err == EOPNOTSUPP;
}

}  // namespace

std::optional<DosAttribValue> ParseDosAttrib(std::span<const uint8_t> Value) {
  ByteCursor c(Value);
  const std::string text = c.ReadCString();
  if (!text.empty()) {
    // Text form; whatever follows it is not trusted.
    const auto v = ParseHex(text);
    if (!v) return std::nullopt;
    return DosAttribValue{*v, std::nullopt};
  }
  c.Align(2);
  const uint16_t version = c.ReadLE16();
  const uint16_t level = c.ReadLE16();
  if (!c.Ok() || version != level) return std::nullopt;
  c.Align(4);
  uint32_t valid = kDosInfoValidAttrib;
  switch (version) {
    case kDosInfoCompat:
    case 1:
      break;
    case 2:
      c.ReadLE32();  // flags
      break;
    case 3:
    case 4:
    case 5:
      valid = c.ReadLE32();
      break;
    default:
      return std::nullopt;
  }
  const size_t offset = c.Position();
  const uint32_t attr = c.ReadLE32();
  if (!c.Ok() || (valid & kDosInfoValidAttrib) == 0) return std::nullopt;
  return DosAttribValue{attr, offset};
}

std::vector<uint8_t> FormatDosAttrib(std::span<const uint8_t> Existing, uint32_t Attr) {
  const auto parsed = ParseDosAttrib(Existing);
  if (parsed && parsed->BinaryOffset) {
    std::vector<uint8_t> out(Existing.begin(), Existing.end());
    const size_t o = *parsed->BinaryOffset;
    for (int i = 0; i < 4; ++i) out[o + i] = static_cast<uint8_t>(Attr >> (8 * i));
    return out;
  }
  char text[16];
  const int n = std::snprintf(text, sizeof text, "0x%x", Attr);
  std::vector<uint8_t> out(text, text + n);
  out.push_back(0);
  return out;
}

std::optional<std::pair<int64_t, int64_t>> ParseArchivedStamp(std::span<const uint8_t> Value) {
  std::string_view text(reinterpret_cast<const char*>(Value.data()), Value.size());
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  int64_t sec = 0;
  int64_t nsec = 0;
  const auto r1 = std::from_chars(text.data(), text.data() + dot, sec);
  const auto r2 = std::from_chars(text.data() + dot + 1, text.data() + text.size(), nsec);
  if (r1.ec != std::errc() || r1.ptr != text.data() + dot || r2.ec != std::errc() ||
      r2.ptr != text.data() + text.size() || nsec < 0 || nsec >= 1000000000)
    return std::nullopt;
  return std::make_pair(sec, nsec);
}

std::string FormatArchivedStamp(int64_t Seconds, int64_t Nanoseconds) {
  return std::to_string(Seconds) + "." + std::to_string(Nanoseconds);
}

int32_t AttrFromStat(const struct stat& St, std::string_view Name, const char* Path,
                     bool* XattrSupported) {
  int32_t attr = 0;
  if (S_ISDIR(St.st_mode)) attr |= faDirectory;
  if (!Name.empty() && Name[0] == '.' && Name != "." && Name != "..") attr |= faHidden;
  if ((St.st_mode & S_IWUSR) == 0) attr |= faReadOnly;
  bool archive = true;
  if (Path != nullptr && (XattrSupported == nullptr || *XattrSupported)) {
    int err = 0;
    const auto value = GetXattr(Path, kDosAttribXattr, &err);
    if (value) {
      if (const auto parsed = ParseDosAttrib(*value)) {
        archive = (parsed->Attr & faArchive) != 0;
        attr |= static_cast<int32_t>(parsed->Attr) & faSysFile;
        if (!archive) {
          // Cleared here once: changed since then means archive again.
          const auto stamp = GetXattr(Path, kArchivedXattr, nullptr);
          const auto when = stamp ? ParseArchivedStamp(*stamp) : std::nullopt;
          if (when && (when->first != St.st_mtim.tv_sec || when->second != St.st_mtim.tv_nsec))
            archive = true;
        }
      }
    } else if (IsUnsupported(err) && XattrSupported != nullptr) {
      *XattrSupported = false;
    }
  }
  if (archive) attr |= faArchive;
  return attr;
}

int32_t FileGetAttr(const std::string& Path) {
  struct stat st {};
  if (stat(Path.c_str(), &st) != 0) return -1;
  const size_t slash = Path.find_last_of('/');
  const std::string_view name = slash == std::string::npos
                                    ? std::string_view(Path)
                                    : std::string_view(Path).substr(slash + 1);
  return AttrFromStat(st, name, Path.c_str());
}

bool FileSetAttr(const std::string& Path, int32_t Attr) {
  struct stat st {};
  if (stat(Path.c_str(), &st) != 0) return false;
  const bool want_ro = (Attr & faReadOnly) != 0;
  const bool is_ro = (st.st_mode & S_IWUSR) == 0;
  const mode_t original = st.st_mode & 07777;
  mode_t final_mode = original;
  if (want_ro)
    final_mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  else if (is_ro)
    final_mode |= S_IWUSR;
  // A user extended attribute can only be written with write permission, so
  // a read-only file is opened up for the moment it takes.
  mode_t current = original;
  if (is_ro) {
    if (chmod(Path.c_str(), original | S_IWUSR) != 0) return false;
    current = original | S_IWUSR;
  }

  const auto existing = GetXattr(Path.c_str(), kDosAttribXattr, nullptr);
  const uint32_t stored = static_cast<uint32_t>(Attr & kStoredBits & ~faDirectory) |
                          (S_ISDIR(st.st_mode) ? faDirectory : 0);
  const std::vector<uint8_t> value = FormatDosAttrib(
      existing ? std::span<const uint8_t>(*existing) : std::span<const uint8_t>(), stored);
  bool ok = setxattr(Path.c_str(), kDosAttribXattr, value.data(), value.size(), 0) == 0;
  if (ok) {
    if ((Attr & faArchive) == 0) {
      const std::string stamp = FormatArchivedStamp(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
      ok = setxattr(Path.c_str(), kArchivedXattr, stamp.data(), stamp.size(), 0) == 0;
    } else {
      removexattr(Path.c_str(), kArchivedXattr);
    }
  }

  if (final_mode != current && chmod(Path.c_str(), final_mode) != 0) ok = false;
  return ok;
}

}  // namespace platform
