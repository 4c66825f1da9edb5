#pragma once
// Date-time values in the two forms the system exchanges: the day count
// (days since 30 December 1899 as a double, local time) and the packed DOS
// date-time (2-second resolution, local time) that directory searches report.

#include <cstdint>
#include <ctime>
#include <optional>

using TDateTime = double;

namespace platform {

struct DateTimeParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// Days since 1899-12-30 for a calendar date and time (no time zone involved).
// Fields out of range give false and leave Result unchanged.
bool TryEncodeDateTime(const DateTimeParts& Parts, TDateTime& Result);
TDateTime EncodeDateTime(const DateTimeParts& Parts);  // 0 for fields out of range
DateTimeParts DecodeDateTime(TDateTime Value);

// Packed DOS date-time: bits 25-31 year - 1980, 21-24 month, 16-20 day,
// 11-15 hours, 5-10 minutes, 0-4 seconds / 2.
uint32_t EncodeDosDateTime(const DateTimeParts& Parts);  // clamps to 1980..2107
bool IsValidDosDateTime(uint32_t Dos);
// 0 for a packed value whose fields are out of range.
TDateTime DosDateTimeToDateTime(uint32_t Dos);
// Dates before 1980 become 1980-01-01 00:00:00, dates after 2107 become
// 2107-12-31 23:59:58: file systems hold dates a DOS date-time cannot.
uint32_t DateTimeToDosDateTime(TDateTime Value);

// Host times (seconds since the epoch, UTC) to local values.
DateTimeParts UnixTimeToLocalParts(int64_t Seconds);
uint32_t UnixTimeToDosDateTime(int64_t Seconds);
TDateTime UnixTimeToDateTime(int64_t Seconds, int32_t Nanoseconds = 0);
// A local day count back to seconds since the epoch (the zone's rules at
// that date decide the offset).
int64_t DateTimeToUnixTime(TDateTime Value);

// The time now; when SOURCE_DATE_EPOCH holds seconds since the epoch, that
// time instead, so that what is made from a tree (folder dates, the dates
// of an image's directories) is the same on every run.
TDateTime Now();
uint32_t NowDosDateTime();
std::optional<int64_t> SourceDateEpoch();

// The standard-time bias of the local zone in minutes: local time + bias =
// Greenwich time. Daylight saving never enters it.
int32_t StandardTimeZoneBias();
// Offset from Greenwich in 15-minute units as directory records carry it:
// -Bias / 15, truncated toward zero.
int16_t TimeZoneOffsetFromBias(int32_t Bias);

}  // namespace platform
