#pragma once
// The error log: a text file that only ever grows, one five-line entry per
// error, with CR LF line ends so that it reads the same everywhere.

#include <string>

namespace platform {

// The four text lines of an entry, each ended by CR LF:
//  " ********* ----------------------------------- ********* "
//  "Time: " + time_text
//  "Error Position: " + position
//  "Error: " + error
std::string FormatErrorLogEntry(const std::string& time_text, const std::string& position,
                                const std::string& error);

// The current local date and time in the locale's short date and time form.
std::string LocalTimeText();

// Appends the entry and one more CR LF (the empty fifth line) to the log,
// creating the log's folder with its parents and the file when missing.
// False, with nothing written, when the folder or file cannot be made or
// the append fails.
bool AppendErrorLogEntry(const std::string& log_file, const std::string& entry);

}  // namespace platform
