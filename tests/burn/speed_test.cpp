// The --speed option of the recorder commands, in the medium's own units.

#include <gtest/gtest.h>

#include "cli/cli_options.h"
#include "device/media_types.h"
#include "jobs/disc_jobs.h"

namespace {

TEST(BurnSpeedOption, IsReadInTheUnitsOfTheLoadedMedium) {
  struct Case {
    const char* text;
    uint16_t media;
    int speed;  // -1: refused
  } cases[] = {
      {"max", mtCDR, 0},
      {"Max", mtDVDPR, 0},
      {"8x", mtCDR, 8},
      {"48X", mtCDRW, 48},
      // N x 1,385 kB/s, sent as 177 kB/s an x: never below what was asked.
      {"1x", mtDVDR, 8},
      {"4x", mtDVDR, 32},
      {"8x", mtDVDPR, 63},
      {"16x", mtDVDRAM, 126},
      {"0x", mtCDR, -1},
      {"x", mtCDR, -1},
      {"8", mtCDR, -1},
      {"fast", mtCDR, -1},
      {"-4x", mtCDR, -1},
      {"4.5x", mtCDR, -1},
      {"1001x", mtCDR, -1},
      {"", mtCDR, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto x = cli::ParseSpeedX(c.text);
    if (c.speed < 0) {
      EXPECT_FALSE(x);
    } else {
      ASSERT_TRUE(x);
      EXPECT_EQ(jobs::SpeedForMedium(*x, c.media), c.speed);
    }
  }
}

}  // namespace
