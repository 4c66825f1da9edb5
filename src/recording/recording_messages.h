#pragma once
// Message texts of the recording engine: what a burn, an image burn or an
// erase reports, and the progress lines it sends through the log channel.
// Texts with %s or %d are filled with burner::msg::Fill.

namespace recording::msg {

// Job errors (the Error of OnWriteDone).
constexpr const char* kWriterBusy = "WRITER BUSY/BUFFER FULL";
constexpr const char* kWriterError = "WRITER ERROR";
constexpr const char* kNeedEmptyDisc = "NEED EMPTY DISC FOR ISO BURNING";
// What the writer finds before it writes anything.
constexpr const char* kNoDisc = "NO DISC IN THE RECORDER";
constexpr const char* kNotWritable = "THE DISC IN THE RECORDER CANNOT BE WRITTEN (%s)";
constexpr const char* kNoNextWritableAddress = "ERROR GETTING NEXT WRITABLE ADDRESS";
constexpr const char* kAddressMoved =
    "THE DISC CONTINUES AT SECTOR %d, BUT THE SESSION WAS LAID OUT FOR SECTOR %d";
constexpr const char* kDiscFull = "THE SESSION NEEDS %d SECTORS, THE DISC HAS %d FREE";
constexpr const char* kNoTestWriteMedium = "TEST WRITE IS NOT POSSIBLE ON %s";
constexpr const char* kNoTestWriteDrive = "THE RECORDER CANNOT TEST WRITE";
constexpr const char* kEmptyImage = "IMAGE FILE \"%s\" IS EMPTY";
// What the writer finds after the last block.
constexpr const char* kLeadOutTimeout = "THE RECORDER DID NOT FINISH THE LEAD-OUT IN %d MINUTES";
constexpr const char* kSessionNotClosed = "SESSION NOT CLOSED";

// Progress lines (log type 1), after ">>> ".
constexpr const char* kStartingWrite = "STARTING WRITE PROCESS ON %s AT %s";
constexpr const char* kTestDummyWrite = "TEST/DUMMY WRITE";
constexpr const char* kWritingLeadOut =
    "WRITING LEAD-OUT (THIS CAN TAKE APPROXIMATELY 15-20 MINUTES)";
constexpr const char* kStartingErase = "STARTING ERASE PROCESS ON %s AT %s";

}  // namespace recording::msg
