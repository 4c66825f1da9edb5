#pragma once
// Names of the operation codes for the command-failure log line: the two
// hexadecimal digits of the code ("00" … "FF"), or for the codes this
// system knows, the command's name padded with blanks to 22 characters.

#include <array>
#include <cstdint>
#include <string>

const std::array<std::string, 256>& CommandNames();
