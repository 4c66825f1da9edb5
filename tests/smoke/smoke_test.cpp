#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "burner/cd_burner.h"

TEST(LogChannel, ReachesHandler) {
  TzqCDBurner burner;
  std::vector<std::string> lines;
  burner.OnDebugMessage = [&](TSCSIDevice*, const std::string& m, uint8_t) { lines.push_back(m); };
  burner.DebugMsg("hello", 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "hello");
}
