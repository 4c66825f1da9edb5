#pragma once
// Message texts of the compilation operations, sent through the log
// channel. Texts with a %s take the entry's source path or name.

#include <initializer_list>
#include <string>
#include <string_view>

namespace burner::msg {

// Format with each %s or %d replaced by the next of Args.
std::string Fill(std::string_view Format, std::initializer_list<std::string_view> Args);

// Log types of the compilation operations.
constexpr unsigned char kTypeError = 0;
constexpr unsigned char kTypeProgress = 1;
constexpr unsigned char kTypeTableFull = 3;
constexpr unsigned char kTypeOperation = 4;

constexpr const char* kProgressPrefix = ">>> ";
constexpr const char* kMaxDirectories = "MAXIMUM DIRECTORIES CAN BE %d";
constexpr const char* kMaxFiles = "MAXIMUM FILES CAN BE %d";
constexpr const char* kInvalidDestination = "INVALID DESTINATION PATH";

// What a folder walk or a single add left out, and why.
constexpr const char* kFileSkipped = "FILE SKIPPED: %s";
constexpr const char* kFileExists = "FILE ALREADY IN FOLDER: %s";
constexpr const char* kFolderExists = "A FOLDER OF THIS NAME IS IN THE FOLDER: %s";
constexpr const char* kFileExistsForFolder = "A FILE OF THIS NAME IS IN THE FOLDER: %s";
constexpr const char* kNameTooLong = "NAME TOO LONG: %s";
constexpr const char* kFileTooLarge = "FILE OF 4 GB OR MORE NOT ADDED: %s";
constexpr const char* kNotAFile = "A FOLDER CANNOT BE ADDED AS A FILE: %s";
constexpr const char* kSpecialFile = "NOT A REGULAR FILE, SKIPPED: %s";
constexpr const char* kCannotReadFile = "CANNOT READ FILE: %s (%s)";
constexpr const char* kCannotReadFolder = "CANNOT READ FOLDER: %s (%s)";
constexpr const char* kFolderLoop = "FOLDER LINK LOOP SKIPPED: %s";
constexpr const char* kNameChanged = "NAME CHANGED IN THE COMPILATION: %s -> %s";
constexpr const char* kWalkStopped = "ADDING STOPPED, FOLDER NOT CREATED: %s";

// What the layout refuses to record.
constexpr const char* kNameTooLongForImage = "NAME TOO LONG FOR THE IMAGE: %s";
constexpr const char* kTooManyFolders = "TOO MANY FOLDERS FOR THE PATH TABLE: %s";
constexpr const char* kImageTooLarge = "IMAGE TOO LARGE: %s SECTORS";
// Where the disc continues could not be read (the session starts at 0).
constexpr const char* kNoNextWritableAddress = "ERROR GETTING NEXT WRITABLE ADDRESS";
// The direct writing of a quick save.
constexpr const char* kInternalError0004 = "INTERNAL ERROR 0004";

}  // namespace burner::msg
