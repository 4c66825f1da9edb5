#pragma once
// Name rules of the compilation: upper-casing, folder short names, and how
// names and paths from the host become compilation names and paths.

#include <cstdint>
#include <string>
#include <string_view>

namespace burner {

// Upper case for ASCII letters only; every other byte stays.
std::string UpperAscii(std::string_view Text);
// Compares as UpperAscii(A) == UpperAscii(B) would.
bool SameUpperAscii(std::string_view A, std::string_view B);

// Hash of a name as UpperAscii would spell it (FNV-1a, 64 bits), for the
// folders' name indexes.
uint64_t NameKey(std::string_view Name);

// Short name of a folder created by name: the first 13 characters, a-z
// upper-cased, every character below 33 or above 122 replaced by "_".
std::string FolderShortName(std::string_view Name);

// A host name (any bytes) as it stands in the compilation: valid UTF-8 with
// U+FFFD for each invalid byte, and "\" (the compilation's separator) and
// control characters replaced by "_".
std::string CompilationName(std::string_view HostName);
// The same on a name that already is valid UTF-8, in place; true when it
// changed.
bool MakeCompilationName(std::string& Name);

// A source path on the host begins with "/"; anything else (such as \name\)
// is a compilation-style path that names nothing on disk.
inline bool IsHostPath(std::string_view Path) {
  return !Path.empty() && Path[0] == '/';
}

// /data/photos/ as \data\photos\: every name through CompilationName, empty
// names between doubled slashes dropped, a trailing slash kept as a
// trailing backslash.
std::string HostToCompilationPath(std::string_view HostPath);

}  // namespace burner
