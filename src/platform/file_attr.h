#pragma once
// DOS file attributes on Linux. Folder comes from the file's type, hidden
// from a name that begins with ".", read-only from a missing owner write
// permission; archive and system are kept the way Samba keeps them, in the
// user.DOSATTRIB extended attribute. A file without that attribute counts as
// archive (never backed up).

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

constexpr int32_t faReadOnly = 0x01;
constexpr int32_t faHidden = 0x02;
constexpr int32_t faSysFile = 0x04;
constexpr int32_t faVolumeID = 0x08;
constexpr int32_t faDirectory = 0x10;
constexpr int32_t faArchive = 0x20;
constexpr int32_t faAnyFile = 0x3F;

constexpr const char* kDosAttribXattr = "user.DOSATTRIB";
// Modification time of the file when its archive bit was last cleared here.
// A file changed since then counts as archive again, as a file written on a
// DOS file system would.
constexpr const char* kArchivedXattr = "user.tidemark.archived";

// Where the attribute word sits in a DOSATTRIB value.
struct DosAttribValue {
  uint32_t Attr = 0;
  // Offset of the little-endian attribute word in the binary form; absent
  // when the value is the plain hexadecimal text form.
  std::optional<size_t> BinaryOffset;
};

// Reads a DOSATTRIB value: the text form "0x20" (NUL-terminated or not) or
// the binary form (an empty text, a version word, the version again and the
// version's info block). Nothing for a value it does not understand.
std::optional<DosAttribValue> ParseDosAttrib(std::span<const uint8_t> Value);
// A value that keeps whatever Existing held besides the attribute word.
std::vector<uint8_t> FormatDosAttrib(std::span<const uint8_t> Existing, uint32_t Attr);

// The modification time stored by kArchivedXattr: "seconds.nanoseconds".
std::optional<std::pair<int64_t, int64_t>> ParseArchivedStamp(std::span<const uint8_t> Value);
std::string FormatArchivedStamp(int64_t Seconds, int64_t Nanoseconds);

// Attributes from a stat result and the entry's name; Path (for the
// extended attributes) may be null to leave archive set. XattrSupported is
// cleared when the file system keeps no user extended attributes, so that a
// folder walk stops asking.
int32_t AttrFromStat(const struct stat& St, std::string_view Name, const char* Path,
                     bool* XattrSupported = nullptr);

// -1 when the file does not exist or cannot be examined.
int32_t FileGetAttr(const std::string& Path);
// Read-only changes the owner write permission (and the group and other
// write permissions when set); archive and system go to DOSATTRIB. Hidden
// and folder cannot be changed and are ignored. False on any failure.
bool FileSetAttr(const std::string& Path, int32_t Attr);

}  // namespace platform
