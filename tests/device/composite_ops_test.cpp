// SetWriteParameters (mode page 05h) and WaitReady.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/media_types.h"
#include "device/scsi_device.h"
#include "scripted_drive.h"
#include "test_util.h"

namespace {

// A page 05h as a drive might return it, placed at `offset` of the reply.
std::vector<uint8_t> ModeReply(size_t offset, uint8_t page_code = 0x05) {
  std::vector<uint8_t> r(offset + 60, 0);
  r[1] = static_cast<uint8_t>(r.size() - 2);
  uint8_t* p = r.data() + offset;
  p[0] = page_code;
  p[1] = 0x32;
  p[2] = 0x02;  // SAO, to be replaced
  p[3] = 0x25;  // FP + mode 5, to be replaced
  p[4] = 0x0A;
  p[5] = 0x07;   // link size 7
  p[7] = 0x11;   // application code
  p[8] = 0x20;   // session format XA
  p[13] = 0x10;  // packet size
  p[15] = 0x96;  // audio pause length 150
  p[16] = 0x4D;  // MCN starts
  return r;
}

struct Page05Fixture {
  TSCSIDevice dev;
  ScriptedDrive drive{dev};
  std::vector<uint8_t> reply = ModeReply(8);

  Page05Fixture() {
    drive.OnCommand([this](SRB_ExecSCSICmd& srb) {
      if (srb.CDBByte[0] == 0x5A) ScriptedDrive::Reply(srb, reply);
    });
  }
  // The page sent with MODE SELECT, without its 8-byte header.
  std::vector<uint8_t> SentPage() {
    for (const auto& c : drive.sent) {
      if (c.opcode() == 0x55) {
        EXPECT_EQ(c.data_out.size(), 60u);
        EXPECT_EQ(Bytes(c.data_out.data(), 8), std::vector<uint8_t>(8, 0));
        return {c.data_out.begin() + 8, c.data_out.end()};
      }
    }
    ADD_FAILURE() << "no MODE SELECT sent";
    return {};
  }
};

TEST(SetWriteParameters, CdrOpenDiscWithUnderrunProtection) {
  Page05Fixture f;
  f.dev.Capabilities.Add(TCapability::UnderrunProtection);
  f.dev.FinalizeDisc = false;
  ASSERT_TRUE(f.dev.SetWriteParameters(false, true, mtCDR));
  ASSERT_EQ(f.drive.sent.size(), 2u);
  EXPECT_EQ(Bytes(f.drive.sent[0].srb.CDBByte, 10), Hex("5A 00 05 00 00 00 00 02 00 00"));
  std::vector<uint8_t> page = f.SentPage();
  ASSERT_EQ(page.size(), 52u);
  EXPECT_EQ(Bytes(page.data(), 16), Hex("05 32 41 C4 08 00 00 00 00 00 00 00 00 00 00 96"));
  EXPECT_EQ(page[16], 0x4D) << "the rest of the page is the drive's";
  EXPECT_EQ(Bytes(f.dev.WriteParamsPage.data(), 6), Hex("05 32 41 C4 08 00"));
}

struct Page05Case {
  const char* name;
  uint16_t media;
  bool test_write, underrun, finalize, dvr, link_size, cap_underrun, cap_test;
  const char* bytes0to5;
};

const Page05Case kPage05[] = {
    {"CdrFinalize", mtCDR, false, true, true, false, false, true, false, "05 32 41 04 08 00"},
    {"CdrNoUnderrunCapability", mtCDR, false, true, false, false, false, false, false,
     "05 32 01 C4 08 00"},
    {"CdrTestWrite", mtCDR, true, false, false, false, false, false, true, "05 32 11 04 08 00"},
    {"CdrTestWriteWithoutCapability", mtCDR, true, false, false, false, false, false, false,
     "05 32 01 04 08 00"},
    {"LinkSizeValidQuirk", mtCDRW, false, false, true, false, true, false, false,
     "05 32 21 04 08 00"},
    {"DvdR", mtDVDR, false, true, false, false, false, false, false, "05 32 42 05 08 00"},
    {"DvdRwNoUnderrun", mtDVDRW, false, false, false, false, false, true, false,
     "05 32 02 05 08 00"},
    {"DvdPlusR", mtDVDPR, false, true, false, false, false, true, false, "05 32 62 C4 08 10"},
    {"DvrQuirkOpenEvenInTestWrite", mtCDR, true, true, false, true, false, true, true,
     "05 32 51 C4 08 00"},
    {"DvrQuirkFinalize", mtCDR, false, false, true, true, false, false, false, "05 32 41 04 08 00"},
};

class Page05Test : public ::testing::TestWithParam<Page05Case> {};

TEST_P(Page05Test, Bytes) {
  const Page05Case& c = GetParam();
  Page05Fixture f;
  f.dev.FinalizeDisc = c.finalize;
  f.dev.DVRQuirk = c.dvr;
  f.dev.LinkSizeValidQuirk = c.link_size;
  if (c.cap_underrun) f.dev.Capabilities.Add(TCapability::UnderrunProtection);
  if (c.cap_test) f.dev.Capabilities.Add(TCapability::WriteTest);
  ASSERT_TRUE(f.dev.SetWriteParameters(c.test_write, c.underrun, c.media));
  EXPECT_EQ(Bytes(f.SentPage().data(), 6), Hex(c.bytes0to5));
}

INSTANTIATE_TEST_SUITE_P(Cases, Page05Test, ::testing::ValuesIn(kPage05),
                         [](const ::testing::TestParamInfo<Page05Case>& i) {
                           return std::string(i.param.name);
                         });

TEST(SetWriteParameters, DvdRamSendsNothing) {
  Page05Fixture f;
  EXPECT_TRUE(f.dev.SetWriteParameters(false, true, mtDVDRAM));
  EXPECT_TRUE(f.drive.sent.empty());
}

TEST(SetWriteParameters, FindsThePageWhereTheDriveLeftIt) {
  for (size_t offset : {size_t{16}, size_t{8}, size_t{7}}) {
    Page05Fixture f;
    f.reply = ModeReply(offset);
    ASSERT_TRUE(f.dev.SetWriteParameters(false, false, mtCDR));
    std::vector<uint8_t> page = f.SentPage();
    EXPECT_EQ(page[15], 0x96) << "page at " << offset;
  }
  // No page code where expected: byte 8 is taken.
  Page05Fixture f;
  f.reply = ModeReply(8, 0x00);
  ASSERT_TRUE(f.dev.SetWriteParameters(false, false, mtCDR));
  EXPECT_EQ(f.SentPage()[15], 0x96);
}

TEST(SetWriteParameters, SavableBitIsNotSentBack) {
  Page05Fixture f;
  f.reply = ModeReply(8, 0x05);
  f.reply[8] = 0x85;  // PS set; found through the fallback offset
  ASSERT_TRUE(f.dev.SetWriteParameters(false, false, mtCDR));
  EXPECT_EQ(f.SentPage()[0], 0x05);
}

TEST(SetWriteParameters, FailedModeSenseSendsNoPage) {
  Page05Fixture f;
  f.drive.OnCommand([](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 5, 0x24, 0); });
  EXPECT_FALSE(f.dev.SetWriteParameters(false, false, mtCDR));
  ASSERT_EQ(f.drive.sent.size(), 1u);
}

// ---- WaitReady --------------------------------------------------------------

class CountingDevice : public TSCSIDevice {
 public:
  int64_t slept = 0;
  int sleeps = 0;

 protected:
  void Sleep(int32_t ms) override {
    slept += ms;
    ++sleeps;
  }
};

std::string Opcodes(const ScriptedDrive& d) {
  std::string s;
  char b[4];
  for (const auto& c : d.sent) {
    std::snprintf(b, sizeof b, "%02X ", c.opcode());
    s += b;
  }
  return s;
}

TEST(WaitReady, ReadyAtOnce) {
  CountingDevice dev;
  ScriptedDrive drive(dev);
  EXPECT_TRUE(dev.WaitReady(30000, 5000));
  EXPECT_EQ(Opcodes(drive), "51 00 ");
  EXPECT_EQ(dev.slept, 5000);

  // A budget smaller than one interval is spent by the first interval (the
  // disc-information caller only wants that one pause).
  CountingDevice short_wait;
  ScriptedDrive again(short_wait);
  EXPECT_FALSE(short_wait.WaitReady(3000, 5000));
  EXPECT_EQ(Opcodes(again), "51 ");
  EXPECT_EQ(short_wait.slept, 5000);
}

TEST(WaitReady, NeverReadyEndsWithinItsBudget) {
  struct Case {
    int32_t total, interval;
    bool slow;
  } cases[] = {{30000, 5000, false},
               {10000, 1000, false},
               {10000, 0, false},
               {10000, 500, true},
               {-5, 100, false}};
  for (const auto& c : cases) {
    CountingDevice dev;
    dev.SlowReadyQuirk = c.slow;
    ScriptedDrive drive(dev);
    drive.OnCommand(
        [](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 2, 0x04, 0x01); });
    EXPECT_FALSE(dev.WaitReady(c.total, c.interval));
    EXPECT_LE(dev.slept, std::max(c.total, 0) + std::max(c.interval, 1500))
        << c.total << "/" << c.interval;
    EXPECT_LE(drive.sent.size(), static_cast<size_t>(std::max(c.total, 0) + 10));
  }
}

TEST(WaitReady, BecomesReadyAfterAWhile) {
  CountingDevice dev;
  ScriptedDrive drive(dev);
  int polls = 0;
  drive.OnCommand([&polls](SRB_ExecSCSICmd& srb) {
    if (++polls <= 3) ScriptedDrive::CheckCondition(srb, 2, 0x04, 0x07);
  });
  EXPECT_TRUE(dev.WaitReady(30000, 1000));
  EXPECT_EQ(Opcodes(drive), "51 51 51 51 00 ");
}

TEST(WaitReady, DvdRamSkipsDiscInformationAndAsksForSense) {
  CountingDevice dev;
  dev.CurrentMediaType = mtDVDRAM;
  ScriptedDrive drive(dev);
  EXPECT_TRUE(dev.WaitReady(30000, 5000));
  EXPECT_EQ(Opcodes(drive), "00 00 03 ");
  EXPECT_EQ(drive.sent[2].srb.CDBByte[4], 40);
}

TEST(WaitReady, SenseThatKeepsSayingNotReady) {
  // Ready for TEST UNIT READY, but REQUEST SENSE reports a deferred (F0h)
  // sense until the budget runs out.
  CountingDevice dev;
  dev.CurrentMediaType = mtDVDRAM;
  ScriptedDrive drive(dev);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    if (srb.CDBByte[0] == 0x03) ScriptedDrive::Reply(srb, Hex("F0 00 00"));
  });
  EXPECT_FALSE(dev.WaitReady(20000, 5000));
  EXPECT_LE(dev.slept, 25000);
}

TEST(WaitReady, DriveThatCannotReportSenseIsNotReady) {
  CountingDevice dev;
  dev.CurrentMediaType = mtDVDRAM;
  ScriptedDrive drive(dev);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    if (srb.CDBByte[0] == 0x03) {
      srb.SRB_Status = SS_ERR;
      srb.SRB_HaStat = HASTAT_SEL_TO;
    }
  });
  EXPECT_FALSE(dev.WaitReady(30000, 5000));
}

}  // namespace
