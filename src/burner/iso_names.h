#pragma once
// Identifier rules of the image: which names fit a directory record, and
// the numbered names ("~2", "~3" ...) that keep the ISO 9660 names of one
// folder distinct.

#include <cstddef>
#include <string>
#include <string_view>

namespace iso {

// The ISO identifier (the short name, with ";1" for a file) fits a record.
bool IsoNameFits(std::string_view ShortName, bool IsFile);
// The Joliet identifier (the long name in UTF-16 code units, with ";1" for
// a file) fits a record: 110 units for a folder, 108 for a file name.
bool JolietNameFits(std::string_view LongName, bool IsFile);

// The part of an ISO name that readers compare: a file's trailing dots are
// dropped, as readers drop them with the ";1" (a file NOTES. and a folder
// NOTES would meet).
std::string_view IsoNameKey(std::string_view ShortName, bool IsFile);

// Name number K (2, 3, ...) made from ShortName: a "~N" ending of the name
// part is replaced, the name part is cut so that it keeps its length rule
// (8 characters for a file, 13 for a folder, or its own length when it is
// longer), and a file keeps its extension: LONGFI~1.TXT gives LONGFI~2.TXT,
// PROGRAM_FILES gives PROGRAM_FIL~2.
std::string NumberedName(std::string_view ShortName, bool IsFile, unsigned K);

}  // namespace iso
