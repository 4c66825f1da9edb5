// The command sequences Tidemark's own writer and eraser send, as the
// recorder sees them: probing write modes, a DVD-R burn with its lead-out
// wait, and erasing with progress polls.

#include <gtest/gtest.h>

#include "vrec_fixture.h"

namespace vrec::test {
namespace {

// The write parameters page as the burner sends it back: the page as the
// drive returned it (at byte 8 of MODE SENSE), edited, behind 8 zero bytes.
Response SendPage05(Recorder& r, std::uint8_t byte2, std::uint8_t byte3, std::uint8_t byte4,
                    std::uint8_t link = 0, std::uint16_t pause = 0) {
  auto sense = r.InOk(Cdb{mmc::kModeSense10, 0, 0x05, 0, 0, 0, 0, 0x02, 0x00, 0}, 512);
  EXPECT_EQ(sense[8], 0x05);
  std::vector<std::uint8_t> list(60, 0);
  std::copy(sense.begin() + 8, sense.begin() + 8 + 52, list.begin() + 8);
  std::uint8_t* p = list.data() + 8;
  p[2] = byte2, p[3] = byte3, p[4] = byte4, p[5] = link;
  std::fill(p + 8, p + 14, 0);
  if (pause) put_be16(list, 8 + 14, pause);
  return r.Out(Cdb10(mmc::kModeSelect10, 0, 60, 0x10), list);
}

TEST(VrecBurnerSequence, WriteModeProbeAcceptsTaoAndSaoButNotRaw) {
  Recorder r;
  EXPECT_EQ(SenseOf(SendPage05(r, 0x03, 0x00, 0x01, 0, 150)), sense::kInvalidFieldInParameterList);
  EXPECT_EQ(SendPage05(r, 0x02, 0x00, 0x00, 0, 150).status, kStatusGood);
  EXPECT_EQ(SendPage05(r, 0x01, 0x00, 0x00, 0, 150).status, kStatusGood);
  // Then the burner's own page for a CD-R it leaves open, with underrun
  // protection: 41h, C4h, 08h, link size 0.
  ASSERT_EQ(SendPage05(r, 0x41, 0xC4, 0x08).status, kStatusGood);
  ASSERT_EQ(r.Write(0, 31, 1).status, kStatusGood);
  // On DVD+R the drive takes the page and ignores it: 22h with link size 10h.
  r.Insert(Medium::kDvdPlusR);
  r.ClearAttention();
  EXPECT_EQ(SendPage05(r, 0x22, 0xC4, 0x08, 0x10).status, kStatusGood);
  EXPECT_EQ(r.Write(0, 31, 1).status, kStatusGood);
}

TEST(VrecBurnerSequence, DvdMinusRBurnWithLeadOutWait) {
  Recorder r(40);
  r.Insert(Medium::kDvdR);
  r.ClearAttention();
  EXPECT_EQ(r.Run(Cdb6(mmc::kStartStopUnit, 0x03)).status, kStatusGood);  // load
  EXPECT_EQ(r.Run(Cdb6(mmc::kRezeroUnit)).status, kStatusGood);           // rewind
  Cdb speed(12, 0);
  speed[0] = mmc::kSetCdSpeed;
  put_be16(speed, 2, 0xFFFF);
  put_be16(speed, 4, 4 * 177);
  EXPECT_EQ(r.Run(speed).status, kStatusGood);
  ASSERT_EQ(SendPage05(r, 0x42, 0x05, 0x08).status, kStatusGood);  // DVD-R: DAO, BUFE
  auto track = r.TrackInfo(255);
  ASSERT_EQ(get_be32(track, 12), 0u);  // the session starts at 0
  // Streaming descriptor, time stamp, reservation of the image plus one.
  std::vector<std::uint8_t> stream(28, 0);
  put_be32(stream, 8, 0x0023127F);
  put_be32(stream, 12, 43965);
  put_be32(stream, 16, 1000);
  put_be32(stream, 20, 1418);
  put_be32(stream, 24, 1000);
  Cdb set_streaming(12, 0);
  set_streaming[0] = mmc::kSetStreaming;
  put_be16(set_streaming, 9, 28);
  EXPECT_EQ(r.Out(set_streaming, stream).status, kStatusGood);
  std::vector<std::uint8_t> stamp(22, 0);
  stamp[1] = 0x14;
  std::string when = "20240102030405";
  std::copy(when.begin(), when.end(), stamp.begin() + 8);
  Cdb send_structure(12, 0);
  send_structure[0] = mmc::kSendDvdStructure;
  send_structure[7] = 0x0F;
  put_be16(send_structure, 8, 22);
  EXPECT_EQ(r.Out(send_structure, stamp).status, kStatusGood);
  const std::uint32_t image = 310;
  Cdb reserve = Cdb10(mmc::kReserveTrack);
  put_be32(reserve, 5, image + 1);
  // The burner sends RESERVE TRACK with an 8-byte data-in buffer; nothing comes back.
  std::vector<std::uint8_t> unused(8);
  Response reserved = r.Run(reserve, DataDirection::kIn, &unused);
  EXPECT_EQ(reserved.status, kStatusGood);
  EXPECT_EQ(reserved.transferred, 0u);
  EXPECT_EQ(r.Run(Cdb10(mmc::kSendOpcInformation, 0, 0, 0x01)).status, kStatusGood);
  int polls = 0;
  for (std::uint32_t lba = 0; lba < image; lba += 31) {
    ASSERT_EQ(r.Write(lba, 31, 7).status, kStatusGood);
    if (++polls % 5 == 0) r.InOk(Cdb10(mmc::kReadBufferCapacity, 0, 0x20), 0x20);
  }
  ASSERT_EQ(r.SyncCache(true).status, kStatusGood);
  // The lead-out wait: READ DISC INFORMATION until it succeeds.
  int waited = 0;
  std::vector<std::uint8_t> info;
  for (; r.In(Cdb10(mmc::kReadDiscInformation, 0, 0x38), 0x38, &info).status != kStatusGood;
       ++waited) {
    ASSERT_EQ(info.size(), 0u);
    r.clock().Advance(1'000'000);
    ASSERT_LT(waited, 3600);
  }
  EXPECT_GT(waited, 0);
  EXPECT_EQ(info[2] & 0x03, 2);  // disc at once: closed
  auto closed = r.TrackInfo(1);
  EXPECT_EQ(get_be32(closed, 24), 320u);  // the reservation, rounded up
}

TEST(VrecBurnerSequence, QuickEraseOfACdRwThenTheDriveIsReadyAgain) {
  Recorder r(40);
  r.Insert(Medium::kCdRw);
  r.ClearAttention();
  ASSERT_EQ(SendPage05(r, 0x41, 0xC4, 0x08).status, kStatusGood);
  ASSERT_EQ(r.Write(0, 31, 1).status, kStatusGood);
  ASSERT_EQ(r.SyncCache().status, kStatusGood);
  r.ClearAttention();
  Cdb blank(12, 0);
  blank[0] = mmc::kBlank;
  blank[1] = 0x10 | mmc::kBlankMinimal;
  ASSERT_EQ(r.Run(blank).status, kStatusGood);
  // The eraser's wait: TEST UNIT READY and READ DISC INFORMATION while the
  // sense says 04h, then REQUEST SENSE until its ASC is 0.
  int rounds = 0;
  for (;; ++rounds) {
    std::vector<std::uint8_t> info;
    bool tur = r.Run(Cdb6(mmc::kTestUnitReady)).status == kStatusGood;
    bool rdi = r.In(Cdb10(mmc::kReadDiscInformation, 0, 0x38), 0x38, &info).status == kStatusGood;
    if (tur && rdi) break;
    r.clock().Advance(2'000'000);
    ASSERT_LT(rounds, 1000);
  }
  EXPECT_GT(rounds, 0);
  EXPECT_EQ(r.InOk(Cdb6(mmc::kRequestSense, 40), 40)[12], 0);
  EXPECT_EQ(r.DiscInfo()[2] & 0x03, 0);
}

}  // namespace
}  // namespace vrec::test
