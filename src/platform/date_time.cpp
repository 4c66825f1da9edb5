#include "platform/date_time.h"

#include <sys/time.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace platform {
namespace {

constexpr int64_t kMsPerDay = 86400000;
// Days from 1970-01-01 back to 1899-12-30.
constexpr int64_t kUnixEpochDay = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool ValidParts(const DateTimeParts& p) {
  return p.Year >= 1 && p.Year <= 9999 && p.Month >= 1 && p.Month <= 12 && p.Day >= 1 &&
         p.Day <= DaysInMonth(p.Year, p.Month) && p.Hour >= 0 && p.Hour < 24 && p.Minute >= 0 &&
         p.Minute < 60 && p.Second >= 0 && p.Second < 60 && p.Millisecond >= 0 &&
         p.Millisecond < 1000;
}

// A day number and the milliseconds into that day as one day count. Before
// 1899-12-30 the integer part counts days backwards while the fraction still
// counts the time of day forwards, as the day-count convention has it.
TDateTime Combine(int64_t day, int64_t ms) {
  const double frac = static_cast<double>(ms) / kMsPerDay;
  return day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac;
}

}  // namespace

bool TryEncodeDateTime(const DateTimeParts& Parts, TDateTime& Result) {
  if (!ValidParts(Parts)) return false;
  const int64_t day = DaysFromCivil(Parts.Year, Parts.Month, Parts.Day) + kUnixEpochDay;
  const int64_t ms =
      ((Parts.Hour * 60LL + Parts.Minute) * 60 + Parts.Second) * 1000 + Parts.Millisecond;
  Result = Combine(day, ms);
  return true;
}

TDateTime EncodeDateTime(const DateTimeParts& Parts) {
  TDateTime v = 0;
  return TryEncodeDateTime(Parts, v) ? v : 0;
}

DateTimeParts DecodeDateTime(TDateTime Value) {
  DateTimeParts p;
  if (!std::isfinite(Value) || std::fabs(Value) > 3.0e6) return p;
  int64_t day = static_cast<int64_t>(std::trunc(Value));
  int64_t ms = std::llround(std::fabs(Value - static_cast<double>(day)) * kMsPerDay);
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    day += day >= 0 ? 1 : -1;
  }
  CivilFromDays(day - kUnixEpochDay, p.Year, p.Month, p.Day);
  p.Millisecond = static_cast<int>(ms % 1000);
  p.Second = static_cast<int>(ms / 1000 % 60);
  p.Minute = static_cast<int>(ms / 60000 % 60);
  p.Hour = static_cast<int>(ms / 3600000);
  return p;
}

uint32_t EncodeDosDateTime(const DateTimeParts& Parts) {
  DateTimeParts p = Parts;
  if (p.Year < 1980) p = DateTimeParts{1980, 1, 1, 0, 0, 0, 0};
  if (p.Year > 2107) p = DateTimeParts{2107, 12, 31, 23, 59, 58, 0};
  return static_cast<uint32_t>(p.Year - 1980) << 25 | static_cast<uint32_t>(p.Month) << 21 |
         static_cast<uint32_t>(p.Day) << 16 | static_cast<uint32_t>(p.Hour) << 11 |
         static_cast<uint32_t>(p.Minute) << 5 | static_cast<uint32_t>(p.Second / 2);
}

namespace {
DateTimeParts DosParts(uint32_t dos) {
  DateTimeParts p;
  p.Year = static_cast<int>(dos >> 25) + 1980;
  p.Month = static_cast<int>(dos >> 21 & 0x0F);
  p.Day = static_cast<int>(dos >> 16 & 0x1F);
  p.Hour = static_cast<int>(dos >> 11 & 0x1F);
  p.Minute = static_cast<int>(dos >> 5 & 0x3F);
  p.Second = static_cast<int>(dos & 0x1F) * 2;
  p.Millisecond = 0;
  return p;
}
}  // namespace

bool IsValidDosDateTime(uint32_t Dos) {
  return ValidParts(DosParts(Dos));
}

TDateTime DosDateTimeToDateTime(uint32_t Dos) {
  return EncodeDateTime(DosParts(Dos));
}

uint32_t DateTimeToDosDateTime(TDateTime Value) {
  if (!std::isfinite(Value)) return EncodeDosDateTime(DateTimeParts{1980, 1, 1});
  if (Value > 3.0e6) return EncodeDosDateTime(DateTimeParts{2108, 1, 1});
  if (Value < -3.0e6) return EncodeDosDateTime(DateTimeParts{1800, 1, 1});
  return EncodeDosDateTime(DecodeDateTime(Value));
}

DateTimeParts UnixTimeToLocalParts(int64_t Seconds) {
  DateTimeParts p;
  const time_t t = static_cast<time_t>(Seconds);
  struct tm tm {};
  if (localtime_r(&t, &tm) == nullptr) {
    // Beyond what the C library converts: far past or far future.
    p.Year = Seconds < 0 ? 1 : 9999;
    p.Month = 1;
    p.Day = 1;
    return p;
  }
  p.Year = tm.tm_year + 1900;
  p.Month = tm.tm_mon + 1;
  p.Day = tm.tm_mday;
  p.Hour = tm.tm_hour;
  p.Minute = tm.tm_min;
  p.Second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  p.Millisecond = 0;
  return p;
}

uint32_t UnixTimeToDosDateTime(int64_t Seconds) {
  return EncodeDosDateTime(UnixTimeToLocalParts(Seconds));
}

TDateTime UnixTimeToDateTime(int64_t Seconds, int32_t Nanoseconds) {
  DateTimeParts p = UnixTimeToLocalParts(Seconds);
  if (p.Year < 1 || p.Year > 9999) return 0;
  p.Millisecond = Nanoseconds > 0 ? Nanoseconds / 1000000 % 1000 : 0;
  return EncodeDateTime(p);
}

int64_t DateTimeToUnixTime(TDateTime Value) {
  const DateTimeParts p = DecodeDateTime(Value);
  struct tm tm {};
  tm.tm_year = p.Year - 1900;
  tm.tm_mon = p.Month - 1;
  tm.tm_mday = p.Day;
  tm.tm_hour = p.Hour;
  tm.tm_min = p.Minute;
  tm.tm_sec = p.Second;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&tm));
}

std::optional<int64_t> SourceDateEpoch() {
  const char* text = getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == 0) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = strtoll(text, &end, 10);
  if (errno != 0 || *end != 0 || value < 0) return std::nullopt;
  return static_cast<int64_t>(value);
}

TDateTime Now() {
  if (const auto fixed = SourceDateEpoch()) return UnixTimeToDateTime(*fixed);
  struct timeval tv {};
  gettimeofday(&tv, nullptr);
  return UnixTimeToDateTime(tv.tv_sec, static_cast<int32_t>(tv.tv_usec) * 1000);
}

uint32_t NowDosDateTime() {
  if (const auto fixed = SourceDateEpoch()) return UnixTimeToDosDateTime(*fixed);
  return UnixTimeToDosDateTime(static_cast<int64_t>(time(nullptr)));
}

int32_t StandardTimeZoneBias() {
  tzset();
  // timezone: seconds west of Greenwich in standard time.
  return static_cast<int32_t>(timezone / 60);
}

int16_t TimeZoneOffsetFromBias(int32_t Bias) {
  return static_cast<int16_t>(-Bias / 15);
}

}  // namespace platform
