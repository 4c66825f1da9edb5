// Recording on every medium: where blocks may be written, how tracks and
// sessions close, what reads back, and the disc information that follows.

#include <gtest/gtest.h>

#include <filesystem>

#include "vrec/store.h"
#include "vrec_fixture.h"

namespace vrec::test {
namespace {

// The burner's own sequence on a CD: track at once, write, flush (which
// closes the track), then close the session leaving the disc open.
void BurnCdSession(Recorder& r, std::uint32_t blocks, std::uint8_t fill, bool finalize) {
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, !finalize).status, kStatusGood);
  std::uint32_t start = r.Nwa();
  for (std::uint32_t done = 0; done < blocks; done += 31) {
    auto n = static_cast<std::uint16_t>(std::min<std::uint32_t>(31, blocks - done));
    ASSERT_EQ(r.Write(start + done, n, fill).status, kStatusGood) << done;
  }
  ASSERT_EQ(r.SyncCache().status, kStatusGood);
  ASSERT_EQ(r.Close(mmc::kCloseSession, 0, true).status, kStatusGood);
}

TEST(VrecRecording, CdTrackAtOnceSessionsTocAndReadBack) {
  Recorder r;
  // A blank CD-R: one empty session with its invisible track at 0.
  auto info = r.DiscInfo();
  EXPECT_EQ(info[2] & 0x03, 0);                // blank
  EXPECT_EQ(get_be32(info, 20), 0x004F3B4Au);  // last possible lead-out 79:59:74
  EXPECT_EQ(r.Nwa(), 0u);
  auto t = r.TrackInfo(0xFF);
  EXPECT_EQ(get_be32(t, 16), 359849u);  // free blocks

  BurnCdSession(r, 300, 0x11, false);
  // The track ends in two run-out blocks; the next session's first track
  // begins after the lead-out, the next lead-in and a pregap.
  auto first = r.TrackInfo(1);
  EXPECT_EQ(get_be32(first, 8), 0u);
  EXPECT_EQ(get_be32(first, 24), 302u);
  EXPECT_EQ(r.Nwa(), 302u + 11400u);
  info = r.DiscInfo();
  EXPECT_EQ(info[2] & 0x03, 1);         // appendable
  EXPECT_EQ((info[2] >> 2) & 0x03, 0);  // the last session is the empty next one
  EXPECT_EQ(info[4], 2);                // sessions, counting the empty one
  EXPECT_EQ(info[6], 2);                // last track in it: the invisible one

  BurnCdSession(r, 100, 0x22, false);
  EXPECT_EQ(r.Nwa(), 302u + 11400u + 102u + 6900u);

  // The formatted TOC, the session information and the full TOC.
  auto toc = r.InOk(Cdb10(mmc::kReadToc, 0, 100), 100);
  ASSERT_EQ(toc.size(), 4u + 3 * 8);
  EXPECT_EQ(toc[2], 1);
  EXPECT_EQ(toc[3], 2);
  EXPECT_EQ(get_be32(toc, 4 + 8 + 4), 11702u);  // track 2
  EXPECT_EQ(toc[4 + 16 + 2], 0xAA);             // lead-out
  EXPECT_EQ(get_be32(toc, 4 + 16 + 4), 11702u + 102u);
  auto msf = r.InOk(Cdb10(mmc::kReadToc, 0, 100, 0x02), 100);
  EXPECT_EQ(msf[4 + 5], 0);  // track 1 at 00:02:00
  EXPECT_EQ(msf[4 + 6], 2);
  auto sessions = r.InOk(Cdb{mmc::kReadToc, 0, 1, 0, 0, 0, 0, 0, 12, 0}, 12);
  EXPECT_EQ(sessions[3], 2);
  EXPECT_EQ(get_be32(sessions, 8), 11702u);
  auto full = r.InOk(Cdb{mmc::kReadToc, 2, 2, 0, 0, 0, 0, 0, 255, 0}, 255);
  bool saw_b0 = false;
  for (std::size_t at = 4; at + 11 <= full.size(); at += 11) {
    if (full[at] == 2 && full[at + 3] == 0xB0) {
      saw_b0 = true;  // where the third session may begin
      EXPECT_EQ(mmc::MsfToLba({full[at + 4], full[at + 5], full[at + 6]}),
                static_cast<std::int32_t>(r.Nwa()));
    }
  }
  EXPECT_TRUE(saw_b0);

  // Reading back: the data, the unreadable run-out, nothing beyond.
  std::vector<std::uint8_t> data;
  ASSERT_EQ(r.Read(299, 1, &data).status, kStatusGood);
  EXPECT_EQ(data[0], 0x11);
  ASSERT_EQ(r.Read(11702 + 99, 1, &data).status, kStatusGood);
  EXPECT_EQ(data[2047], 0x22);
  Response runout = r.Read(300, 1, &data);
  EXPECT_EQ(SenseOf(runout), sense::kLecUncorrectable);
  EXPECT_EQ(get_be32(runout.sense, 3), 300u);
  EXPECT_EQ(SenseOf(r.Read(5000, 1, &data)), sense::kLbaOutOfRange);
  // A read that runs into the run-out delivers the good blocks first.
  Response partial = r.Read(298, 4, &data);
  EXPECT_EQ(SenseOf(partial), sense::kLecUncorrectable);
  EXPECT_EQ(partial.transferred, 2u * 2048u);
  auto cap = r.InOk(Cdb10(mmc::kReadCapacity), 8);
  EXPECT_EQ(get_be32(cap, 0), 11702u + 102u - 1);  // the run-out counts
}

TEST(VrecRecording, SequentialWritesOnlyAtTheNextWritableAddress) {
  Recorder r;
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, true).status, kStatusGood);
  Response wrong = r.Write(16, 1, 0);
  EXPECT_EQ(SenseOf(wrong), sense::kInvalidAddressForWrite);
  EXPECT_EQ(get_be32(wrong.sense, 3), 16u);
  ASSERT_EQ(r.Write(0, 10, 0).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Write(9, 1, 0)), sense::kInvalidAddressForWrite);
  EXPECT_EQ(r.Write(10, 10, 0).status, kStatusGood);
  EXPECT_EQ(r.Nwa(), 20u);
  // More blocks than the buffer holds: 05/24/00, nothing recorded.
  EXPECT_EQ(SenseOf(r.Out(Cdb10(mmc::kWrite10, 20, 4), std::vector<std::uint8_t>(2048))),
            sense::kInvalidFieldInCdb);
  // Blocks of any size but 2048 are not for this recorder.
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, true, false, true, 0).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Write(20, 1, 0)), sense::kIllegalModeForTrack);
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, false).status, kStatusGood);
  ASSERT_EQ(r.SyncCache().status, kStatusGood);
  ASSERT_EQ(r.Close(mmc::kCloseSession).status, kStatusGood);  // finalizes
  EXPECT_EQ(r.DiscInfo()[2] & 0x03, 2);
  EXPECT_EQ(SenseOf(r.Write(11400, 1, 0)), sense::kCannotWriteIncompatibleFormat);
  // Nothing left open to close.
  EXPECT_EQ(SenseOf(r.Close(mmc::kCloseSession)), sense::kCommandSequenceError);
}

TEST(VrecRecording, SessionAtOnceFollowsTheCueSheet) {
  Recorder r;
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeSao, false).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Write(0, 1, 0)), sense::kCommandSequenceError);  // no cue sheet yet
  // Lead-in, track 1 pregap at 00:00:00, index 1 at 00:02:00, lead-out after 200 blocks.
  std::vector<std::uint8_t> cue = {
      0x41, 0x00, 0x00, 0x10, 0x00, 0, 0, 0,   // lead-in
      0x41, 0x01, 0x00, 0x10, 0x00, 0, 0, 0,   // track 1, index 0
      0x41, 0x01, 0x01, 0x10, 0x00, 0, 2, 0,   // track 1, index 1
      0x41, 0xAA, 0x01, 0x10, 0x00, 0, 4, 50,  // lead-out at 00:04:50 = LBA 200
  };
  ASSERT_EQ(r.Out(Cdb{mmc::kSendCueSheet, 0, 0, 0, 0, 0, 0, 0, 32, 0}, cue).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Write(0, 1, 0)), sense::kInvalidAddressForWrite);  // the pregap comes first
  for (std::int32_t lba = -150; lba < 200; lba += 25) {
    ASSERT_EQ(r.Write(static_cast<std::uint32_t>(lba), 25, lba < 0 ? 0 : 0x5A).status, kStatusGood)
        << lba;
  }
  ASSERT_EQ(r.SyncCache().status, kStatusGood);
  auto info = r.DiscInfo();
  EXPECT_EQ(info[2] & 0x03, 2);  // the session closed and finalized with the last block
  std::vector<std::uint8_t> data;
  ASSERT_EQ(r.Read(199, 1, &data).status, kStatusGood);
  EXPECT_EQ(data[0], 0x5A);
  auto toc = r.InOk(Cdb10(mmc::kReadToc, 0, 100), 100);
  EXPECT_EQ(get_be32(toc, 4 + 8 + 4), 200u);  // lead-out

  // A cue sheet with an audio track is not for a data recorder.
  Recorder audio;
  ASSERT_EQ(audio.SetWriteParameters(mmc::kWriteTypeSao, false).status, kStatusGood);
  cue[8] = 0x01, cue[16] = 0x01;
  EXPECT_EQ(SenseOf(audio.Out(Cdb{mmc::kSendCueSheet, 0, 0, 0, 0, 0, 0, 0, 32, 0}, cue)),
            sense::kInvalidFieldInParameterList);
}

TEST(VrecRecording, TestWriteRecordsNothing) {
  for (Medium m : {Medium::kCdR, Medium::kDvdR}) {
    Recorder r;
    r.Insert(m);
    r.ClearAttention();
    ASSERT_EQ(r.SetWriteParameters(m == Medium::kCdR ? mmc::kWriteTypeTao : mmc::kWriteTypePacket,
                                   false, true)
                  .status,
              kStatusGood);
    for (std::uint32_t lba = 0; lba < 5 * 31; lba += 31) {
      ASSERT_EQ(r.Write(lba, 31, 0x77).status, kStatusGood);
    }
    // Nothing waits in the staging area to reach the sectors file later.
    StagedRun run{1, 1};
    ASSERT_TRUE(static_cast<FileSectorStore&>(r.rec().store().sectors()).Staged(&run));
    EXPECT_EQ(run.count, 0u) << Traits(m).name;
    ASSERT_EQ(r.SyncCache().status, kStatusGood);
    EXPECT_EQ(std::filesystem::file_size(r.folder() + "/recorder0/sectors"), 0u) << Traits(m).name;
    EXPECT_EQ(r.Close(mmc::kCloseSession).status, kStatusGood);  // nothing to close, no error
    EXPECT_EQ(r.DiscInfo()[2] & 0x03, 0) << Traits(m).name;      // still blank
    EXPECT_EQ(r.Nwa(), 0u);
    std::vector<std::uint8_t> data;
    EXPECT_EQ(SenseOf(r.Read(0, 1, &data)), sense::kLbaOutOfRange);
  }
}

TEST(VrecRecording, DvdMinusRDiscAtOnceClosesTheDiscAtTheFlush) {
  Recorder r;
  r.Insert(Medium::kDvdR);
  r.ClearAttention();
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeSao, false).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Write(0, 16, 0)), sense::kCommandSequenceError);  // no reservation
  // The burner reserves one block more than it writes; the recorder rounds
  // reservations up to 16 blocks and pads what is not written.
  Cdb reserve = Cdb10(mmc::kReserveTrack);
  put_be32(reserve, 5, 101);
  ASSERT_EQ(r.Run(reserve).status, kStatusGood);
  auto t = r.TrackInfo(1);
  EXPECT_EQ(t[6] & 0x80, 0x80);                                      // reserved
  EXPECT_EQ(get_be32(t, 24), 112u);                                  // rounded up
  EXPECT_EQ(SenseOf(r.Run(reserve)), sense::kCommandSequenceError);  // one track per disc
  ASSERT_EQ(r.Write(0, 31, 1).status, kStatusGood);
  ASSERT_EQ(r.Write(31, 31, 2).status, kStatusGood);
  ASSERT_EQ(r.Write(62, 31, 3).status, kStatusGood);
  ASSERT_EQ(r.Write(93, 7, 4).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Write(100, 31, 5)), sense::kLbaOutOfRange);  // past the reservation
  ASSERT_EQ(r.SyncCache(true).status, kStatusGood);
  auto info = r.DiscInfo();
  EXPECT_EQ(info[2] & 0x03, 2);
  std::vector<std::uint8_t> data;
  ASSERT_EQ(r.Read(111, 1, &data).status, kStatusGood);  // padding reads as zeros
  EXPECT_EQ(data[0], 0);
  ASSERT_EQ(r.Read(99, 1, &data).status, kStatusGood);
  EXPECT_EQ(data[0], 4);
}

TEST(VrecRecording, DvdMinusIncrementalSessionsAndBorders) {
  Recorder r;
  r.Insert(Medium::kDvdRw);
  r.ClearAttention();
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypePacket, true).status, kStatusGood);
  auto invisible = r.TrackInfo(1);
  EXPECT_EQ(invisible[6] & 0x60, 0x60);  // blank, incremental
  EXPECT_EQ(invisible[6] & 0x10, 0);     // variable packets
  ASSERT_EQ(r.Write(0, 32, 9).status, kStatusGood);
  ASSERT_EQ(r.SyncCache().status, kStatusGood);
  ASSERT_EQ(r.Close(mmc::kCloseTrack, 1).status, kStatusGood);
  ASSERT_EQ(r.Close(mmc::kCloseSession).status, kStatusGood);
  EXPECT_EQ(r.Nwa(), 32u + kDvdMinusFirstBorder);
  ASSERT_EQ(r.Write(32 + kDvdMinusFirstBorder, 16, 8).status, kStatusGood);
  ASSERT_EQ(r.Close(mmc::kCloseTrack, 2).status, kStatusGood);
  ASSERT_EQ(r.Close(mmc::kCloseSession).status, kStatusGood);
  EXPECT_EQ(r.DiscInfo()[4], 3);
  EXPECT_EQ(r.Nwa(), 32u + kDvdMinusFirstBorder + 16 + kDvdMinusLaterBorder);

  // A minimal blank leaves the DVD-RW for disc-at-once recording only.
  Cdb blank(12, 0);
  blank[0] = mmc::kBlank;
  blank[1] = mmc::kBlankMinimal;
  ASSERT_EQ(r.Run(blank).status, kStatusGood);
  EXPECT_EQ(r.DiscInfo()[2] & 0x03, 0);
  EXPECT_EQ(SenseOf(r.Write(0, 16, 0)), sense::kIllegalModeForTrack);
  blank[1] = mmc::kBlankFull;
  ASSERT_EQ(r.Run(blank).status, kStatusGood);
  EXPECT_EQ(r.Write(0, 16, 0).status, kStatusGood);
}

TEST(VrecRecording, DvdPlusRSessionsStayOpenUntilFinalized) {
  Recorder r;
  r.Insert(Medium::kDvdPlusR);
  r.ClearAttention();
  for (int session = 0; session < 3; ++session) {
    std::uint32_t start = r.Nwa();
    ASSERT_EQ(r.Write(start, 31, static_cast<std::uint8_t>(session)).status, kStatusGood);
    ASSERT_EQ(r.SyncCache().status, kStatusGood);
    ASSERT_EQ(r.Close(mmc::kCloseTrack, static_cast<std::uint16_t>(session + 1)).status,
              kStatusGood);
    ASSERT_EQ(r.Close(mmc::kCloseSession).status, kStatusGood);
    EXPECT_EQ(r.DiscInfo()[2] & 0x03, 1) << session;  // page 05h plays no part
  }
  EXPECT_EQ(r.DiscInfo()[4], 4);
  ASSERT_EQ(r.Close(mmc::kCloseFinalizeDvdPlusR).status, kStatusGood);
  EXPECT_EQ(r.DiscInfo()[2] & 0x03, 2);
  EXPECT_EQ(SenseOf(r.Write(r.State().disc.next_session_start, 1, 0)),
            sense::kCannotWriteIncompatibleFormat);
  // Session closing is not for other media.
  Recorder cd;
  EXPECT_EQ(SenseOf(cd.Close(mmc::kCloseFinalizeDvdPlusR)), sense::kInvalidFieldInCdb);
}

TEST(VrecRecording, DvdPlusRwFormatsInTheBackgroundAndTakesWritesAnywhere) {
  Recorder r(40);  // 4x: formatting takes a while
  r.Insert(Medium::kDvdPlusRw);
  r.ClearAttention();
  EXPECT_EQ(r.DiscInfo()[2] & 0x03, 0);
  auto caps = r.InOk(Cdb10(mmc::kReadFormatCapacities, 0, 64), 64);
  EXPECT_EQ(caps[3], 16);        // current descriptor and one format
  EXPECT_EQ(caps[8] & 0x03, 1);  // unformatted
  EXPECT_EQ(caps[4 + 8 + 4] >> 2, mmc::kFormatDvdPlusRw);
  // The burner's list: FOV and Immed, 0 blocks, format 26h.
  std::vector<std::uint8_t> list = {0x00, 0x82, 0x00, 0x08, 0, 0, 0, 0, 0x98, 0, 0, 0};
  ASSERT_EQ(r.Out(Cdb6(mmc::kFormatUnit, 0, 0x11), list).status, kStatusGood);
  EXPECT_EQ(r.DiscInfo()[7] & 0x03, 2);  // background format running
  EXPECT_EQ(r.Run(Cdb6(mmc::kTestUnitReady)).status, kStatusGood);
  EXPECT_EQ(r.Write(1000000, 31, 0x3C).status, kStatusGood);  // anywhere, at once
  EXPECT_EQ(r.Write(0, 31, 0x3D).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Write(2295104 - 10, 31, 0)), sense::kLbaOutOfRange);
  auto cap = r.InOk(Cdb10(mmc::kReadCapacity), 8);
  EXPECT_EQ(get_be32(cap, 0), 2295104u - 1);
  // Closing the session stops the background format, leaving the disc usable.
  ASSERT_EQ(r.Close(mmc::kCloseSession).status, kStatusGood);
  EXPECT_EQ(r.DiscInfo()[7] & 0x03, 1);
  std::vector<std::uint8_t> data;
  ASSERT_EQ(r.Read(1000030, 1, &data).status, kStatusGood);
  EXPECT_EQ(data[0], 0x3C);
  // One track, always writable from 0.
  auto t = r.TrackInfo(0xFF);
  EXPECT_EQ(t[7] & 0x01, 1);
  EXPECT_EQ(get_be32(t, 12), 0u);
  EXPECT_EQ(get_be32(t, 24), 2295104u);
  // Formatting again completes in the background as time passes.
  ASSERT_EQ(r.Out(Cdb6(mmc::kFormatUnit, 0, 0x11), list).status, kStatusGood);
  r.clock().Advance(4'000'000'000);
  EXPECT_EQ(r.DiscInfo()[7] & 0x03, 3);
  ASSERT_EQ(r.Read(0, 1, &data).status, kStatusGood);
  EXPECT_EQ(data[0], 0x3D);  // a quick re-format leaves what was written
}

TEST(VrecRecording, DvdRwRestrictedOverwriteAfterAFormat) {
  Recorder r;
  r.Insert(Medium::kDvdRw);
  r.ClearAttention();
  std::vector<std::uint8_t> quick = {
      0x00, 0x02, 0x00, 0x08, 0x00, 0x23, 0x12, 0x80, mmc::kFormatDvdRwQuick << 2, 0, 0, 16};
  ASSERT_EQ(r.Out(Cdb6(mmc::kFormatUnit, 0, 0x11), quick).status, kStatusGood);
  EXPECT_EQ(r.Profile(), mmc::kProfileDvdRwRestricted);
  auto t = r.TrackInfo(1);
  EXPECT_EQ(t[6] & 0x30, 0x30);  // fixed packets
  EXPECT_EQ(get_be32(t, 20), 16u);
  EXPECT_EQ(r.Write(32, 16, 1).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Write(33, 16, 1)), sense::kInvalidFieldInCdb);  // not an ECC block
  EXPECT_EQ(SenseOf(r.Write(48, 31, 1)), sense::kInvalidFieldInCdb);
  auto caps = r.InOk(Cdb10(mmc::kReadFormatCapacities, 0, 255), 255);
  bool grow = false;
  for (std::size_t at = 12; at + 8 <= caps.size(); at += 8) grow |= (caps[at + 4] >> 2) == 0x13;
  EXPECT_TRUE(grow);  // a quick format can be grown
  Cdb blank(12, 0);
  blank[0] = mmc::kBlank;
  blank[1] = mmc::kBlankFull;
  ASSERT_EQ(r.Run(blank).status, kStatusGood);
  EXPECT_EQ(r.Profile(), mmc::kProfileDvdRwSequential);
}

TEST(VrecRecording, DvdRamIsFormattedAndReportsProgressWhileFormatting) {
  Recorder r(30);  // 3x
  r.Insert(Medium::kDvdRam);
  r.ClearAttention();
  EXPECT_EQ(r.DiscInfo()[2] & 0x03, 3);  // random access: "other"
  EXPECT_EQ(r.Write(12345, 31, 6).status, kStatusGood);
  std::vector<std::uint8_t> list = {0x00, 0x82, 0x00, 0x08, 0x00, 0x22,
                                    0x21, 0x20, 0x00, 0x00, 0x08, 0x00};
  ASSERT_EQ(r.Out(Cdb6(mmc::kFormatUnit, 0, 0x11), list).status, kStatusGood);
  int last = -1;
  int polls = 0;
  for (;; ++polls) {
    Response tur = r.Run(Cdb6(mmc::kTestUnitReady));
    if (tur.status == kStatusGood) break;
    ASSERT_EQ(SenseOf(tur), sense::kFormatInProgress);
    int progress = static_cast<int>(get_be16(tur.sense, 16));
    EXPECT_GE(progress, last);
    last = progress;
    r.clock().Advance(60'000'000);
    ASSERT_LT(polls, 10000);
  }
  EXPECT_GT(polls, 2);
  EXPECT_GT(last, 0);
  std::vector<std::uint8_t> data;
  ASSERT_EQ(r.Read(12345, 1, &data).status, kStatusGood);
  EXPECT_EQ(data[0], 0);  // a full format clears the disc
  auto cap = r.InOk(Cdb10(mmc::kReadCapacity), 8);
  EXPECT_EQ(get_be32(cap, 0), 2236704u - 1);
}

TEST(VrecRecording, BlankingACdRwMakesTheDriveNotReadyWithProgress) {
  Recorder r(40);
  r.Insert(Medium::kCdRw);
  r.ClearAttention();
  BurnCdSession(r, 62, 0x42, false);
  r.ClearAttention();                       // the session takes its time to close at 4x
  EXPECT_EQ(r.DiscInfo()[2] & 0x10, 0x10);  // erasable
  Cdb blank(12, 0);
  blank[0] = mmc::kBlank;
  blank[1] = 0x10 | mmc::kBlankMinimal;  // Immed
  ASSERT_EQ(r.Run(blank).status, kStatusGood);
  Response tur = r.Run(Cdb6(mmc::kTestUnitReady));
  EXPECT_EQ(SenseOf(tur), sense::kOperationInProgress);
  std::vector<std::uint8_t> out;
  EXPECT_EQ(SenseOf(r.In(Cdb10(mmc::kReadDiscInformation, 0, 34), 34, &out)),
            sense::kOperationInProgress);
  r.clock().Advance(10'000'000);
  auto rs = r.InOk(Cdb6(mmc::kRequestSense, 18), 18);  // still busy, with progress
  EXPECT_EQ(rs[12], 0x04);
  EXPECT_EQ(rs[15], 0x80);
  EXPECT_GT(get_be16(rs, 16), get_be16(tur.sense, 16));
  r.clock().Advance(1'000'000'000);
  EXPECT_EQ(r.Run(Cdb6(mmc::kTestUnitReady)).status, kStatusGood);
  EXPECT_EQ(r.DiscInfo()[2] & 0x03, 0);
  EXPECT_EQ(r.Nwa(), 0u);
  // Only rewritable discs blank.
  Recorder cdr;
  EXPECT_EQ(SenseOf(cdr.Run(blank)), sense::kIncompatibleMedium);
}

TEST(VrecRecording, ReadOnlyDiscFromAnImage) {
  TempDir dir;
  std::string image = dir.path() + "/disc.iso";
  {
    std::vector<std::uint8_t> bytes(10 * 2048 + 100, 0);
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<std::uint8_t>(i / 2048 + 1);
    FILE* f = std::fopen(image.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  Recorder r;
  std::string error;
  ASSERT_TRUE(r.rec().Update(
      [&](DriveState& s, SectorStore& store, std::string* e) {
        return InsertImage(s, store, image, r.clock().NowUs(), e);
      },
      &error))
      << error;
  r.ClearAttention();
  EXPECT_EQ(r.Profile(), mmc::kProfileCdRom);
  EXPECT_EQ(r.DiscInfo()[2] & 0x03, 2);
  auto cap = r.InOk(Cdb10(mmc::kReadCapacity), 8);
  EXPECT_EQ(get_be32(cap, 0), 10u);  // 11 blocks, the last one partly from the file
  std::vector<std::uint8_t> data;
  ASSERT_EQ(r.Read(10, 1, &data).status, kStatusGood);
  EXPECT_EQ(data[0], 11);
  EXPECT_EQ(data[100], 0);
  EXPECT_EQ(SenseOf(r.Write(11, 1, 0)), sense::kCannotWriteIncompatibleFormat);
  EXPECT_EQ(SenseOf(r.In(Cdb{mmc::kReadToc, 2, 4, 0, 0, 0, 0, 0, 28, 0}, 28, &data)),
            sense::kInvalidFieldInCdb);  // a pressed disc has no ATIP
  auto toc = r.InOk(Cdb10(mmc::kReadToc, 0, 100), 100);
  EXPECT_EQ(get_be32(toc, 4 + 8 + 4), 11u);
}

}  // namespace
}  // namespace vrec::test
