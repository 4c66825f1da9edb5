#pragma once
// Message texts of the device layer. They are the system's own words (upper
// case, replaceable by a translation) and are used exactly as written.

#include <string_view>

namespace texts {

// Request status (DecodeStatus).
inline constexpr std::string_view kAborted = "OPERATION ABORTED BY USER";
inline constexpr std::string_view kCheckCondition = "CHECK CONDITION";
inline constexpr std::string_view kTargetBusy = "TARGET BUSY";
inline constexpr std::string_view kReservationConflict = "TARGET RESERVATION CONFLICT";
inline constexpr std::string_view kQueueFull = "TARGET QUEUE FULL";
inline constexpr std::string_view kCommandTimeout = "COMMAND TIMEOUT";
inline constexpr std::string_view kSrbTimeout = "SRB TIMEOUT";
inline constexpr std::string_view kMessageReject = "MESSAGE REJECT";
inline constexpr std::string_view kBusReset = "BUS RESET";
inline constexpr std::string_view kParityError = "PARITY ERROR";
inline constexpr std::string_view kRequestSenseFailed = "REQUEST SENSE FAILED";
inline constexpr std::string_view kSelectionTimeout = "SELECTION TIMEOUT";
inline constexpr std::string_view kDataOverrun = "DATA OVERRUN";
inline constexpr std::string_view kUnexpectedBusFree = "UNEXPECTED BUS FREE";
inline constexpr std::string_view kInvalidRequest = "INVALID REQUEST";
inline constexpr std::string_view kInvalidHostAdapter = "INVALID HOST ADAPTER";
inline constexpr std::string_view kNoDevice = "NO DEVICE";
inline constexpr std::string_view kInvalidSrb = "INVALID SRB";
inline constexpr std::string_view kBufferAlignment = "BUFFER ALIGNMENT";
inline constexpr std::string_view kAspiIsBusy = "ASPI IS BUSY";
inline constexpr std::string_view kBufferTooBig = "BUFFER TOO BIG";
inline constexpr std::string_view kUnknown = "UNKNOWN";

// Sense keys (DecodeSense).
inline constexpr std::string_view kFilemark = "FILEMARK";
inline constexpr std::string_view kEndOfMedia = "END OF MEDIA";
inline constexpr std::string_view kIllegalLength = "ILLEGAL LENGTH";
inline constexpr std::string_view kNoAdditionalSense = "NO ADDITIONAL SENSE INFORMATION";
inline constexpr std::string_view kRecoveredError = "RECOVERED ERROR";
inline constexpr std::string_view kNotReady = "NOT READY";
inline constexpr std::string_view kMediumError = "MEDIUM ERROR";
inline constexpr std::string_view kHardwareError = "HARDWARE ERROR";
inline constexpr std::string_view kIllegalRequest = "ILLEGAL REQUEST";
inline constexpr std::string_view kUnitAttention = "UNIT ATTENTION";
inline constexpr std::string_view kDataProtect = "DATA PROTECT";
inline constexpr std::string_view kEraseCheck = "ERASE CHECK";
inline constexpr std::string_view kCopyAborted = "COPYABORTED";
inline constexpr std::string_view kAbortedCommand = "ABORTED COMMAND";
inline constexpr std::string_view kVolumeOverflow = "VOLUME OVERFLOW";
inline constexpr std::string_view kMiscompare = "MISCOMPARE";
inline constexpr std::string_view kReserved = "RESERVED";

// Selection (used by device discovery).
inline constexpr std::string_view kInvalidDevice = "INVALID DEVICE ID / NOT A CD OR DVD DRIVE";

// Disc information.
inline constexpr std::string_view kNoDiscCapacity = "CANNOT READ THE DISC CAPACITY";

// What the built-in transport adds to a failure it met itself (after the
// device node's path).
inline constexpr std::string_view kDriveInUse =
    "THE DISC IS MOUNTED OR ANOTHER PROGRAM IS USING THE DRIVE";
inline constexpr std::string_view kNoWriteAccess = "NO WRITE ACCESS TO THE DRIVE";
inline constexpr std::string_view kCompletionEventFailed = "CANNOT CREATE A COMPLETION EVENT";

}  // namespace texts
