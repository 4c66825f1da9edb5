// Time in the recorder, on a manual clock: the buffer that fills and drains
// at the recording speed, underruns, spin-up and the long write at the end.
// No wall-clock time is measured anywhere.

#include <gtest/gtest.h>

#include "vrec_fixture.h"

namespace vrec::test {
namespace {

std::uint32_t FreeBuffer(Recorder& r) {
  return get_be32(r.InOk(Cdb10(mmc::kReadBufferCapacity, 0, 12), 12), 8);
}

TEST(VrecTiming, BufferFillsWithWritesAndDrainsAtTheRecordingSpeed) {
  Recorder r(10);  // 1x CD: 150 KiB per second
  r.ClearAttention();
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, true).status, kStatusGood);
  auto reply = r.InOk(Cdb10(mmc::kReadBufferCapacity, 0, 12), 12);
  std::uint32_t size = get_be32(reply, 4);
  EXPECT_EQ(FreeBuffer(r), size);
  std::uint32_t lba = 0;
  // Writes go into the buffer without waiting until it is full.
  while (FreeBuffer(r) >= 31 * 2048) {
    Response w = r.Write(lba, 31, 1);
    ASSERT_EQ(w.status, kStatusGood);
    EXPECT_EQ(w.duration_us, 0);
    lba += 31;
  }
  // The write that does not fit waits for the drive to record enough.
  Response full = r.Write(lba, 31, 1);
  ASSERT_EQ(full.status, kStatusGood);
  EXPECT_GT(full.duration_us, 0);
  lba += 31;
  std::uint32_t before = FreeBuffer(r);
  r.clock().Advance(2'000'000);
  EXPECT_GT(FreeBuffer(r), before);
  // Block mode reports the free space in blocks.
  auto blocks = r.InOk(Cdb10(mmc::kReadBufferCapacity, 0, 12, 1), 12);
  EXPECT_EQ(get_be32(blocks, 8), FreeBuffer(r) / 2048);

  // Flushing with Immed leaves the drive writing: long write in progress,
  // and READ DISC INFORMATION fails until it is done (the lead-out wait of
  // the burner polls exactly that).
  ASSERT_EQ(r.SyncCache(true).status, kStatusGood);
  std::vector<std::uint8_t> out;
  Response busy = r.In(Cdb10(mmc::kReadDiscInformation, 0, 34), 34, &out);
  EXPECT_EQ(SenseOf(busy), sense::kLongWriteInProgress);
  EXPECT_EQ(SenseOf(r.Write(lba, 1, 0)), sense::kLongWriteInProgress);
  r.ClearAttention();
  r.DiscInfo();
  EXPECT_EQ(FreeBuffer(r), size);
}

TEST(VrecTiming, AnEmptyBufferMidTrackIsAnUnderrunWithoutProtection) {
  for (bool bufe : {false, true}) {
    Recorder r(40);
    r.ClearAttention();
    ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, true, false, bufe).status, kStatusGood);
    ASSERT_EQ(r.Write(0, 31, 1).status, kStatusGood);
    ASSERT_EQ(r.Write(31, 31, 1).status, kStatusGood);
    r.clock().Advance(5'000'000);  // the host stalls; the drive records everything
    Response next = r.Write(62, 31, 1);
    if (bufe) {
      EXPECT_EQ(next.status, kStatusGood);  // the drive pauses and links on
      continue;
    }
    EXPECT_EQ(SenseOf(next), sense::kWriteErrorLossOfStreaming);
    EXPECT_EQ(get_be32(next.sense, 3), 62u);
    auto t = r.TrackInfo(1);
    EXPECT_EQ(t[5] & 0x20, 0x20);  // damaged
    EXPECT_EQ(t[7] & 0x01, 0);     // no valid next writable address
    EXPECT_EQ(SenseOf(r.Write(62, 31, 1)), sense::kInvalidAddressForWrite);
  }
}

TEST(VrecTiming, ALoadedDiscSpinsUpBeforeItIsReady) {
  Recorder r(40);
  r.ClearAttention();
  ASSERT_EQ(r.Run(Cdb6(mmc::kStartStopUnit, 0x02)).status, kStatusGood);
  Cdb load = Cdb6(mmc::kStartStopUnit, 0x03, 0x01);  // Immed
  ASSERT_EQ(r.Run(load).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Run(Cdb6(mmc::kTestUnitReady))), sense::kMediumMayHaveChanged);
  EXPECT_EQ(SenseOf(r.Run(Cdb6(mmc::kTestUnitReady))), sense::kBecomingReady);
  auto rs = r.InOk(Cdb6(mmc::kRequestSense, 18), 18);
  EXPECT_EQ(rs[12], 0x04);
  EXPECT_EQ(rs[13], 0x01);
  r.clock().Advance(2'000'000);
  EXPECT_EQ(r.Run(Cdb6(mmc::kTestUnitReady)).status, kStatusGood);
  // Without Immed the command itself takes the spin-up.
  ASSERT_EQ(r.Run(Cdb6(mmc::kStartStopUnit, 0x02)).status, kStatusGood);
  Response slow = r.Run(Cdb6(mmc::kStartStopUnit, 0x03));
  EXPECT_GT(slow.duration_us, 0);
}

TEST(VrecTiming, WithoutSpeedEmulationNothingTakesTime) {
  Recorder r;
  r.Insert(Medium::kCdRw);
  EXPECT_EQ(SenseOf(r.Run(Cdb6(mmc::kTestUnitReady))), sense::kMediumMayHaveChanged);
  EXPECT_EQ(r.Run(Cdb6(mmc::kTestUnitReady)).status, kStatusGood);  // no spin-up
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, true, false, false).status, kStatusGood);
  for (std::uint32_t lba = 0; lba < 31 * 200; lba += 31) {
    Response w = r.Write(lba, 31, 0);
    ASSERT_EQ(w.status, kStatusGood);
    EXPECT_EQ(w.duration_us, 0);
  }
  r.clock().Advance(60'000'000);  // no underrun either: the buffer never runs
  EXPECT_EQ(r.Write(31 * 200, 31, 0).status, kStatusGood);
  Cdb blank(12, 0);
  blank[0] = mmc::kBlank;
  blank[1] = 0x10;
  ASSERT_EQ(r.Run(blank).status, kStatusGood);
  EXPECT_EQ(r.Run(Cdb6(mmc::kTestUnitReady)).status, kStatusGood);
}

}  // namespace
}  // namespace vrec::test
