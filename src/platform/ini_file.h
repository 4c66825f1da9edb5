#pragma once
// A reader for settings files in the Windows profile format ("[Section]"
// headers, "Key=Value" lines). It reads the way the profile functions of
// that system do, because settings files are written by hand or carried over
// from there:
//   - section and key names compare without regard to ASCII letter case;
//   - blanks around names and values are ignored; one pair of matching
//     quotes ('...' or "...") around a value is removed;
//   - the first section of a name and the first key of a name in it count;
//   - a line starting with ";" is a comment, a line without "=" is ignored;
//   - lines end in CR LF, LF or CR; a UTF-8 byte-order mark is skipped and a
//     UTF-16 little-endian file (with its mark) is read as well;
//   - backslashes, commas and "#" are ordinary characters.
// Integers are decimal, or hexadecimal after "0x" or "$"; anything else, or a
// number outside 32 bits, counts as absent. Booleans are integers: 0 is false,
// any other integer true.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/utf8.h"  // SanitizeUtf8

namespace platform {

class IniFile {
 public:
  IniFile() = default;

  // Parses the bytes of a settings file.
  static IniFile FromBytes(std::string_view bytes);
  // Reads a file; a file that is missing or cannot be read is an empty one.
  // Only a regular file is read: a FIFO, a device or a folder of that name
  // is never opened for reading (a FIFO would wait for a writer for ever);
  // it reads as empty and, when `warning` is given, says so there.
  static IniFile Load(const std::string& path, std::string* warning = nullptr);

  // The value as written (after trimming and unquoting), or nothing.
  std::optional<std::string> ReadRaw(std::string_view section, std::string_view key) const;
  // Text values; bytes that are not UTF-8 are replaced by U+FFFD.
  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& fallback) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

 private:
  struct Entry {
    std::string key;  // as written, trimmed
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  std::vector<Section> sections_;
};

// "123", "-5", "+7", "0x1F", "$ff" → the number; anything else → nothing.
// Hexadecimal takes up to 8 digits and wraps like a 32-bit register
// ("$FFFFFFFF" is -1); decimal must fit 32-bit signed.
std::optional<int32_t> ParseProfileInteger(std::string_view text);

}  // namespace platform
