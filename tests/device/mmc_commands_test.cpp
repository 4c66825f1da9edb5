// Every MMC operation against its command block: CDB bytes, direction,
// transfer length and time-out; then the reply conversions.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "device/scsi_device.h"
#include "device/transport_report.h"
#include "scripted_drive.h"
#include "test_util.h"

namespace {

struct OperationCase {
  const char* name;
  std::function<void(TSCSIDevice&)> run;
  const char* cdb;  // exactly SRB_CDBLen bytes
  uint8_t flags;
  uint32_t length;
  int32_t timeout;  // the wait after the 10 s floor
};

std::array<uint8_t, 4096> g_buf;
std::array<uint8_t, 64> g_out = [] {
  std::array<uint8_t, 64> a{};
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint8_t>(0xA0 + i);
  return a;
}();

const OperationCase kCases[] = {
    {"TestUnitReady", [](TSCSIDevice& d) { d.TestUnitReady(5000); }, "00 00 00 00 00 00", 0x40, 0,
     10000},
    {"RewindUnit", [](TSCSIDevice& d) { d.RewindUnit(); }, "01 00 00 00 00 00", 0x40, 0, 10000},
    {"RequestSense", [](TSCSIDevice& d) { d.RequestSense(g_buf, 40); }, "03 00 00 00 28 00", 0x48,
     40, 10000},
    {"FormatUnit", [](TSCSIDevice& d) { d.FormatUnit(0x11, g_out); }, "04 11 00 00 00 00", 0x50, 16,
     10000},
    {"Inquiry", [](TSCSIDevice& d) { d.Inquiry(); }, "12 00 00 00 80 00", 0x48, 128, 10000},
    {"StartStopUnit eject", [](TSCSIDevice& d) { d.StartStopUnit(true); }, "1B 00 00 00 02 00",
     0x40, 0, 20000},
    {"StartStopUnit load", [](TSCSIDevice& d) { d.StartStopUnit(false); }, "1B 00 00 00 03 00",
     0x40, 0, 20000},
    {"PreventAllowRemoval allow", [](TSCSIDevice& d) { d.PreventAllowRemoval(true); },
     "1E 00 00 00 00 00", 0x40, 0, 10000},
    {"PreventAllowRemoval prevent", [](TSCSIDevice& d) { d.PreventAllowRemoval(false); },
     "1E 00 00 00 01 00", 0x40, 0, 10000},
    {"ReadFormatCapacities",
     [](TSCSIDevice& d) {
       uint32_t a, b;
       d.ReadFormatCapacities(a, b);
     },
     "23 00 00 00 00 00 00 00 F8 00", 0x48, 248, 10000},
    {"ReadCapacity",
     [](TSCSIDevice& d) {
       uint32_t a, b;
       d.ReadCapacity(a, b);
     },
     "25 00 00 00 00 00 00 00 00 00", 0x48, 8, 10000},
    {"Read10", [](TSCSIDevice& d) { d.Read10(0x12345678, 2, 4096, g_buf); },
     "28 00 12 34 56 78 00 00 02 00", 0x48, 4096, 10000},
    {"Write10", [](TSCSIDevice& d) { d.Write10(0x96, 0x1F, 0x50, 64, g_out); },
     "2A 00 00 00 00 96 00 00 1F 00", 0x50, 64, 120000},
    {"SynchronizeCache immediate", [](TSCSIDevice& d) { d.SynchronizeCache(1800000, true); },
     "35 02 00 00 00 00 00 00 00 00", 0x40, 0, 1800000},
    {"SynchronizeCache", [](TSCSIDevice& d) { d.SynchronizeCache(120000, false); },
     "35 00 00 00 00 00 00 00 00 00", 0x40, 0, 120000},
    {"ReadTOC ATIP", [](TSCSIDevice& d) { d.ReadTOC(4, g_buf, 0, true, 0, 26); },
     "43 02 04 00 00 00 00 00 1A 00", 0x48, 26, 10000},
    {"ReadTOC track", [](TSCSIDevice& d) { d.ReadTOC(0, g_buf, 0x40, false, 5, 114); },
     "43 00 00 00 00 00 05 00 72 40", 0x48, 114, 10000},
    {"GetConfiguration 102Ah", [](TSCSIDevice& d) { d.GetConfiguration(2, 0x102A, 114, g_buf); },
     "46 02 00 2A 00 00 00 00 72 00", 0x48, 114, 30000},
    {"ReadDiscInformation", [](TSCSIDevice& d) { d.ReadDiscInformation(g_buf, 34); },
     "51 00 00 00 00 00 00 00 22 00", 0x48, 34, 10000},
    {"ReadDiscInfo", [](TSCSIDevice& d) { d.ReadDiscInfo(); }, "51 00 00 00 00 00 00 00 38 00",
     0x48, 56, 10000},
    {"ReadTrackInformation 300", [](TSCSIDevice& d) { d.ReadTrackInformation(300); },
     "52 01 00 00 00 2C 00 00 26 00", 0x48, 38, 60000},
    {"ReserveTrack", [](TSCSIDevice& d) { d.ReserveTrack(0x00012345); },
     "53 00 00 00 00 00 01 23 45 00", 0x48, 8, 10000},
    {"SendOPCInformation", [](TSCSIDevice& d) { d.SendOPCInformation(); },
     "54 01 00 00 00 00 00 00 00 00", 0x40, 0, 150000},
    {"ModeSelect10", [](TSCSIDevice& d) { d.ModeSelect10(g_out, 60); },
     "55 10 00 00 00 00 00 00 3C 00", 0x50, 60, 10000},
    {"ModeSense10 defaults", [](TSCSIDevice& d) { d.ModeSense10(0x2A, g_buf, true, 128, 127); },
     "5A 00 AA 00 00 00 00 00 80 00", 0x48, 128, 20000},
    {"ModeSense10 current", [](TSCSIDevice& d) { d.ModeSense10(0x05, g_buf, false, 512, 511); },
     "5A 00 05 00 00 00 00 02 00 00", 0x48, 512, 20000},
    {"CloseTrackSession session", [](TSCSIDevice& d) { d.CloseTrackSession(false, true); },
     "5B 01 02 00 00 00 00 00 00 00", 0x40, 0, 180000},
    {"CloseTrackSession track", [](TSCSIDevice& d) { d.CloseTrackSession(true, false); },
     "5B 00 01 00 00 00 00 00 00 00", 0x40, 0, 180000},
    {"ReadBufferCapacity",
     [](TSCSIDevice& d) {
       uint32_t a, b;
       d.ReadBufferCapacity(a, b);
     },
     "5C 00 00 00 00 00 00 00 20 00", 0x48, 32, 10000},
    {"SendCueSheet", [](TSCSIDevice& d) { d.SendCueSheet(g_out, 24); },
     "5D 00 00 00 00 00 00 00 18 00", 0x50, 24, 30000},
    {"Blank", [](TSCSIDevice& d) { d.Blank(1); }, "A1 11 00 00 00 00 00 00 00 00 00 00", 0x40, 0,
     4800000},
    {"SetStreaming", [](TSCSIDevice& d) { d.SetStreaming(g_out, 28); },
     "B6 00 00 00 00 00 00 00 00 00 1C 00", 0x50, 28, 10000},
    {"SetCDSpeed 4 16", [](TSCSIDevice& d) { d.SetCDSpeed(4, 16); },
     "BB 00 02 C4 0B 10 00 00 00 00 00 00", 0x40, 0, 10000},
    {"SetCDSpeed max", [](TSCSIDevice& d) { d.SetCDSpeed(0, 0); },
     "BB 00 FF FF FF FF 00 00 00 00 00 00", 0x40, 0, 10000},
    {"SendDVDStructure", [](TSCSIDevice& d) { d.SendDVDStructure(0x0F, g_out, 22); },
     "BF 00 00 00 00 00 00 0F 00 16 00 00", 0x50, 22, 10000},
};

class OperationTest : public ::testing::TestWithParam<OperationCase> {};

TEST_P(OperationTest, BuildsItsCommandBlock) {
  const OperationCase& c = GetParam();
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  c.run(dev);
  ASSERT_EQ(drive.sent.size(), 1u);
  const SRB_ExecSCSICmd& srb = drive.sent[0].srb;
  const std::vector<uint8_t> cdb = Hex(c.cdb);
  EXPECT_EQ(srb.SRB_Cmd, SC_EXEC_SCSI_CMD);
  EXPECT_EQ(srb.SRB_CDBLen, cdb.size());
  EXPECT_EQ(Bytes(srb.CDBByte, cdb.size()), cdb);
  EXPECT_EQ(Bytes(srb.CDBByte + cdb.size(), kCdbSize - cdb.size()),
            std::vector<uint8_t>(kCdbSize - cdb.size(), 0))
      << "bytes past the CDB stay zero";
  EXPECT_EQ(srb.SRB_Flags, c.flags);
  EXPECT_EQ(Val(srb.SRB_BufLen), c.length);
  EXPECT_EQ(srb.SRB_BufPointer == nullptr, c.length == 0);
  EXPECT_EQ(srb.SRB_SenseLen, 14);
  EXPECT_EQ(dev.LastTimeoutMs, c.timeout);
  if (c.flags & SRB_DIR_OUT) {
    ASSERT_EQ(drive.sent[0].data_out.size(), c.length);
  }
}

INSTANTIATE_TEST_SUITE_P(AllOperations, OperationTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<OperationCase>& param_info) {
                           std::string n = param_info.param.name;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

TEST(Operations, OutgoingDataIsTheCallersBytes) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  std::array<uint8_t, 20> list{};
  list[0] = 0x00;
  list[1] = 0x82;
  list[15] = 0x5A;
  list[19] = 0xEE;  // past the 16 bytes FORMAT UNIT sends
  dev.FormatUnit(0x11, list);
  ASSERT_EQ(drive.sent.size(), 1u);
  EXPECT_EQ(drive.sent[0].data_out, std::vector<uint8_t>(list.begin(), list.begin() + 16));

  // A shorter parameter list is padded with zeros, never read past.
  std::array<uint8_t, 4> shortlist{1, 2, 3, 4};
  dev.FormatUnit(0x11, shortlist);
  EXPECT_EQ(drive.sent[1].data_out, Hex("01 02 03 04 00 00 00 00 00 00 00 00 00 00 00 00"));
}

TEST(Operations, TimeStampListCarriesTheLocalTime) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  // 2024-01-02 03:04:05 as days since 1899-12-30.
  const double when = 45293.0 + (3 * 3600 + 4 * 60 + 5) / 86400.0;
  ASSERT_TRUE(dev.SendTimeStamp(when));
  ASSERT_EQ(drive.sent.size(), 1u);
  EXPECT_EQ(Bytes(drive.sent[0].srb.CDBByte, 12), Hex("BF 00 00 00 00 00 00 0F 00 16 00 00"));
  std::vector<uint8_t> expected = Hex("00 14 00 00 00 00 00 00");
  for (char ch : std::string("20240102030405")) expected.push_back(static_cast<uint8_t>(ch));
  EXPECT_EQ(drive.sent[0].data_out, expected);
}

TEST(Operations, LengthsLargerThanTheBufferAreCutToIt) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  std::array<uint8_t, 16> small{};
  dev.ReadTOC(0, small, 0, false, 0, 114);
  dev.GetConfiguration(2, 0, 114, small);
  dev.ModeSense10(0x2A, small, false, 128, 200);
  dev.SendCueSheet(small, 1000);
  ASSERT_EQ(drive.sent.size(), 4u);
  EXPECT_EQ(Val(drive.sent[0].srb.SRB_BufLen), 16u);
  EXPECT_EQ(drive.sent[0].srb.CDBByte[8], 16);
  EXPECT_EQ(Val(drive.sent[1].srb.SRB_BufLen), 16u);
  EXPECT_EQ(Val(drive.sent[2].srb.SRB_BufLen), 128u) << "MODE SENSE reads into its own buffer";
  EXPECT_EQ(Val(drive.sent[3].srb.SRB_BufLen), 16u);
}

TEST(Operations, LunIsPutIntoCdbByteOne) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  dev.Lun = 5;
  dev.SynchronizeCache(1000, true);
  ASSERT_EQ(drive.sent.size(), 1u);
  EXPECT_EQ(drive.sent[0].srb.CDBByte[1], 0xA2);  // 101b in bits 7-5, Immed kept
  EXPECT_EQ(drive.sent[0].srb.SRB_Lun, 5);
}

// ---- Reply conversions ----------------------------------------------------

TEST(Replies, TrackInformationInHostOrder) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    ScriptedDrive::Reply(srb, Hex("00 22 01 01 00 04 41 03 "
                                  "00 00 00 10 00 00 2B 00 00 05 7E 40 00 00 00 10 "
                                  "00 05 A9 20 00 00 2A FF 00 00 00 00 00 00"));
  });
  ASSERT_TRUE(dev.ReadTrackInformation(1));
  const TTrackInfo& t = dev.TrackInfo;
  EXPECT_EQ(t.DataLength, 0x22);
  EXPECT_EQ(t.TrackNumber, 1);
  EXPECT_EQ(t.SessionNumber, 1);
  EXPECT_EQ(t.TrackMode, 0x04);
  EXPECT_EQ(t.DataMode, 0x41);
  EXPECT_EQ(t.Flags, 0x03);
  EXPECT_EQ(t.TrackStart, 0x10u);
  EXPECT_EQ(t.NextWritable, 0x2B00u);
  EXPECT_EQ(t.FreeBlocks, 0x57E40u);
  EXPECT_EQ(t.FixedPacketSize, 0x10u);
  EXPECT_EQ(t.TrackSize, 0x5A920u);
  EXPECT_EQ(t.LastRecorded, 0x2AFFu);
}

TEST(Replies, FieldsBeyondWhatArrivedReadAsZero) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  // The drive leaves stale-looking bytes in the whole buffer but reports
  // that only 18 of the 38 bytes moved.
  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    std::vector<uint8_t> all(38, 0x77);
    ScriptedDrive::Reply(srb, all);
    device::LastTransportReport().has_residual = true;
    device::LastTransportReport().residual = 20;
  });
  ASSERT_TRUE(dev.ReadTrackInformation(1));
  EXPECT_EQ(dev.LastResidual, 20u);
  EXPECT_EQ(dev.TrackInfo.NextWritable, 0x77777777u) << "bytes 12-15 arrived";
  EXPECT_EQ(dev.TrackInfo.FreeBlocks, 0u) << "bytes 16-19 only partly arrived";
  EXPECT_EQ(dev.TrackInfo.LastRecorded, 0u);

  uint32_t buffer = 1, blank = 1;
  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    ScriptedDrive::Reply(srb, Hex("00 0A 00 00 00 40 00 00 00 00 10 00"));
    device::LastTransportReport().has_residual = true;
    device::LastTransportReport().residual = 24;  // 8 of 32 bytes
  });
  ASSERT_TRUE(dev.ReadBufferCapacity(buffer, blank));
  EXPECT_EQ(buffer, 0x400000u);
  EXPECT_EQ(blank, 0u);
}

TEST(Replies, ShortRepliesLeaveZeroNotStaleBytes) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  std::array<uint8_t, 64> buf;
  buf.fill(0xEE);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) { ScriptedDrive::Reply(srb, Hex("00 06 01 01")); });
  ASSERT_TRUE(dev.GetConfiguration(2, 0, 20, buf));
  EXPECT_EQ(Bytes(buf.data(), 6), Hex("00 06 01 01 00 00"));
  EXPECT_EQ(buf[20], 0xEE) << "nothing outside the requested length is touched";
}

TEST(Replies, BufferCapacityAndItsUnreportedBlankLength) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  uint32_t buffer = 0, blank = 0;
  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    ScriptedDrive::Reply(srb, Hex("00 0A 00 00 00 20 00 00 FF FF FF FF"));
  });
  ASSERT_TRUE(dev.ReadBufferCapacity(buffer, blank));
  EXPECT_EQ(buffer, 0x200000u);
  EXPECT_EQ(blank, 0xFFFFFFFFu);
  EXPECT_EQ(dev.DeviceBufferSize, 0x200000u);
  EXPECT_EQ(dev.DeviceFreeBufferSize, 0x200000u) << "unreported blank length: all free";

  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    ScriptedDrive::Reply(srb, Hex("00 0A 00 00 00 20 00 00 00 01 00 00"));
  });
  ASSERT_TRUE(dev.ReadBufferCapacity(buffer, blank));
  EXPECT_EQ(dev.DeviceFreeBufferSize, 0x10000u);

  drive.OnCommand([](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 5, 0x20, 0); });
  buffer = blank = 7;
  EXPECT_FALSE(dev.ReadBufferCapacity(buffer, blank));
  EXPECT_EQ(dev.DeviceFreeBufferSize, 0u);
  EXPECT_EQ(buffer, 7u) << "outputs are written only on success";
  EXPECT_EQ(blank, 7u);
}

TEST(Replies, CapacitiesOnlyOnSuccess) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    if (srb.CDBByte[0] == 0x25) ScriptedDrive::Reply(srb, Hex("00 05 7E 3F 00 00 08 00"));
    if (srb.CDBByte[0] == 0x23)
      ScriptedDrive::Reply(srb, Hex("00 00 00 08 00 22 21 20 02 00 08 00"));
  });
  uint32_t lba = 0, len = 0;
  ASSERT_TRUE(dev.ReadCapacity(lba, len));
  EXPECT_EQ(lba, 0x57E3Fu);
  EXPECT_EQ(len, 2048u);
  uint32_t blocks = 0, block_len = 0;
  ASSERT_TRUE(dev.ReadFormatCapacities(blocks, block_len));
  EXPECT_EQ(blocks, 2236704u);
  EXPECT_EQ(block_len, 2048u);

  drive.OnCommand([](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 2, 0x3A, 0); });
  lba = len = blocks = block_len = 9;
  EXPECT_FALSE(dev.ReadCapacity(lba, len));
  EXPECT_FALSE(dev.ReadFormatCapacities(blocks, block_len));
  EXPECT_EQ(lba + len + blocks + block_len, 36u);
}

TEST(Replies, DiscInfoLengthInHostOrder) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) { ScriptedDrive::Reply(srb, Hex("00 20 0E 01")); });
  ASSERT_TRUE(dev.ReadDiscInfo());
  EXPECT_EQ(dev.DiscInfoLength, 32);
  EXPECT_EQ(dev.DiscInfo[2], 0x0E);
  EXPECT_EQ(dev.DiscInfo[0], 0x00) << "the reply bytes stay as the drive sent them";
}

TEST(Replies, ModeSenseClearsTheCallersBufferAndCopiesOnSuccess) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  std::array<uint8_t, 32> buf;
  buf.fill(0xEE);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 5, 0x24, 0); });
  EXPECT_FALSE(dev.ModeSense10(0x2A, buf, false, 28, 19));
  EXPECT_EQ(Bytes(buf.data(), 20), std::vector<uint8_t>(20, 0));
  EXPECT_EQ(buf[20], 0xEE);

  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    ScriptedDrive::Reply(srb, Hex("00 1A 00 00 00 00 00 00 2A 12 3B 37"));
  });
  ASSERT_TRUE(dev.ModeSense10(0x2A, buf, false, 28, 0));
  EXPECT_EQ(Bytes(buf.data(), 12), Hex("00 1A 00 00 00 00 00 00 2A 12 3B 37"));
  EXPECT_EQ(Bytes(buf.data() + 12, 16), std::vector<uint8_t>(16, 0))
      << "what the drive did not send reads as zero, not as an older reply";
}

TEST(Replies, InquiryFillsInquiryData) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  dev.InquiryData.fill(0xEE);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) { ScriptedDrive::Reply(srb, Hex("05 80 00 32")); });
  ASSERT_TRUE(dev.Inquiry());
  EXPECT_EQ(Bytes(dev.InquiryData.data(), 6), Hex("05 80 00 32 00 00"));
}

TEST(Write10, RefusedRequestIsAFailure) {
  TSCSIDevice dev;  // no transport, no device
  std::array<uint8_t, 2048> block{};
  EXPECT_FALSE(dev.Write10(0, 1, 0x50, block.size(), block));
  EXPECT_TRUE(dev.TransportError);

  ScriptedDrive drive(dev);
  EXPECT_TRUE(dev.Write10(0, 1, 0x50, block.size(), block));
  drive.OnCommand([](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 3, 0x0C, 0); });
  EXPECT_FALSE(dev.Write10(0, 1, 0x50, block.size(), block));
  EXPECT_EQ(Val(drive.sent.back().srb.SRB_BufPointer), block.data()) << "no copy of the data";
}

}  // namespace
