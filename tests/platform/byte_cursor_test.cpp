// The bounded reader: reads past the end fail once and stay failed.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/byte_cursor.h"

namespace {

TEST(ByteCursor, ReadsAndStopsAtTheEnd) {
  const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 'h', 'i', 0, 0xAA, 0xBB};
  platform::ByteCursor c(bytes);
  EXPECT_EQ(c.ReadLE16(), 0x0201);
  EXPECT_EQ(c.ReadBE16(), 0x0304);
  EXPECT_EQ(c.ReadCString(), "hi");
  EXPECT_EQ(c.Position(), 7u);
  EXPECT_EQ(c.Remaining(), 2u);
  EXPECT_EQ(c.ReadLE32(), 0u);  // only two bytes left
  EXPECT_FALSE(c.Ok());
  EXPECT_EQ(c.ErrorOffset(), 7u);
  EXPECT_EQ(c.ReadU8(), 0);
  EXPECT_EQ(c.Remaining(), 0u);
  EXPECT_TRUE(c.ReadBytes(1).empty());
}

TEST(ByteCursor, AlignAndSkip) {
  const std::vector<uint8_t> bytes(10, 7);
  platform::ByteCursor c(bytes);
  c.ReadU8();
  EXPECT_TRUE(c.Align(4));
  EXPECT_EQ(c.Position(), 4u);
  EXPECT_TRUE(c.Skip(6));
  EXPECT_FALSE(c.Skip(1));
  platform::ByteCursor d(std::span<const uint8_t>(bytes.data(), 3));
  d.ReadU8();
  EXPECT_FALSE(d.Align(4));
}

}  // namespace
