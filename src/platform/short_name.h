#pragma once
// 8.3 alternate names as a file system that keeps them would report them:
// none for a name that already is a valid 8.3 name (letter case aside),
// otherwise the first six valid characters, "~N" and the first three
// characters of the extension, N the smallest number free in the folder.

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Characters allowed in an 8.3 name besides ASCII letters and digits.
constexpr std::string_view kShortNameSpecials = "!#$%&'()-@^_`{}~";

bool IsShortNameChar(char32_t Ch);
// A base of 1 to 8 and an optional extension of 1 to 3 valid characters.
bool IsValid83Name(std::string_view Name);

// The alternate names of a folder's entries, given every name of the folder
// (UTF-8) in the order the file system lists them. Empty strings for names
// that are valid 8.3 names.
std::vector<std::string> SynthesizeAlternateNames(const std::vector<std::string>& Names);

}  // namespace platform
