// Day-count and DOS date-times, local-time conversions and the zone bias.

#include <gtest/gtest.h>

#include <cmath>

#include "platform/date_time.h"
#include "temp_tree.h"

namespace {

using platform::DateTimeParts;

TEST(DateTime, DayCounts) {
  struct Case {
    DateTimeParts parts;
    double value;
  };
  for (const Case& c : {
           Case{{1899, 12, 30, 0, 0, 0, 0}, 0.0},
           Case{{1900, 1, 1, 0, 0, 0, 0}, 2.0},
           Case{{2000, 1, 1, 12, 0, 0, 0}, 36526.5},
           Case{{1899, 12, 29, 6, 0, 0, 0}, -1.25},
           Case{{1980, 1, 1, 0, 0, 0, 0}, 29221.0},
           Case{{2024, 2, 29, 18, 0, 0, 0}, 45351.75},
       }) {
    EXPECT_DOUBLE_EQ(platform::EncodeDateTime(c.parts), c.value);
    const DateTimeParts back = platform::DecodeDateTime(c.value);
    EXPECT_EQ(back.Year, c.parts.Year);
    EXPECT_EQ(back.Month, c.parts.Month);
    EXPECT_EQ(back.Day, c.parts.Day);
    EXPECT_EQ(back.Hour, c.parts.Hour);
  }
  TDateTime v = 123;
  EXPECT_FALSE(platform::TryEncodeDateTime({2023, 2, 29, 0, 0, 0, 0}, v));
  EXPECT_FALSE(platform::TryEncodeDateTime({2023, 13, 1, 0, 0, 0, 0}, v));
  EXPECT_FALSE(platform::TryEncodeDateTime({2023, 1, 1, 24, 0, 0, 0}, v));
  EXPECT_EQ(v, 123);
}

TEST(DateTime, DosDateTimes) {
  struct Case {
    DateTimeParts in;
    DateTimeParts stored;  // what the packed form holds
  };
  for (const Case& c : {
           Case{{2004, 7, 15, 13, 45, 31, 0}, {2004, 7, 15, 13, 45, 30, 0}},
           Case{{1980, 1, 1, 0, 0, 0, 0}, {1980, 1, 1, 0, 0, 0, 0}},
           Case{{1979, 12, 31, 23, 59, 59, 0}, {1980, 1, 1, 0, 0, 0, 0}},
           Case{{1970, 1, 1, 0, 0, 0, 0}, {1980, 1, 1, 0, 0, 0, 0}},
           Case{{2107, 12, 31, 23, 59, 59, 0}, {2107, 12, 31, 23, 59, 58, 0}},
           Case{{2200, 6, 1, 0, 0, 0, 0}, {2107, 12, 31, 23, 59, 58, 0}},
       }) {
    const uint32_t dos = platform::EncodeDosDateTime(c.in);
    EXPECT_TRUE(platform::IsValidDosDateTime(dos));
    EXPECT_DOUBLE_EQ(platform::DosDateTimeToDateTime(dos), platform::EncodeDateTime(c.stored))
        << c.in.Year;
    EXPECT_EQ(platform::DateTimeToDosDateTime(platform::EncodeDateTime(c.in)), dos);
  }
  EXPECT_EQ(platform::EncodeDosDateTime({1980, 1, 1, 0, 0, 0, 0}), 0x00210000u);
  // Month 0 and day 0 are not dates.
  EXPECT_FALSE(platform::IsValidDosDateTime(0));
  EXPECT_EQ(platform::DosDateTimeToDateTime(0), 0.0);
  EXPECT_EQ(platform::DosDateTimeToDateTime(0x00200000u), 0.0);
  EXPECT_EQ(platform::DateTimeToDosDateTime(NAN), 0x00210000u);
}

TEST(DateTime, HostTimesInLocalTime) {
  {
    ScopedTimeZone tz("UTC0");
    // 2001-09-09 01:46:40 UTC.
    const DateTimeParts p = platform::UnixTimeToLocalParts(1000000000);
    EXPECT_EQ(p.Year, 2001);
    EXPECT_EQ(p.Hour, 1);
    EXPECT_DOUBLE_EQ(platform::UnixTimeToDateTime(0), 25569.0);
    EXPECT_EQ(platform::UnixTimeToDosDateTime(0), 0x00210000u);  // clamped to 1980
    EXPECT_EQ(platform::DateTimeToUnixTime(platform::UnixTimeToDateTime(1000000000)), 1000000000);
  }
  {
    ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(platform::UnixTimeToLocalParts(1000000000).Hour, 3);   // summer: +2
    EXPECT_EQ(platform::UnixTimeToLocalParts(1010000000).Hour, 20);  // 2002-01-02 19:33 UTC, +1
    EXPECT_EQ(platform::DateTimeToUnixTime(platform::UnixTimeToDateTime(1000000000)), 1000000000);
  }
}

TEST(DateTime, StandardBiasIgnoresDaylightSaving) {
  struct Case {
    const char* tz;
    int32_t bias;
  };
  for (const Case c :
       {Case{"UTC0", 0}, Case{"CET-1CEST,M3.5.0,M10.5.0/3", -60},
        Case{"EST5EDT,M3.2.0,M11.1.0", 300}, Case{"IST-5:30", -330}, Case{"NPT-5:45", -345}}) {
    ScopedTimeZone tz(c.tz);
    EXPECT_EQ(platform::StandardTimeZoneBias(), c.bias) << c.tz;
  }
}

TEST(DateTime, NowIsRecent) {
  const TDateTime now = platform::Now();
  EXPECT_GT(now, platform::EncodeDateTime({2020, 1, 1, 0, 0, 0, 0}));
  EXPECT_TRUE(platform::IsValidDosDateTime(platform::NowDosDateTime()));
}

}  // namespace
