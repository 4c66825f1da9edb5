#pragma once
// Message texts of the session import and of file extraction, sent through
// the log channel. %d and %s take the values named beside each text
// (burner::msg::Fill).

namespace burner::msg {

// Progress (type 1), after the ">>> " prefix.
constexpr const char* kImportingSession = "IMPORTING SESSION # %d";  // session number
constexpr const char* kExtractingFile = "EXTRACTING FILE %s TO %s";  // long name, target

// The import's failures (type 4).
constexpr const char* kImportError = "ERROR IMPORTING SESSION";  // + " # " + number
constexpr const char* kIsoImageNotFound = "ERROR IMPORTING SESSION %d (ISO IMAGE NOT FOUND)";
// Followed by "\n\r" and the identifier.
constexpr const char* kFileNameTooLong =
    "ERROR IMPORTING SESSION, FILE NAME LENGTH EXCEEDS 120 CHARS";
// What a damaged or crafted disc leads to: the record or the folder is left
// out, and the import goes on.
constexpr const char* kBadRecord =
    "ERROR IMPORTING SESSION, BAD DIRECTORY RECORD IN SECTOR %d (%s): %s";  // sector, why, folder
constexpr const char* kTooManyBadRecords =
    "ERROR IMPORTING SESSION, TOO MANY BAD RECORDS, FOLDER LEFT: %s";
constexpr const char* kDirectoryUnreadable =
    "ERROR IMPORTING SESSION, DIRECTORY SECTOR %d UNREADABLE: %s";
constexpr const char* kDirectoryLoop =
    "ERROR IMPORTING SESSION, FOLDER POINTS BACK INTO THE TREE (SECTOR %d): %s";
constexpr const char* kTooDeep = "ERROR IMPORTING SESSION, FOLDERS NESTED DEEPER THAN %d: %s";
constexpr const char* kSeveralExtents =
    "ERROR IMPORTING SESSION, FILE IN SEVERAL EXTENTS NOT IMPORTED: %s";
constexpr const char* kDataOutsideDisc =
    "ERROR IMPORTING SESSION, FILE DATA OUTSIDE THE DISC NOT IMPORTED: %s";
constexpr const char* kImportStopped = "ERROR IMPORTING SESSION, TABLES FULL, IMPORT STOPPED AT %s";

// Extraction failures (type 0).
constexpr const char* kSectorUnreadable = "ERROR EXTRACTING FILE %s: SECTOR %d UNREADABLE";
constexpr const char* kNotOnDisc = "ERROR EXTRACTING FILE %s: NOT ON THE DISC";
constexpr const char* kExtractAborted = "ERROR EXTRACTING FILE %s: ABORTED";
constexpr const char* kCannotCreate = "CANNOT CREATE FILE %s (%s)";
constexpr const char* kCannotWrite = "CANNOT WRITE FILE %s (%s)";

}  // namespace burner::msg
