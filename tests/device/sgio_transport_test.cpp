// The built-in SG_IO transport: drive map from sysfs, addresses, opening,
// the ASPI blocks it answers, and how SG_IO outcomes come back.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "device/aspi_blocks.h"
#include "device/aspi_loader.h"
#include "device/scsi_device.h"
#include "device/sgio_drive_map.h"
#include "device/sgio_status.h"
#include "device/sgio_transport.h"
#include "fake_sg_system.h"
#include "test_util.h"

namespace {

class SgioTest : public ::testing::Test {
 protected:
  ~SgioTest() override {
    RemoveASPI();
    SPTICloseHandles = false;
  }
  std::string Node(const std::string& name) { return sysfs.dev_root() + "/" + name; }
  // A CD/DVD drive at `address` whose node answers.
  FakeSgSystem::Node& AddDrive(const std::string& name, const std::string& address) {
    sysfs.AddBlock(name, 5, address);
    return sg.node(Node(name));
  }

  FakeSysfs sysfs;
  FakeSgSystem sg;
};

TEST_F(SgioTest, DriveMapFromSysfs) {
  AddDrive("sr10", "2:0:3:0");
  AddDrive("sr0", "1:0:0:0");
  AddDrive("sr2", "0:0:1:0");
  sysfs.AddBlock("sr3", 4, "0:0:2:0");  // not a CD/DVD drive
  sg.node(Node("sr3"));
  sysfs.AddBlock("sda", 0, "3:0:0:0");
  sysfs.AddBlock("sr4", 5, "0:0:4:0");  // node missing: left out
  AddDrive("sr5", "0:0:5:0").inquiry_fails = true;

  EXPECT_EQ(SPTIInit(), 3);
  ASSERT_EQ(SPTIDriveMap.Drives.size(), 3u);
  const auto& d = SPTIDriveMap.Drives;
  EXPECT_EQ(d[0].Name, "sr0");
  EXPECT_EQ(d[1].Name, "sr2");
  EXPECT_EQ(d[2].Name, "sr10") << "node numbers, not names, give the order";
  EXPECT_EQ(d[0].Adapter, 1);
  EXPECT_EQ(d[0].Target, 0);
  EXPECT_EQ(d[1].Adapter, 0);
  EXPECT_EQ(d[1].Target, 1);
  EXPECT_EQ(d[2].Adapter, 2);
  EXPECT_EQ(d[2].Target, 3);
  EXPECT_EQ(d[0].Node, Node("sr0"));
  EXPECT_EQ(std::string(d[0].Inquiry.begin() + 8, d[0].Inquiry.begin() + 16), "TIDEMARK");
  for (const auto& drive : d) {
    EXPECT_TRUE(drive.Present);
    EXPECT_EQ(drive.Handle, -1) << "probing closes the node again";
  }
  EXPECT_EQ(SPTIDriveMap.AdapterCount, 3);
  EXPECT_EQ(sg.open_fds(), 0u);
  EXPECT_EQ(SPTIInit(), 0) << "already built";

  // The probe's INQUIRY: 96 bytes in, 120 s.
  ASSERT_FALSE(sg.sg_calls.empty());
  const auto& probe = sg.sg_calls[0];
  EXPECT_EQ(probe.cdb, Hex("12 00 00 00 60 00"));
  EXPECT_EQ(probe.hdr.dxfer_direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(probe.hdr.dxfer_len, 96u);
  EXPECT_EQ(probe.hdr.timeout, 120000u);
  EXPECT_EQ(probe.hdr.interface_id, 'S');

  SPTIDone();
  EXPECT_FALSE(SPTIDriveMap.Initialised);
  EXPECT_TRUE(SPTIDriveMap.Drives.empty());
  EXPECT_EQ(SPTISupportInfo(), 0xE800u) << "no adapters";
}

TEST_F(SgioTest, DrivesWithoutAddressShareAVirtualAdapter) {
  AddDrive("sr0", "0:0:0:0");
  AddDrive("sr1", "");  // no device link, GET_IDLUN fails
  AddDrive("sr2", "");
  AddDrive("sr3", "").idlun = 0x01000002 | (1 << 8);  // host 1, id 2, lun 1
  ASSERT_EQ(SPTIInit(), 4);
  const auto& d = SPTIDriveMap.Drives;
  EXPECT_EQ(d[3].Adapter, 1);
  EXPECT_EQ(d[3].Target, 2);
  EXPECT_EQ(d[3].Lun, 1);
  // Real adapters 0 and 1; the virtual one comes after them.
  EXPECT_EQ(d[1].Adapter, 2);
  EXPECT_EQ(d[1].Target, 0);
  EXPECT_EQ(d[1].Lun, 0);
  EXPECT_EQ(d[2].Adapter, 2);
  EXPECT_EQ(d[2].Target, 1);
  EXPECT_EQ(SPTIDriveMap.AdapterCount, 3);
  EXPECT_EQ(SPTISupportInfo(), 0x0103u);
}

TEST(ScsiAddress, ParsesTheLastComponent) {
  struct {
    const char* link;
    bool ok;
    uint8_t host, target, lun;
  } cases[] = {
      {"../../../0:0:0:0", true, 0, 0, 0},
      {"../../../10:0:3:1", true, 10, 3, 1},
      {"/sys/devices/pci0000:00/host2/target2:0:0/2:1:4:0/", true, 2, 4, 0},
      {"0:0:0:0", true, 0, 0, 0},
      {"host0", false, 0, 0, 0},
      {"1:2:3", false, 0, 0, 0},
      {"1:2:3:4:5", false, 0, 0, 0},
      {"a:b:c:d", false, 0, 0, 0},
      {"300:0:0:0", false, 0, 0, 0},
      {"1:0:0:", false, 0, 0, 0},
      {"", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    auto a = device::ParseScsiAddress(c.link);
    ASSERT_EQ(a.has_value(), c.ok) << c.link;
    if (c.ok) {
      EXPECT_EQ(a->host, c.host) << c.link;
      EXPECT_EQ(a->target, c.target) << c.link;
      EXPECT_EQ(a->lun, c.lun) << c.link;
    }
  }
}

TEST_F(SgioTest, OpenFallsBackToReadOnly) {
  AddDrive("sr0", "0:0:0:0").open_rdwr_errno = EACCES;
  ASSERT_EQ(SPTIInit(), 1);
  ASSERT_GE(sg.opens.size(), 2u);
  EXPECT_EQ(sg.opens[0].flags & (O_ACCMODE | O_NONBLOCK | O_EXCL), O_RDWR | O_NONBLOCK);
  EXPECT_EQ(sg.opens[1].flags & (O_ACCMODE | O_NONBLOCK | O_EXCL), O_RDONLY | O_NONBLOCK);

  auto& n = sg.node(Node("sr0"));
  n.open_rdonly_errno = EACCES;
  SPTIDone();
  EXPECT_EQ(SPTIInit(), 0) << "a drive that cannot be opened at all is left out";
}

TEST_F(SgioTest, AdapterInquiryAndDeviceType) {
  AddDrive("sr0", "0:0:0:0");
  AddDrive("sr1", "1:0:5:0");
  ASSERT_EQ(SPTIInit(), 2);

  SRB_HAInquiry ha{};
  ha.SRB_Cmd = SC_HA_INQUIRY;
  ha.SRB_HaId = 1;
  EXPECT_EQ(SPTISendCommand(&ha), SS_COMP);
  EXPECT_EQ(ha.HA_Count, 2);
  EXPECT_EQ(ha.HA_SCSI_ID, 7);
  EXPECT_EQ(Bytes(ha.HA_Identifier, 16), Hex("53 50 54 49 20 31 00 00 00 00 00 00 00 00 00 00"));
  EXPECT_EQ(Bytes(ha.HA_Unique, 8), Hex("07 00 00 08 00 00 FF 00"));
  EXPECT_NE(ha.HA_ManagerId[0], 0);

  SRB_HAInquiry beyond{};
  beyond.SRB_HaId = 2;
  EXPECT_EQ(SPTISendCommand(&beyond), SS_INVALID_HA);
  EXPECT_EQ(beyond.HA_Count, 2);

  SRB_GDEVBlock dev{};
  dev.SRB_Cmd = SC_GET_DEV_TYPE;
  dev.SRB_HaId = 1;
  dev.SRB_Target = 5;
  EXPECT_EQ(SPTISendCommand(&dev), SS_COMP);
  EXPECT_EQ(dev.SRB_DeviceType, 5);
  dev.SRB_Target = 4;
  EXPECT_EQ(SPTISendCommand(&dev), SS_NO_DEVICE);
  EXPECT_EQ(dev.SRB_DeviceType, 0x1F);

  SRB_GetDiskInfo disk{};
  disk.SRB_Cmd = SC_GET_DISK_INFO;
  EXPECT_EQ(SPTISendCommand(&disk), SS_PENDING);
  uint8_t unknown[16] = {0x09};
  EXPECT_EQ(SPTISendCommand(unknown), SS_ERR);
  EXPECT_EQ(SPTISendCommand(nullptr), SS_ERR);
}

SRB_ExecSCSICmd Exec(uint8_t ha, uint8_t target, uint8_t op, uint8_t flags, void* buf, uint32_t len,
                     uint8_t cdb_len = 6) {
  SRB_ExecSCSICmd srb{};
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = ha;
  srb.SRB_Target = target;
  srb.SRB_Flags = flags;
  srb.SRB_CDBLen = cdb_len;
  srb.SRB_SenseLen = 14;
  srb.CDBByte[0] = op;
  srb.SRB_BufPointer = buf;
  srb.SRB_BufLen = len;
  return srb;
}

TEST_F(SgioTest, InquiryIsServedFromTheMap) {
  AddDrive("sr0", "0:0:0:0");
  ASSERT_EQ(SPTIInit(), 1);
  const size_t calls = sg.sg_calls.size();
  const size_t opens = sg.opens.size();

  uint8_t big[128];
  std::memset(big, 0xEE, sizeof big);
  SRB_ExecSCSICmd srb = Exec(0, 0, 0x12, 0x48, big, sizeof big);
  srb.CDBByte[4] = 128;
  EXPECT_EQ(SPTISendCommand(&srb), SS_COMP);
  EXPECT_EQ(big[0], 0x05);
  EXPECT_EQ(big[35], ' ');
  EXPECT_EQ(big[36], 0xEE) << "exactly 36 bytes, whatever the allocation length";

  uint8_t small[20];
  std::memset(small, 0xEE, sizeof small);
  SRB_ExecSCSICmd s2 = Exec(0, 0, 0x12, 0x48, small, 16);
  EXPECT_EQ(SPTISendCommand(&s2), SS_COMP);
  EXPECT_EQ(small[15], 'K');
  EXPECT_EQ(small[16], 0xEE) << "never more than the caller's buffer";

  EXPECT_EQ(sg.sg_calls.size(), calls) << "no device I/O";
  EXPECT_EQ(sg.opens.size(), opens);

  SRB_ExecSCSICmd none = Exec(0, 1, 0x12, 0x48, big, 36);
  EXPECT_EQ(SPTISendCommand(&none), SS_NO_DEVICE);
}

TEST_F(SgioTest, PassThroughKeepsTheNodeOpenUnlessAskedToClose) {
  AddDrive("sr0", "0:0:0:0");
  ASSERT_EQ(SPTIInit(), 1);
  const size_t opens = sg.opens.size();

  uint8_t data[8] = {};
  SRB_ExecSCSICmd tur = Exec(0, 0, 0x00, 0x40, nullptr, 0);
  EXPECT_EQ(SPTISendCommand(&tur), SS_COMP);
  SRB_ExecSCSICmd cap = Exec(0, 0, 0x25, 0x48, data, sizeof data, 10);
  EXPECT_EQ(SPTISendCommand(&cap), SS_COMP);
  EXPECT_EQ(sg.opens.size(), opens + 1) << "one open for both commands";
  EXPECT_EQ(sg.open_fds(), 1u);

  const auto& h = sg.sg_calls.back().hdr;
  EXPECT_EQ(h.dxfer_direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(h.dxfer_len, 8u);
  EXPECT_EQ(h.dxferp, data) << "data moves through the caller's buffer";
  EXPECT_EQ(h.cmd_len, 10);
  EXPECT_EQ(h.mx_sb_len, 14);
  EXPECT_EQ(h.timeout, 120000u);
  EXPECT_EQ(sg.sg_calls[sg.sg_calls.size() - 2].hdr.dxfer_direction, SG_DXFER_NONE);

  SPTICloseHandles = true;
  EXPECT_EQ(SPTISendCommand(&tur), SS_COMP);
  EXPECT_EQ(sg.open_fds(), 0u);
  EXPECT_EQ(SPTIDriveMap.Drives[0].Handle, -1);
  EXPECT_EQ(SPTISendCommand(&tur), SS_COMP);
  EXPECT_EQ(sg.opens.size(), opens + 2);
  EXPECT_EQ(sg.open_fds(), 0u);
}

TEST_F(SgioTest, CheckConditionComesBackWithSense) {
  AddDrive("sr0", "0:0:0:0").on_sgio = [](sg_io_hdr_t& h) {
    uint8_t sense[18] = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x01};
    size_t n = std::min<size_t>(sizeof sense, h.mx_sb_len);
    std::memcpy(h.sbp, sense, n);
    h.sb_len_wr = static_cast<unsigned char>(n);
    h.status = 0x02;
    h.masked_status = 0x01;
    h.driver_status = 0x08;
    return 0;
  };
  ASSERT_TRUE(LoadASPI(true));
  EXPECT_EQ(ASPIName, "QXASPI32");
  TSCSIDevice dev;
  dev.HostAdapter = dev.TargetId = dev.Lun = 0;
  EXPECT_FALSE(dev.TestUnitReady(5000));
  EXPECT_EQ(dev.LastError, "NOT READY (MEDIUM NOT PRESENT - TRAY CLOSED)");
  EXPECT_EQ(dev.LastSense[12], 0x3A);
  EXPECT_FALSE(dev.TransportError);
  EXPECT_EQ(sg.sg_calls.back().hdr.mx_sb_len, 14) << "the request block's sense length";
}

struct OutcomeCase {
  const char* name;
  device::SgOutcome outcome;
  uint8_t opcode;
  uint8_t status, ha, targ;
  const char* detail;  // after "NODE: "
};

const OutcomeCase kOutcomes[] = {
    {"Good", {0, 0, 0, 0, 0, 0}, 0x00, SS_COMP, 0, 0, ""},
    {"ShortReplyIsFine", {0, 0, 0, 0, 0, 100}, 0x46, SS_COMP, 0, 0, ""},
    {"CheckCondition", {0, 0, 2, 0, 0x08, 0}, 0x00, SS_ERR, 0, 2, ""},
    {"Busy", {0, 0, 8, 0, 0, 0}, 0x2A, SS_ERR, 0, 8, ""},
    {"Unplugged", {-1, ENODEV, 0, 0, 0, 0}, 0x2A, SS_ERR, 0x11, 0, "NO SUCH DEVICE"},
    {"Gone", {-1, ENXIO, 0, 0, 0, 0}, 0x2A, SS_ERR, 0x11, 0, "NO SUCH DEVICE OR ADDRESS"},
    {"IoError", {-1, EIO, 0, 0, 0, 0}, 0x2A, SS_ERR, 0x13, 0, "INPUT/OUTPUT ERROR"},
    {"NotPermitted",
     {-1, EPERM, 0, 0, 0, 0},
     0x2A,
     SS_INVALID_CMD,
     0,
     0,
     "OPERATION NOT PERMITTED"},
    {"TimedOutIoctl", {-1, ETIMEDOUT, 0, 0, 0, 0}, 0x2A, SS_ERR, 0x09, 0, "CONNECTION TIMED OUT"},
    {"BadHeader", {-1, EINVAL, 0, 0, 0, 0}, 0x2A, SS_INVALID_SRB, 0, 0, "INVALID ARGUMENT"},
    {"NoConnect",
     {0, 0, 0, 0x01, 0, 0},
     0x2A,
     SS_ERR,
     0x11,
     0,
     "NO CONNECTION TO THE DRIVE (HOST STATUS 01h)"},
    {"HostTimeout", {0, 0, 0, 0x03, 0, 0}, 0x2A, SS_ERR, 0x09, 0, "TIMED OUT (HOST STATUS 03h)"},
    {"HostReset", {0, 0, 0, 0x08, 0, 0}, 0x2A, SS_ERR, 0x0E, 0, "RESET (HOST STATUS 08h)"},
    {"HostError",
     {0, 0, 0, 0x07, 0, 0},
     0x2A,
     SS_ERR,
     0x13,
     0,
     "HOST ADAPTER ERROR (HOST STATUS 07h)"},
    {"HostParity", {0, 0, 0, 0x06, 0, 0}, 0x2A, SS_ERR, 0x0F, 0, "PARITY ERROR (HOST STATUS 06h)"},
    {"DriverTimeout", {0, 0, 0, 0, 0x06, 0}, 0x2A, SS_ERR, 0x09, 0, "TIMED OUT"},
    {"DriverError",
     {0, 0, 0, 0, 0x04, 0},
     0x2A,
     SS_ERR,
     0x13,
     0,
     "DRIVER ERROR (DRIVER STATUS 04h)"},
    {"ShortWrite",
     {0, 0, 0, 0, 0, 2048},
     0x2A,
     SS_ERR,
     0x12,
     0,
     "2048 OF 63488 BYTES NOT TRANSFERRED"},
    {"ShortRead",
     {0, 0, 0, 0, 0, 63488},
     0x28,
     SS_ERR,
     0x12,
     0,
     "63488 OF 63488 BYTES NOT TRANSFERRED"},
};

class OutcomeTest : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(OutcomeTest, MapsIntoTheBlock) {
  const OutcomeCase& c = GetParam();
  SRB_ExecSCSICmd srb{};
  srb.CDBByte[0] = c.opcode;
  srb.SRB_BufLen = 63488;
  device::TransportReport report;
  device::ApplySgOutcome(c.outcome, "/dev/sr0", srb, report);
  EXPECT_EQ(srb.SRB_Status, c.status);
  EXPECT_EQ(srb.SRB_HaStat, c.ha);
  EXPECT_EQ(srb.SRB_TargStat, c.targ);
  EXPECT_EQ(report.detail, *c.detail ? std::string("/dev/sr0: ") + c.detail : "");
  if (c.outcome.ioctl_result == 0) {
    EXPECT_TRUE(report.has_residual);
    EXPECT_EQ(report.residual, static_cast<uint32_t>(c.outcome.resid));
  }
}

INSTANTIATE_TEST_SUITE_P(Outcomes, OutcomeTest, ::testing::ValuesIn(kOutcomes),
                         [](const ::testing::TestParamInfo<OutcomeCase>& i) {
                           return std::string(i.param.name);
                         });

TEST_F(SgioTest, UnpluggedDriveStopsInsteadOfLookingBusy) {
  int fail = 0;
  AddDrive("sr0", "0:0:0:0").on_sgio = [&fail](sg_io_hdr_t&) {
    if (fail == 0) return 0;
    errno = fail;
    return -1;
  };
  ASSERT_TRUE(LoadASPI(true));
  TSCSIDevice dev;
  dev.HostAdapter = dev.TargetId = dev.Lun = 0;
  std::array<uint8_t, 2048> block{};
  ASSERT_TRUE(dev.Write10(0, 1, 0x50, block.size(), block));
  fail = ENODEV;
  EXPECT_FALSE(dev.Write10(1, 1, 0x50, block.size(), block));
  EXPECT_EQ(dev.LastError, "SELECTION TIMEOUT (" + Node("sr0") + ": NO SUCH DEVICE)");
  EXPECT_TRUE(dev.TransportError);
  EXPECT_FALSE(dev.TargetBusy);
  EXPECT_EQ(dev.LastSense[12], 0);
  EXPECT_EQ(sg.open_fds(), 0u) << "a failing node is closed and reopened next time";
  fail = 0;
  EXPECT_TRUE(dev.Write10(1, 1, 0x50, block.size(), block));
}

TEST_F(SgioTest, RecordingCommandsOpenTheDriveExclusively) {
  AddDrive("sr0", "0:0:0:0");
  ASSERT_TRUE(LoadASPI(true));
  TSCSIDevice dev;
  dev.HostAdapter = dev.TargetId = dev.Lun = 0;
  ASSERT_TRUE(dev.TestUnitReady(5000));
  EXPECT_EQ(sg.opens.back().flags & O_EXCL, 0);
  std::array<uint8_t, 2048> block{};
  ASSERT_TRUE(dev.Write10(0, 1, 0x50, block.size(), block));
  EXPECT_EQ(sg.opens.back().flags & (O_ACCMODE | O_EXCL), O_RDWR | O_EXCL);
  EXPECT_EQ(sg.open_fds(), 1u) << "the shared descriptor was given up";
  const size_t opens = sg.opens.size();
  ASSERT_TRUE(dev.TestUnitReady(5000));
  ASSERT_TRUE(dev.Write10(1, 1, 0x50, block.size(), block));
  EXPECT_EQ(sg.opens.size(), opens) << "the exclusive descriptor is kept while writing";
}

TEST_F(SgioTest, MountedDiscIsRefusedBeforeAnythingIsWritten) {
  auto& n = AddDrive("sr0", "0:0:0:0");
  ASSERT_TRUE(LoadASPI(true));
  TSCSIDevice dev;
  dev.HostAdapter = dev.TargetId = dev.Lun = 0;
  n.open_excl_errno = EBUSY;
  const size_t calls = sg.sg_calls.size();
  std::array<uint8_t, 2048> block{};
  EXPECT_FALSE(dev.Write10(0, 1, 0x50, block.size(), block));
  EXPECT_EQ(dev.LastError, "INVALID REQUEST (" + Node("sr0") +
                               ": THE DISC IS MOUNTED OR ANOTHER PROGRAM IS USING THE DRIVE)");
  EXPECT_TRUE(dev.TransportError);
  EXPECT_FALSE(dev.Blank(1));
  EXPECT_EQ(sg.sg_calls.size(), calls) << "nothing reached the drive";

  n.open_excl_errno = EACCES;
  EXPECT_FALSE(dev.CloseTrackSession(false, true));
  EXPECT_EQ(dev.LastError, "INVALID REQUEST (" + Node("sr0") +
                               ": NO WRITE ACCESS TO THE DRIVE (PERMISSION DENIED))");
  EXPECT_TRUE(dev.TestUnitReady(5000)) << "reading still works";
}

}  // namespace
