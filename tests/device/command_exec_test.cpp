// ExecSCSICommand: refusals, the block it completes, failure texts,
// TargetBusy, TransportError and the failure log line.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "device/aspi_loader.h"
#include "device/scsi_device.h"
#include "device/transport_report.h"
#include "scripted_drive.h"
#include "test_util.h"

namespace {

struct Log {
  std::vector<std::string> lines;
  std::vector<uint8_t> types;
  void Attach(TSCSIDevice& d) {
    d.OnDebugMessage = [this](TSCSIDevice*, const std::string& m, uint8_t t) {
      lines.push_back(m);
      types.push_back(t);
    };
  }
};

SRB_ExecSCSICmd Block(uint8_t op, uint8_t len, uint8_t flags) {
  SRB_ExecSCSICmd srb{};
  srb.CDBByte[0] = op;
  srb.SRB_CDBLen = len;
  srb.SRB_Flags = flags;
  return srb;
}

TEST(Exec, RefusedWithoutDeviceOrTransport) {
  TSCSIDevice dev;
  Log log;
  log.Attach(dev);
  SRB_ExecSCSICmd srb = Block(0x00, 6, 0x40);
  EXPECT_EQ(dev.ExecSCSICommand(srb, 5000), kExecRefused) << "no transport";

  ScriptedDrive drive(dev);
  dev.HostAdapter = kNoDevice;
  dev.LastError = "old";
  EXPECT_EQ(dev.ExecSCSICommand(srb, 5000), kExecRefused) << "no device selected";
  EXPECT_EQ(srb.SRB_Status, SS_PENDING);
  EXPECT_EQ(srb.SRB_Cmd, 0) << "the block is not touched";
  EXPECT_TRUE(drive.sent.empty());
  EXPECT_TRUE(dev.LastError.empty());
  EXPECT_TRUE(dev.TransportError);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_FALSE(dev.TestUnitReady(5000));
}

TEST(Exec, CompletesTheBlockAndAppliesTheTimeoutFloor) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  dev.HostAdapter = 2;
  dev.TargetId = 3;
  dev.Lun = 1;
  SRB_ExecSCSICmd srb = Block(0x2A, 10, 0x50);
  srb.CDBByte[1] = 0xFF;
  EXPECT_EQ(dev.ExecSCSICommand(srb, 5000), kExecIssued);
  EXPECT_EQ(dev.LastTimeoutMs, 10000) << "a 5 000 ms time-out waits up to 10 000 ms";
  ASSERT_EQ(drive.sent.size(), 1u);
  const SRB_ExecSCSICmd& s = drive.sent[0].srb;
  EXPECT_EQ(s.SRB_Cmd, SC_EXEC_SCSI_CMD);
  EXPECT_EQ(s.SRB_HaId, 2);
  EXPECT_EQ(s.SRB_Target, 3);
  EXPECT_EQ(s.SRB_Lun, 1);
  EXPECT_EQ(s.SRB_SenseLen, 14);
  EXPECT_EQ(s.CDBByte[1], 0x3F) << "LUN in bits 7-5, bits 4-0 kept";
  EXPECT_NE(Val(s.SRB_PostProc), nullptr) << "event notification carries an eventfd";
  EXPECT_EQ(srb.SRB_Status, SS_COMP);

  SRB_ExecSCSICmd quiet = Block(0x00, 6, 0x00);
  dev.ExecSCSICommand(quiet, 60000);
  EXPECT_EQ(dev.LastTimeoutMs, 60000);
  EXPECT_EQ(Val(drive.sent[1].srb.SRB_PostProc), nullptr) << "no event without 40h";
}

TEST(Exec, OpcodeFFIsANoOperation) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  SRB_ExecSCSICmd srb = Block(0xFF, 6, 0x40);
  EXPECT_EQ(dev.ExecSCSICommand(srb, 0), kExecIssued);
  EXPECT_EQ(srb.SRB_Status, SS_COMP);
  EXPECT_TRUE(drive.sent.empty());
}

struct DecodeCase {
  uint8_t status, ha, targ;
  std::vector<uint8_t> sense;  // first bytes of the sense area
  const char* text;
  bool busy;
  bool transport;
};

// Fixed sense: response code, 0, key, info[4], additional length, cmd info[4], ASC, ASCQ.
std::vector<uint8_t> Sense(uint8_t rc, uint8_t key, uint8_t addl, uint8_t asc, uint8_t ascq) {
  return {rc, 0, key, 0, 0, 0, 0, addl, 0, 0, 0, 0, asc, ascq};
}

const DecodeCase kDecode[] = {
    {0x02, 0, 0, {}, "OPERATION ABORTED BY USER", false, true},
    {0x03, 0, 0, {}, "OPERATION ABORTED BY USER", false, true},
    {0x04, 0, 0x02, Sense(0x70, 0x05, 10, 0x24, 0x00), "ILLEGAL REQUEST (INVALID FIELD IN CDB)",
     false, false},
    {0x04, 0, 0x02, Sense(0x70, 0x02, 10, 0x3A, 0x00), "NOT READY (MEDIUM NOT PRESENT)", false,
     false},
    {0x04, 0, 0x02, Sense(0x71, 0x03, 10, 0x0C, 0x00), "MEDIUM ERROR (WRITE ERROR)", false, false},
    {0x04, 0, 0x02, Sense(0x70, 0x05, 0, 0x24, 0x00), "ILLEGAL REQUEST", false, false},
    {0x04, 0, 0x02, Sense(0x70, 0x05, 10, 0x58, 0x00), "ILLEGAL REQUEST (88,0)", false, false},
    {0x04, 0, 0x02, Sense(0x70, 0x20, 10, 0x00, 0x00),
     "ILLEGAL LENGTH (NO ADDITIONAL SENSE INFORMATION)", false, false},
    {0x04, 0, 0x02, Sense(0x70, 0x80, 0, 0, 0), "FILEMARK", false, false},
    {0x04, 0, 0x02, Sense(0x70, 0x40, 0, 0, 0), "END OF MEDIA", false, false},
    {0x04, 0, 0x02, Sense(0x70, 0x09, 0, 0, 0), "CHECK CONDITION", false, false},
    {0x04, 0, 0x02, Sense(0x72, 0x05, 0, 0, 0), "UNKNOWN", false, false},
    {0x04, 0, 0x00, {}, "", false, false},
    {0x04, 0, 0x08, {}, "TARGET BUSY", true, false},
    {0x04, 0, 0x18, {}, "TARGET RESERVATION CONFLICT", false, false},
    {0x04, 0, 0x28, {}, "TARGET QUEUE FULL", false, false},
    {0x04, 0, 0x40, {}, "UNKNOWN", false, false},
    {0x04, 0x09, 0x02, {}, "COMMAND TIMEOUT", false, true},
    {0x04, 0x0B, 0, {}, "SRB TIMEOUT", false, true},
    {0x04, 0x0D, 0, {}, "MESSAGE REJECT", false, true},
    {0x04, 0x0E, 0, {}, "BUS RESET", false, true},
    {0x04, 0x0F, 0, {}, "PARITY ERROR", false, true},
    {0x04, 0x10, 0, {}, "REQUEST SENSE FAILED", false, true},
    {0x04, 0x11, 0x08, {}, "SELECTION TIMEOUT", false, true},
    {0x04, 0x12, 0, {}, "DATA OVERRUN", false, true},
    {0x04, 0x13, 0, {}, "UNEXPECTED BUS FREE", false, true},
    {0x04, 0x14, 0, {}, "UNKNOWN", false, true},
    {0x80, 0, 0, {}, "INVALID REQUEST", false, true},
    {0x81, 0, 0, {}, "INVALID HOST ADAPTER", false, true},
    {0x82, 0, 0, {}, "NO DEVICE", false, true},
    {0xE0, 0, 0, {}, "INVALID SRB", false, true},
    {0xE1, 0, 0, {}, "BUFFER ALIGNMENT", false, true},
    {0xE5, 0, 0, {}, "ASPI IS BUSY", false, true},
    {0xE6, 0, 0, {}, "BUFFER TOO BIG", false, true},
    {0x05, 0, 0, {}, "UNKNOWN", false, true},
    // The additional text is appended whatever the status, when the sense says so.
    {0x82, 0, 0, Sense(0x70, 0x02, 10, 0x3A, 0x01), "NO DEVICE (MEDIUM NOT PRESENT - TRAY CLOSED)",
     false, true},
};

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, GivesTheFailureText) {
  const DecodeCase& c = GetParam();
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  drive.OnCommand([&c](SRB_ExecSCSICmd& srb) {
    srb.SRB_Status = c.status;
    srb.SRB_HaStat = c.ha;
    srb.SRB_TargStat = c.targ;
    std::copy(c.sense.begin(), c.sense.end(), srb.SenseArea);
  });
  SRB_ExecSCSICmd srb = Block(0x28, 10, 0x40);
  dev.ExecSCSICommand(srb, 10000);
  EXPECT_EQ(dev.LastError, c.text);
  EXPECT_EQ(dev.TargetBusy, c.busy);
  EXPECT_EQ(dev.TransportError, c.transport);
  std::vector<uint8_t> expected_sense(kSenseAreaSize, 0);
  std::copy(c.sense.begin(), c.sense.end(), expected_sense.begin());
  EXPECT_EQ(Bytes(dev.LastSense.data(), kSenseAreaSize), expected_sense);

  // The next command starts clean.
  drive.OnCommand(nullptr);
  ASSERT_TRUE(dev.TestUnitReady(5000));
  EXPECT_TRUE(dev.LastError.empty());
  EXPECT_FALSE(dev.TargetBusy);
  EXPECT_FALSE(dev.TransportError);
  EXPECT_EQ(Bytes(dev.LastSense.data(), kSenseAreaSize), std::vector<uint8_t>(kSenseAreaSize, 0));
}

INSTANTIATE_TEST_SUITE_P(StatusAndSense, DecodeTest, ::testing::ValuesIn(kDecode));

TEST(Exec, TransportDetailIsAppended) {
  TSCSIDevice dev;
  ScriptedDrive drive(dev);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    srb.SRB_Status = SS_ERR;
    srb.SRB_HaStat = HASTAT_SEL_TO;
    device::LastTransportReport().detail = "/dev/sr0: NO SUCH DEVICE";
  });
  std::array<uint8_t, 2048> data{};
  EXPECT_FALSE(dev.Write10(0, 1, 0x50, data.size(), data));
  EXPECT_EQ(dev.LastError, "SELECTION TIMEOUT (/dev/sr0: NO SUCH DEVICE)");
  EXPECT_TRUE(dev.TransportError);
  EXPECT_FALSE(dev.TargetBusy);
}

// ---- The failure log line -------------------------------------------------

TEST(FailureLog, LineByteForByte) {
  TSCSIDevice dev;
  Log log;
  log.Attach(dev);
  ScriptedDrive drive(dev);
  dev.HostAdapter = 1;
  dev.TargetId = 0x0B;
  drive.OnCommand(
      [](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 0x03, 0x0C, 0x00); });
  std::array<uint8_t, 4> data{0xDE, 0xAD, 0xBE, 0xEF};
  EXPECT_FALSE(dev.Write10(0x1234, 2, 0x50, data.size(), data));
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.types[0], 0);
  EXPECT_EQ(log.lines[0],
            "<<< WRITE (10)             (2A) {50|0A} - 1:B:0 <04> [0004] "
            "00 00 00 12 34 00 00 02 00 00 00 00 00 00 00  | DE AD BE EF = 00 02 70 03 "
            "ASC:0C,ASQ:00 MEDIUM ERROR (WRITE ERROR)");
}

TEST(FailureLog, UnnamedCodeNoDataAndLongBuffers) {
  TSCSIDevice dev;
  Log log;
  log.Attach(dev);
  ScriptedDrive drive(dev);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) { srb.SRB_Status = SS_NO_DEVICE; });
  SRB_ExecSCSICmd srb = Block(0xD8, 12, 0x40);
  dev.ExecSCSICommand(srb, 10000);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0],
            "<<< D8 (D8) {40|0C} - 0:0:0 <82> [0000] "
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  | = 00 00 00 00 ASC:00,ASQ:00 "
            "NO DEVICE");

  // At most 257 data bytes are dumped.
  std::vector<uint8_t> big(70000, 0x11);
  SRB_ExecSCSICmd read = Block(0x28, 10, 0x48);
  read.SRB_BufPointer = big.data();
  read.SRB_BufLen = static_cast<uint32_t>(big.size());
  dev.ExecSCSICommand(read, 10000);
  ASSERT_EQ(log.lines.size(), 2u);
  const std::string& line = log.lines[1];
  EXPECT_NE(line.find("[11170] "), std::string::npos) << "length in at least 4 hex digits";
  size_t bar = line.find(" | ");
  size_t eq = line.find("= ", bar);
  EXPECT_EQ(eq - (bar + 3), 257u * 3);
}

TEST(FailureLog, ProbingCommandsAndLongWritesAreNotLogged) {
  TSCSIDevice dev;
  Log log;
  log.Attach(dev);
  ScriptedDrive drive(dev);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 5, 0x24, 0); });
  const uint8_t quiet[] = {0x00, 0x01, 0x12, 0x1B, 0x1E, 0x23, 0x35, 0x43,
                           0x46, 0x51, 0x52, 0x55, 0x5A, 0x5C, 0xB6, 0xBB};
  for (uint8_t op : quiet) {
    SRB_ExecSCSICmd srb = Block(op, 10, 0x40);
    dev.ExecSCSICommand(srb, 10000);
  }
  EXPECT_TRUE(log.lines.empty());
  const uint8_t logged[] = {0x03, 0x04, 0x25, 0x28, 0x2A, 0x53, 0x54, 0x5B, 0x5D, 0xA1, 0xBF};
  for (uint8_t op : logged) {
    SRB_ExecSCSICmd srb = Block(op, 10, 0x40);
    dev.ExecSCSICommand(srb, 10000);
  }
  EXPECT_EQ(log.lines.size(), std::size(logged));

  // LOGICAL UNIT NOT READY, LONG WRITE IN PROGRESS is routine while writing.
  drive.OnCommand([](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 2, 0x04, 0x08); });
  std::array<uint8_t, 2048> data{};
  EXPECT_FALSE(dev.Write10(0, 1, 0x50, data.size(), data));
  EXPECT_EQ(dev.LastError, "NOT READY (LOGICAL UNIT NOT READY, LONG WRITE IN PROGRESS)");
  EXPECT_EQ(log.lines.size(), std::size(logged));
}

TEST(FailureLog, ReachesTheDebugWindowToo) {
  struct Window : TDebugWindow {
    std::vector<std::string> lines;
    void AddLine(const std::string& l) override { lines.push_back(l); }
  } window;
  TSCSIDevice dev;
  dev.DebugWindow = &window;
  ScriptedDrive drive(dev);
  drive.OnCommand([](SRB_ExecSCSICmd& srb) {
    srb.SRB_Status = SS_ERR;
    srb.SRB_TargStat = 8;
  });
  std::array<uint8_t, 2048> data{};
  EXPECT_FALSE(dev.Write10(0, 1, 0x50, data.size(), data));
  EXPECT_TRUE(dev.TargetBusy);
  ASSERT_EQ(window.lines.size(), 1u);
  EXPECT_NE(window.lines[0].find(" TARGET BUSY"), std::string::npos);
}

}  // namespace
