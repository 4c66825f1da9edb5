#pragma once
// Names from a disc as names of files written on this machine. A name on a
// disc is outside input: it may hold "/", "\", NUL or control characters,
// or be "." or "..", and taken as it is it could write outside the folder
// an extraction fills. Each name becomes exactly one path element.

#include <string>
#include <string_view>

namespace burner {

// The longest file name the host takes, in bytes.
inline constexpr size_t kHostNameMax = 255;

// One path element for an entry named LongName: valid UTF-8; "/", "\",
// NUL and control characters replaced by "_"; trailing dots dropped (the
// compilation gives a name without an extension a dot, and a disc read by
// the system's own kernel shows none), but never down to nothing; ".",
// ".." and an empty name as "_"; cut to kHostNameMax bytes at a character
// boundary.
std::string SafeHostName(std::string_view LongName);

}  // namespace burner
