// The rules every command follows: identity, bad command blocks, a missing
// disc, unit attentions, allocation lengths, mode pages and speeds.

#include <gtest/gtest.h>

#include "vrec_fixture.h"

namespace vrec::test {
namespace {

TEST(VrecCommands, InquiryIdentifiesTheRecorder) {
  Recorder r;
  auto inq = r.InOk(Cdb6(mmc::kInquiry, 128), 128);
  ASSERT_GE(inq.size(), 36u);
  EXPECT_EQ(inq[0], 0x05);  // CD/DVD device
  EXPECT_EQ(inq[1], 0x80);  // removable
  EXPECT_EQ(std::string(inq.begin() + 8, inq.begin() + 36), "TIDEMARKVIRTUAL RECORDER1.0 ");
  EXPECT_EQ(inq[4] + 5u, inq.size());  // additional length covers the whole reply

  // Vital product data pages, and a page asked for without EVPD.
  auto pages = r.InOk(Cdb{mmc::kInquiry, 1, 0x00, 0, 32, 0}, 32);
  EXPECT_EQ(std::vector<std::uint8_t>(pages.begin() + 4, pages.end()),
            (std::vector<std::uint8_t>{0x00, 0x80, 0x83}));
  auto serial = r.InOk(Cdb{mmc::kInquiry, 1, 0x80, 0, 32, 0}, 32);
  EXPECT_EQ(std::string(serial.begin() + 4, serial.end()), "TMVR0001");
  std::vector<std::uint8_t> out;
  EXPECT_EQ(SenseOf(r.In(Cdb{mmc::kInquiry, 0, 0x80, 0, 32, 0}, 32, &out)),
            sense::kInvalidFieldInCdb);
  EXPECT_EQ(SenseOf(r.In(Cdb{mmc::kInquiry, 1, 0x42, 0, 32, 0}, 32, &out)),
            sense::kInvalidFieldInCdb);
}

TEST(VrecCommands, BadCommandBlocksGetIllegalRequest) {
  Recorder r;
  struct Case {
    Cdb cdb;
    Sense expected;
  };
  const Case cases[] = {
      {{0xF7, 0, 0, 0, 0, 0}, sense::kInvalidOperationCode},  // unknown operation
      {{}, sense::kInvalidOperationCode},                     // empty block
      {{mmc::kRead10, 0, 0, 0}, sense::kInvalidFieldInCdb},   // too short for READ (10)
      {{mmc::kModeSense10, 0, 0x31, 0, 0, 0, 0, 0, 255, 0}, sense::kInvalidFieldInCdb},  // no page
      {{mmc::kModeSense10, 0, 0xEA, 0, 0, 0, 0, 0, 255, 0}, sense::kSavingParametersNotSupported},
      {{mmc::kGetConfiguration, 3, 0, 0, 0, 0, 0, 0, 8, 0}, sense::kInvalidFieldInCdb},  // RT 3
      {{mmc::kGetEventStatus, 0, 0, 0, 0x10, 0, 0, 0, 8, 0},
       sense::kInvalidFieldInCdb},  // not polled
      {{mmc::kReadDiscInformation, 1, 0, 0, 0, 0, 0, 0, 34, 0}, sense::kInvalidFieldInCdb},
      {{mmc::kReadCapacity16, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0},
       sense::kInvalidFieldInCdb},
      {{mmc::kGetPerformance, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0},
       sense::kInvalidFieldInCdb},  // tolerance
      {{mmc::kGetPerformance, 0x10, 0, 0, 0, 0, 0, 0, 0, 1, 0x7F, 0}, sense::kInvalidFieldInCdb},
      {{mmc::kReadToc, 0, 0, 0, 0, 0, 0, 0, 20, 0}, sense::kInvalidFieldInCdb},  // blank disc
      {{mmc::kReadDvdStructure, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0},
       sense::kCannotReadIncompatibleFormat},
      {{mmc::kFormatUnit, 0x11, 0, 0, 0, 0}, sense::kParameterListLengthError},  // no list sent
      {{mmc::kRead10, 0, 0, 0, 0, 5, 0, 0, 1, 0}, sense::kLbaOutOfRange},        // nothing recorded
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> out;
    Response resp = r.In(c.cdb, 2048, &out);
    EXPECT_EQ(resp.status, kStatusCheckCondition) << std::hex << (c.cdb.empty() ? -1 : c.cdb[0]);
    EXPECT_EQ(SenseOf(resp), c.expected) << std::hex << (c.cdb.empty() ? -1 : c.cdb[0]);
    EXPECT_EQ(resp.transferred, 0u);
  }
}

TEST(VrecCommands, SenseDataIsFixedFormatWithInformationAndProgress) {
  auto b = BuildSense(sense::kLbaOutOfRange, true, 0x12345678);
  EXPECT_EQ(b[0], 0xF0);  // valid information, current error, fixed format
  EXPECT_EQ(b[2], 0x05);
  EXPECT_EQ(get_be32(b, 3), 0x12345678u);
  EXPECT_EQ(b[7], 10);
  EXPECT_EQ(b[12], 0x21);
  EXPECT_EQ(b[13], 0x00);
  auto p = BuildSense(sense::kOperationInProgress, false, 0, 32768);
  EXPECT_EQ(p[0], 0x70);
  EXPECT_EQ(p[15], 0x80);  // SKSV
  EXPECT_EQ(get_be16(p, 16), 32768u);
}

TEST(VrecCommands, NoMediumAndTrayOpen) {
  Recorder r;
  r.Change([](DriveState& s, SectorStore& store) { RemoveMedium(s, store); });
  EXPECT_EQ(SenseOf(r.Run(Cdb6(mmc::kTestUnitReady))), sense::kNoMediumTrayClosed);
  EXPECT_EQ(r.Profile(), 0);  // GET CONFIGURATION still answers, with no profile
  auto sense_data = r.InOk(Cdb6(mmc::kRequestSense, 18), 18);
  EXPECT_EQ(sense_data[12], 0x3A);

  r.Insert(Medium::kCdR);
  r.ClearAttention();
  EXPECT_EQ(r.Run(Cdb6(mmc::kStartStopUnit, 0x02)).status, kStatusGood);  // eject
  EXPECT_EQ(SenseOf(r.Run(Cdb6(mmc::kTestUnitReady))), sense::kNoMediumTrayOpen);
  std::vector<std::uint8_t> out;
  EXPECT_EQ(SenseOf(r.In(Cdb10(mmc::kReadDiscInformation, 0, 34), 34, &out)),
            sense::kNoMediumTrayOpen);
  // Loading again spins the disc up and tells the host it may have changed.
  EXPECT_EQ(r.Run(Cdb6(mmc::kStartStopUnit, 0x03)).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Run(Cdb6(mmc::kTestUnitReady))), sense::kMediumMayHaveChanged);
  EXPECT_EQ(r.Run(Cdb6(mmc::kTestUnitReady)).status, kStatusGood);
  // Loading a loaded drive changes nothing.
  EXPECT_EQ(r.Run(Cdb6(mmc::kStartStopUnit, 0x03)).status, kStatusGood);
  EXPECT_EQ(r.Run(Cdb6(mmc::kTestUnitReady)).status, kStatusGood);
}

TEST(VrecCommands, EjectWhileLockedIsRefused) {
  Recorder r;
  EXPECT_EQ(r.Run(Cdb6(mmc::kPreventAllow, 1)).status, kStatusGood);
  EXPECT_EQ(SenseOf(r.Run(Cdb6(mmc::kStartStopUnit, 0x02))), sense::kMediumRemovalPrevented);
  EXPECT_EQ(r.Run(Cdb6(mmc::kPreventAllow, 0)).status, kStatusGood);
  EXPECT_EQ(r.Run(Cdb6(mmc::kStartStopUnit, 0x02)).status, kStatusGood);
}

TEST(VrecCommands, UnitAttentionAfterADiscChangeFailsOneCommand) {
  Recorder r;
  r.Insert(Medium::kDvdPlusR);
  // INQUIRY and GET CONFIGURATION pass a pending attention; the next other
  // command reports it, once.
  r.InOk(Cdb6(mmc::kInquiry, 36), 36);
  EXPECT_EQ(r.Profile(), mmc::kProfileDvdPlusR);
  EXPECT_EQ(SenseOf(r.Run(Cdb6(mmc::kTestUnitReady))), sense::kMediumMayHaveChanged);
  EXPECT_EQ(r.Run(Cdb6(mmc::kTestUnitReady)).status, kStatusGood);

  // REQUEST SENSE hands the attention over as its data.
  r.Insert(Medium::kCdRw);
  auto s = r.InOk(Cdb6(mmc::kRequestSense, 18), 18);
  EXPECT_EQ(s[2], 0x06);
  EXPECT_EQ(s[12], 0x28);
  EXPECT_EQ(r.Run(Cdb6(mmc::kTestUnitReady)).status, kStatusGood);

  // The media event is reported once too.
  r.Insert(Medium::kCdR);
  auto first = r.InOk(Cdb{mmc::kGetEventStatus, 1, 0, 0, 0x10, 0, 0, 0, 8, 0}, 8);
  auto again = r.InOk(Cdb{mmc::kGetEventStatus, 1, 0, 0, 0x10, 0, 0, 0, 8, 0}, 8);
  EXPECT_EQ(first[4] & 0x0F, 2);  // new media
  EXPECT_EQ(again[4] & 0x0F, 0);
  EXPECT_EQ(again[5] & 0x02, 0x02);  // present
}

TEST(VrecCommands, RepliesAreCutToTheAllocationLengthWithFullLengthFields) {
  Recorder r;
  struct Case {
    Cdb cdb;
    std::size_t length_field_bytes;  // where the reply says how long it is
  };
  const Case cases[] = {
      {Cdb10(mmc::kGetConfiguration, 0, 4), 4},
      {Cdb10(mmc::kReadDiscInformation, 0, 4), 2},
      {Cdb10(mmc::kReadTrackInformation, 0xFF, 4, 1), 2},
      {Cdb{mmc::kModeSense10, 0, 0x2A, 0, 0, 0, 0, 0, 4, 0}, 2},
      {Cdb{mmc::kReadToc, 2, 4, 0, 0, 0, 0, 0, 4, 0}, 2},  // ATIP
      {Cdb10(mmc::kReadFormatCapacities, 0, 4), 0},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> out;
    Response resp = r.In(c.cdb, 512, &out);
    ASSERT_EQ(resp.status, kStatusGood) << std::hex << int(c.cdb[0]);
    EXPECT_EQ(resp.transferred, 4u) << std::hex << int(c.cdb[0]);
    if (c.length_field_bytes == 4) {
      EXPECT_GT(get_be32(out, 0), 4u);
    } else if (c.length_field_bytes == 2) {
      EXPECT_GT(get_be16(out, 0), 2u);
    }
  }
  // A buffer smaller than the allocation length limits the transfer as well.
  std::vector<std::uint8_t> small;
  Response resp = r.In(Cdb6(mmc::kInquiry, 96), 10, &small);
  EXPECT_EQ(resp.transferred, 10u);
}

TEST(VrecCommands, WriteParametersPageHasChangeableMaskAndChecksChanges) {
  Recorder r;
  auto changeable = r.InOk(Cdb{mmc::kModeSense10, 0, 0x45, 0, 0, 0, 0, 0, 255, 0}, 255);
  ASSERT_EQ(changeable.size(), 8 + kPage05Length);
  EXPECT_EQ(changeable[8 + 2], 0x7F);
  // The write parameters of the burner for a CD-R it leaves appendable.
  ASSERT_EQ(r.SetWriteParameters(mmc::kWriteTypeTao, true).status, kStatusGood);
  auto current = r.InOk(Cdb{mmc::kModeSense10, 0, 0x05, 0, 0, 0, 0, 0, 255, 0}, 255);
  EXPECT_EQ(current[8 + 2], 0x41);
  EXPECT_EQ(current[8 + 3], 0xC4);
  EXPECT_EQ(current[8 + 4], 0x08);

  std::vector<std::uint8_t> list(current.begin(), current.end());
  std::fill(list.begin(), list.begin() + 8, 0);
  struct Case {
    std::size_t at;
    std::uint8_t value;
    std::uint16_t length;
    Sense expected;
  };
  const Case cases[] = {
      {8 + 9, 0x55, 60, sense::kInvalidFieldInParameterList},  // a reserved byte
      {8 + 2, 0x43, 60, sense::kInvalidFieldInParameterList},  // raw recording
      {8 + 4, 0x07, 60, sense::kInvalidFieldInParameterList},  // no such block type
      {8 + 1, 0x40, 60, sense::kParameterListLengthError},     // page longer than the list
      {8 + 3, 0xC4, 6, sense::kParameterListLengthError},      // shorter than its header
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bad = list;
    bad.resize(60);
    bad[c.at] = c.value;
    bad.resize(c.length);
    EXPECT_EQ(SenseOf(r.Out(Cdb10(mmc::kModeSelect10, 0, c.length, 0x10), bad)), c.expected)
        << c.at;
  }
  // The capabilities page takes no changes at all.
  auto caps = r.InOk(Cdb{mmc::kModeSense10, 0, 0x2A, 0, 0, 0, 0, 0, 255, 0}, 255);
  std::fill(caps.begin(), caps.begin() + 8, 0);
  caps[8 + 2] ^= 0x01;
  EXPECT_EQ(SenseOf(r.Out(
                Cdb10(mmc::kModeSelect10, 0, static_cast<std::uint16_t>(caps.size()), 0x10), caps)),
            sense::kInvalidFieldInParameterList);
}

TEST(VrecCommands, CapabilitiesPageAndSpeeds) {
  Recorder r;
  auto page = r.InOk(Cdb{mmc::kModeSense10, 0, 0x2A, 0, 0, 0, 0, 0, 255, 0}, 255);
  const std::uint8_t* p = page.data() + 8;
  EXPECT_EQ(p[0], 0x2A);
  EXPECT_EQ(p[3] & 0x37, 0x37);  // CD-R, CD-RW, test write, DVD-R, DVD-RAM
  EXPECT_EQ(p[4] & 0x80, 0x80);  // buffer underrun protection
  std::uint32_t max = get_be16(page, 8 + 18);
  EXPECT_EQ(max, 8467u);                     // 48x
  EXPECT_EQ(get_be16(page, 8 + 12), 4096u);  // buffer KiB
  std::uint32_t descriptors = get_be16(page, 8 + 30);
  ASSERT_GT(descriptors, 1u);

  // SET CD SPEED: FFFFh is the maximum; any other request takes the listed
  // speed at or below it, and page 2Ah reports what was taken.
  struct Case {
    std::uint16_t request;
    std::uint32_t expected;
  };
  const Case cases[] = {{0xFFFF, 8467}, {2832, 2822}, {708, 706}, {10, 706}, {9000, 8467}};
  for (const Case& c : cases) {
    Cdb set(12, 0);
    set[0] = mmc::kSetCdSpeed;
    put_be16(set, 2, 0xFFFF);
    put_be16(set, 4, c.request);
    ASSERT_EQ(r.Run(set).status, kStatusGood);
    auto now = r.InOk(Cdb{mmc::kModeSense10, 0, 0x2A, 0, 0, 0, 0, 0, 255, 0}, 255);
    EXPECT_EQ(get_be16(now, 8 + 28), c.expected) << c.request;
    EXPECT_EQ(get_be16(now, 8 + 20), c.expected) << c.request;
  }

  // GET PERFORMANCE type 3 lists the same speeds; the length counts all of
  // them even when fewer are asked for.
  Cdb perf(12, 0);
  perf[0] = mmc::kGetPerformance;
  put_be16(perf, 8, 2);
  perf[10] = 0x03;
  auto speeds = r.InOk(perf, 512);
  EXPECT_EQ(get_be32(speeds, 0), 4 + 16 * descriptors);
  ASSERT_EQ(speeds.size(), 8u + 32u);
  EXPECT_EQ(get_be32(speeds, 8 + 12), 8467u);
}

TEST(VrecCommands, ProfilesAndFeaturesFollowTheMedium) {
  struct Case {
    Medium medium;
    std::uint16_t profile;
    std::uint16_t current_feature;
    std::uint16_t absent_feature;
  };
  const Case cases[] = {
      {Medium::kCdR, mmc::kProfileCdR, mmc::kFeatureCdTrackAtOnce, mmc::kFeatureDvdPlusR},
      {Medium::kCdRw, mmc::kProfileCdRw, mmc::kFeatureCdMastering, mmc::kFeatureFormattable},
      {Medium::kDvdR, mmc::kProfileDvdR, mmc::kFeatureDvdMinusRWrite, mmc::kFeatureCdTrackAtOnce},
      {Medium::kDvdRw, mmc::kProfileDvdRwSequential, mmc::kFeatureIncrementalStreaming,
       mmc::kFeatureRestrictedOverwrite},
      {Medium::kDvdPlusR, mmc::kProfileDvdPlusR, mmc::kFeatureDvdPlusR, mmc::kFeatureDvdPlusRw},
      {Medium::kDvdPlusRw, mmc::kProfileDvdPlusRw, mmc::kFeatureDvdPlusRw,
       mmc::kFeatureIncrementalStreaming},
      {Medium::kDvdRam, mmc::kProfileDvdRam, mmc::kFeatureRandomWritable, mmc::kFeatureDvdPlusRw},
  };
  for (const Case& c : cases) {
    Recorder r;
    r.Insert(c.medium);
    auto all = r.InOk(Cdb10(mmc::kGetConfiguration, 0, 2048, 1), 2048);  // current features
    EXPECT_EQ(get_be16(all, 6), c.profile);
    bool current = false, absent = true;
    for (std::size_t at = 8; at + 4 <= all.size(); at += 4 + all[at + 3]) {
      std::uint16_t code = static_cast<std::uint16_t>(get_be16(all, at));
      if (code == c.current_feature) current = (all[at + 2] & 1) != 0;
      if (code == c.absent_feature) absent = false;
    }
    EXPECT_TRUE(current) << Traits(c.medium).name;
    EXPECT_TRUE(absent) << Traits(c.medium).name;
    // Asking for one feature (RT 2) returns it whether current or not.
    Cdb one = Cdb10(mmc::kGetConfiguration, 0, 64, 2);
    put_be16(one, 2, mmc::kFeatureDvdPlusRw);
    auto plus = r.InOk(one, 64);
    ASSERT_GE(plus.size(), 16u);
    EXPECT_EQ(get_be16(plus, 8), mmc::kFeatureDvdPlusRw);
    EXPECT_EQ(plus[12], 0x01);  // the recorder writes DVD+RW
  }
}

}  // namespace
}  // namespace vrec::test
