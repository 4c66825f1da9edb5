// Listing, selecting and identifying recorders: entry texts, the drive
// column, adapters, the address read from an entry, quirks and write types.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../device/fake_sg_system.h"
#include "burner/cd_burner.h"
#include "device/aspi_loader.h"
#include "device/device_entry.h"
#include "device/scsi_device.h"
#include "device/sgio_transport.h"
#include "scripted_bus.h"

namespace {

const std::string kIdentity = "TIDEMARKVIRTUAL RECORDER1.0 ";

// Waits are counted, not slept.
class QuietDevice : public TSCSIDevice {
 public:
  int64_t slept = 0;

 protected:
  void Sleep(int32_t ms) override { slept += ms; }
};

struct Discovery : ::testing::Test {
  // An empty sysfs tree, so that no real recorder of the machine running
  // the tests shows up in the drive column.
  FakeSysfs sysfs;
  QuietDevice dev;
  std::unique_ptr<ScriptedBus> bus = std::make_unique<ScriptedBus>();
  std::vector<std::pair<std::string, uint8_t>> log;

  Discovery() {
    dev.OnDebugMessage = [this](TSCSIDevice*, const std::string& m, uint8_t t) {
      log.emplace_back(m, t);
    };
  }
  void Recorder(uint8_t a, uint8_t t, uint8_t l, const std::string& product = "VIRTUAL RECORDER",
                uint8_t type = 0x05) {
    bus->Add(a, t, l, {ScriptedBus::Identity("TIDEMARK", product, "1.0", type), nullptr});
  }
};

TEST_F(Discovery, EntriesInAddressOrderWithTheirTypes) {
  bus->adapter_count = 2;
  Recorder(1, 1, 0);
  Recorder(1, 0, 0);
  Recorder(0, 3, 0, "WORM DRIVE", 0x04);
  Recorder(0, 4, 0, "A DISK", 0x00);  // not a CD/DVD device: left out
  bus->Add(0, 5, 0, {ScriptedBus::Identity("TIDEMARK", "FAILS", "1.0"), [](SRB_ExecSCSICmd& srb) {
                       BusCheckCondition(srb, 0x05, 0x24, 0x00);
                       return true;
                     }});
  dev.AdapterCount = 2;
  dev.ScanDevices();
  EXPECT_EQ(dev.DeviceList,
            (std::vector<std::string>{"0:3:0,?: TIDEMARKWORM DRIVE      1.0  (not supported)",
                                      "1:0:0,?: " + kIdentity, "1:1:0,?: " + kIdentity}));
  EXPECT_EQ(bus->Count(0x12), 2u * 64u) << "8 targets × 8 LUNs on each adapter";
  EXPECT_EQ(dev.HostAdapter, kNoDevice) << "the scan restores the selection";
  EXPECT_TRUE(dev.LastError.empty());
  EXPECT_TRUE(log.empty());

  // A write-once device passes the type test and can be selected.
  dev.SelectDevice(dev.DeviceList[0]);
  EXPECT_EQ(dev.DeviceId, dev.DeviceList[0]);
  EXPECT_EQ(dev.DeviceType, 0x04);
  EXPECT_EQ(dev.TargetId, 3);
}

TEST_F(Discovery, AdapterCounts) {
  Recorder(6, 0, 0);
  Recorder(7, 0, 0);
  // A library that reports no adapters is scanned on adapters 0 to 6.
  bus->adapter_count = 0;
  dev.HostAdapterInquiry(0);
  EXPECT_EQ(dev.AdapterCount, 7);
  bus->inquired_adapters.clear();
  dev.ScanDevices();
  EXPECT_EQ(bus->inquired_adapters, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(dev.DeviceList, (std::vector<std::string>{"6:0:0,?: " + kIdentity}));

  // A failed adapter inquiry: no adapters, nothing listed.
  bus->adapter_inquiry_fails = true;
  dev.HostAdapterInquiry(0);
  EXPECT_EQ(dev.AdapterCount, -1);
  dev.ScanDevices();
  EXPECT_TRUE(dev.DeviceList.empty());
  // A count of 80h or more reads as negative.
  bus->adapter_inquiry_fails = false;
  bus->adapter_count = 0x80;
  dev.HostAdapterInquiry(0);
  EXPECT_LT(dev.AdapterCount, 0);
}

TEST_F(Discovery, TheTraceNamesTheTransportAndEachAdapter) {
  Recorder(0, 0, 0);
  dev.DoDebug = true;
  dev.HostAdapterInquiry(0);
  dev.ScanDevices();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], (std::pair<std::string, uint8_t>{">>> SCRIPTED BUS", 1}));
  EXPECT_EQ(log[1], (std::pair<std::string, uint8_t>{">>> SCRIPTED BUS (BUS)", 1}));
}

TEST_F(Discovery, AComponentMadeWhileATransportRunsListsAtOnce) {
  Recorder(0, 2, 0);
  TzqCDBurner burner;
  EXPECT_EQ(burner.DeviceList, (std::vector<std::string>{"0:2:0,?: " + kIdentity}));
  EXPECT_EQ(burner.HostAdapter, kNoDevice);
}

TEST_F(Discovery, DriveColumn) {
  Recorder(0, 0, 0);
  dev.HostAdapterInquiry(0);
  // A drive number the library knows stands as a letter.
  bus->disk_number = 4;
  dev.ScanDevices();
  EXPECT_EQ(dev.DeviceList, (std::vector<std::string>{"0:0:0,E: " + kIdentity}));
  bus->disk_number = 200;  // no letter
  dev.ScanDevices();
  EXPECT_EQ(dev.DeviceList, (std::vector<std::string>{"0:0:0,?: " + kIdentity}));
  dev.HostAdapter = dev.TargetId = dev.Lun = 0;
  EXPECT_EQ(dev.GetDriveLetter(), "");
}

// The built-in transport: the drive's node name stands in the drive column,
// and a recorder on a high host number (USB) can be selected.
TEST(DiscoveryBuiltIn, NodeNamesAndHighHostNumbers) {
  FakeSysfs sysfs;
  FakeSgSystem sg;
  for (auto [name, address] :
       {std::pair{"sr0", "0:0:0:0"}, std::pair{"sr1", "10:0:0:0"}, std::pair{"sr2", "12:0:3:0"}}) {
    sysfs.AddBlock(name, 5, address);
    sg.node(sysfs.dev_root() + "/" + name);  // answers every command with GOOD
  }
  {
    TSCSIDevice dev;
    ASSERT_TRUE(dev.InitializeASPI(true));
    EXPECT_EQ(ASPIName, "QXASPI32");
    auto id = [](const char* n) { return std::string("TIDEMARKFAKE ") + n + "        1.0 "; };
    ASSERT_EQ(dev.DeviceList,
              (std::vector<std::string>{"0:0:0,sr0: " + id("sr0"), "10:0:0,sr1: " + id("sr1"),
                                        "12:3:0,sr2: " + id("sr2")}));
    dev.SelectDevice(dev.DeviceList[2]);
    EXPECT_EQ(dev.DeviceId, dev.DeviceList[2]);
    EXPECT_EQ(dev.HostAdapter, 12);
    EXPECT_EQ(dev.TargetId, 3);
    EXPECT_EQ(dev.Lun, 0);
    EXPECT_EQ(dev.GetDriveLetter(), "sr2");
    EXPECT_EQ(dev.DeviceDescription, "TIDEMARK FAKE sr2         1.0 ");
    dev.SelectDevice(dev.DeviceList[1]);
    EXPECT_EQ(dev.HostAdapter, 10);
    EXPECT_EQ(dev.GetDriveLetter(), "sr1");
  }
  RemoveASPI();
}

TEST(DeviceEntry, AddressesAreReadUpToTheirSeparators) {
  struct Case {
    const char* entry;
    bool valid;
    uint8_t a, t, l;
  };
  const Case cases[] = {
      {"1:0:0,E: X", true, 1, 0, 0},     {"10:0:0,sr1: X", true, 10, 0, 0},
      {"255:7:7,?: X", true, 255, 7, 7}, {"1:2:3", true, 1, 2, 3},
      {"256:0:0,?: X", false, 0, 0, 0},  {"1:0:", false, 0, 0, 0},
      {"a:0:0,?: X", false, 0, 0, 0},    {"1:0:0;?: X", false, 0, 0, 0},
      {"-1:0:0,?: X", false, 0, 0, 0},   {"1:0:99999999999999,", false, 0, 0, 0},
      {" 1:0:0,?: X", false, 0, 0, 0},   {"", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    auto a = device::ParseDeviceAddress(c.entry);
    ASSERT_EQ(a.has_value(), c.valid);
    if (c.valid) {
      EXPECT_EQ(*a, (device::DeviceAddress{c.a, c.t, c.l}));
    }
  }
  EXPECT_EQ(device::EntryDrive("10:0:0,sr1: X"), "sr1");
  EXPECT_EQ(device::EntryDrive("0:0:0,?: X"), "?");
  EXPECT_EQ(device::EntryDrive("garbage"), "");
}

TEST_F(Discovery, InvalidSelectionsDeselect) {
  Recorder(0, 0, 0);
  Recorder(0, 1, 0, "A DISK", 0x00);
  const std::string good = "0:0:0,?: " + kIdentity;
  struct Case {
    std::string entry;
    bool logged;
  };
  const Case cases[] = {{"", false},
                        {"1:0:", true},
                        {"x:0:0,?: NOT A NUMBER", true},
                        {"0:1:0,?: A DISK", true},         // another device type
                        {"0:7:0,?: NOTHING THERE", true},  // INQUIRY fails
                        {"300:0:0,?: TOO HIGH", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    dev.SelectDevice(good);
    ASSERT_EQ(dev.DeviceId, good);
    log.clear();
    dev.SelectDevice(c.entry);
    EXPECT_EQ(dev.DeviceId, "");
    EXPECT_EQ(dev.DeviceDescription, "");
    EXPECT_EQ(dev.DeviceType, 0x7F);
    EXPECT_EQ(dev.HostAdapter, kNoDevice);
    EXPECT_EQ(dev.TargetId, kNoDevice);
    EXPECT_EQ(dev.Lun, kNoDevice);
    if (c.logged) {
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0],
                (std::pair<std::string, uint8_t>{"INVALID DEVICE ID / NOT A CD OR DVD DRIVE", 0}));
    } else {
      EXPECT_TRUE(log.empty());
    }
  }
  // Deselected, the component refuses to send anything.
  const size_t before = bus->sent.size();
  EXPECT_FALSE(dev.TestUnitReady(5000));
  EXPECT_EQ(bus->sent.size(), before);
}

TEST_F(Discovery, SelectionIdentifiesAndAnnounces) {
  std::vector<uint8_t> identity = ScriptedBus::Identity("TIDEMARK", "VIRTUAL\tRECORDER", "1.0");
  identity[40] = 0x01;  // a control character past the revision
  bus->Add(0, 0, 0, {identity, nullptr});
  int announced = 0;
  dev.OnDeviceChange = [&](TSCSIDevice* sender) {
    EXPECT_EQ(sender, &dev);
    EXPECT_EQ(dev.DeviceType, 0x05) << "announced after identification";
    ++announced;
  };
  dev.SelectDevice("0:0:0,?: whatever the list said");
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(dev.DeviceId, "0:0:0,?: whatever the list said");
  EXPECT_EQ(dev.DeviceDescription, "TIDEMARK VIRTUAL RECORDER 1.0 ");
  EXPECT_EQ(dev.InquiryData[40], ' ');
  // Identification reads the capabilities before INQUIRY.
  std::vector<uint8_t> order;
  for (const BusCommand& c : bus->sent) order.push_back(c.opcode);
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order.front(), 0x5A);
  EXPECT_NE(std::find(order.begin(), order.end(), 0x12), order.end());
  EXPECT_TRUE(log.empty());

  // A handler that throws is caught: deselected with the log line.
  dev.OnDeviceChange = [](TSCSIDevice*) { throw std::runtime_error("handler failed"); };
  dev.SelectDevice("0:0:0,?: again");
  EXPECT_EQ(dev.DeviceId, "");
  ASSERT_EQ(log.size(), 1u);
}

TEST_F(Discovery, ShortAndOddIdentification) {
  // Five bytes of INQUIRY: the rest reads as blanks, in the entry as in the
  // description.
  bus->Add(0, 0, 0, {{0x05, 0x80, 0x02, 0x02, 0x00}, nullptr});
  std::vector<uint8_t> odd = ScriptedBus::Identity("VEND\x1b[2J", "PRODUCT", "0001");
  bus->Add(0, 1, 0, {odd, nullptr});
  dev.HostAdapterInquiry(0);
  dev.ScanDevices();
  ASSERT_EQ(dev.DeviceList.size(), 2u);
  EXPECT_EQ(dev.DeviceList[0], "0:0:0,?: " + std::string(28, ' '));
  EXPECT_EQ(dev.DeviceList[1], "0:1:0,?: VEND [2JPRODUCT         0001")
      << "control characters are shown as blanks";
  dev.SelectDevice(dev.DeviceList[0]);
  EXPECT_EQ(dev.DeviceDescription, std::string(30, ' '));
}

struct QuirkCase {
  const char* vendor;
  const char* product;
  bool force_underrun, link_size_valid, slow_ready, close_immediate, dvr;
};

TEST_F(Discovery, QuirksFollowTheModel) {
  const QuirkCase cases[] = {
      {"TIDEMARK", "VIRTUAL RECORDER", false, false, false, true, false},
      {"ACME", "CD-W512EB", true, false, false, true, false},
      {"ACME", "CRX175E", false, true, false, true, false},
      {"ACME", "CD-RW  CRX800E", false, true, false, true, false},
      {"ACME", "UJDA750", false, false, true, true, false},
      {"TDK", "VELOCD", false, false, true, true, false},
      {"TD", "VELOCD", false, false, false, true, false},
      {"ACME", "CDRW321040X", false, false, false, false, false},
      {"PIONEER", "DVD-RW  DVR-103", false, false, false, true, true},
      {"PIONEER", "DVD-RW  DVR-104", false, false, false, true, true},
      {"PIONEER", "DVD-RW  DVR-105", false, false, false, true, false},
  };
  uint8_t target = 0;
  for (const QuirkCase& c : cases) {
    bus->Add(0, target, 0, {ScriptedBus::Identity(c.vendor, c.product, "1.00"), nullptr});
    ++target;
  }
  // Each selection decides every flag afresh, whatever the drive before had.
  for (int pass = 0; pass < 2; ++pass) {
    target = 0;
    for (const QuirkCase& c : cases) {
      SCOPED_TRACE(c.product);
      dev.SelectDevice("0:" + std::to_string(target++) + ":0,?: ");
      ASSERT_FALSE(dev.DeviceId.empty());
      EXPECT_EQ(dev.ForceUnderrunCapability, c.force_underrun);
      EXPECT_EQ(dev.Capabilities.Has(TCapability::UnderrunProtection), c.force_underrun)
          << "the quirk adds the capability at once";
      EXPECT_EQ(dev.LinkSizeValidQuirk, c.link_size_valid);
      EXPECT_EQ(dev.SlowReadyQuirk, c.slow_ready);
      EXPECT_EQ(dev.CloseImmediate, c.close_immediate);
      EXPECT_EQ(dev.DVRQuirk, c.dvr);
    }
  }
}

// Page 05h fields of a MODE SELECT parameter list (after its 8-byte header).
struct Probe {
  uint8_t write_type, data_block_type;
};

TEST_F(Discovery, WriteTypesTheDriveAccepts) {
  std::vector<uint8_t> page(8 + 0x34, 0);
  page[8] = 0x85;  // savable bit set, as drives return it
  page[9] = 0x32;
  page[10] = 0x41;
  page[11] = 0xC4;
  page[12] = 0x08;
  page[16] = 0x20;  // session format
  page[17] = 0x01;
  std::vector<Probe> probes;
  bus->Add(
      0, 0, 0,
      {ScriptedBus::Identity("TIDEMARK", "VIRTUAL RECORDER", "1.0"), [&](SRB_ExecSCSICmd& srb) {
         if (srb.CDBByte[0] == 0x5A && (srb.CDBByte[2] & 0x3F) == 0x05) {
           BusReply(srb, page);
           return true;
         }
         if (srb.CDBByte[0] == 0x55) {
           const auto* p = static_cast<const uint8_t*>(srb.SRB_BufPointer) + 8;
           probes.push_back({p[2], p[4]});
           // This drive takes no raw writing.
           if ((p[2] & 0x0F) == 0x03) BusCheckCondition(srb, 0x05, 0x26, 0x00);
           return true;
         }
         return false;
       }});
  dev.SelectDevice("0:0:0,?: ");
  EXPECT_FALSE(dev.WriteModes.Has(TWriteMode::RAW));
  EXPECT_TRUE(dev.WriteModes.Has(TWriteMode::SAO));
  EXPECT_TRUE(dev.WriteModes.Has(TWriteMode::TAO));
  ASSERT_EQ(probes.size(), 3u);
  EXPECT_EQ(probes[0].write_type, 0x03);
  EXPECT_EQ(probes[0].data_block_type, 0x01);
  EXPECT_EQ(probes[1].write_type, 0x02);
  EXPECT_EQ(probes[1].data_block_type, 0x00);
  EXPECT_EQ(probes[2].write_type, 0x01);
  // The last list sent (TAO): the page as returned with the fields cleared.
  const BusCommand& last = bus->sent.back();
  ASSERT_EQ(last.opcode, 0x55);
  ASSERT_EQ(last.data_out.size(), 0x32u + 10) << "page length + 10";
  EXPECT_EQ(std::vector<uint8_t>(last.data_out.begin(), last.data_out.begin() + 8),
            std::vector<uint8_t>(8, 0));
  const uint8_t* p = last.data_out.data() + 8;
  EXPECT_EQ(p[0], 0x05) << "the savable bit is not sent back";
  EXPECT_EQ(p[1], 0x32);
  EXPECT_EQ(p[3], 0x00);
  EXPECT_EQ(p[8], 0x00);
  EXPECT_EQ(p[9], 0x00);
  EXPECT_EQ(p[14], 0x00);
  EXPECT_EQ(p[15], 0x96) << "audio pause length 150";
  EXPECT_EQ(last.cdb[7] << 8 | last.cdb[8], 0x32 + 10);
  EXPECT_EQ(dev.WriteParamsPage[2], 0x01);

  // A drive that cannot report page 05h takes none.
  page.clear();
  bus->Add(0, 1, 0,
           {ScriptedBus::Identity("TIDEMARK", "NO PAGE 05", "1.0"), [](SRB_ExecSCSICmd& srb) {
              if (srb.CDBByte[0] != 0x5A) return false;
              BusCheckCondition(srb, 0x05, 0x24, 0x00);
              return true;
            }});
  dev.SelectDevice("0:1:0,?: ");
  EXPECT_FALSE(dev.DeviceId.empty());
  EXPECT_TRUE(dev.WriteModes.Empty());
}

TEST_F(Discovery, ADriveThatFailsEveryOtherCommand) {
  int n = 0;
  bus->Add(0, 0, 0, {ScriptedBus::Identity("TIDEMARK", "FLAKY", "1.0"), [&n](SRB_ExecSCSICmd& srb) {
                       if (++n % 2 == 0) {
                         BusCheckCondition(srb, 0x02, 0x04, 0x01);
                         return true;
                       }
                       return false;
                     }});
  for (int i = 0; i < 4; ++i) {
    dev.HostAdapterInquiry(0);
    dev.ScanDevices();
    EXPECT_LE(dev.DeviceList.size(), 1u);
    dev.SelectDevice("0:0:0,?: ");
    if (!dev.DeviceId.empty()) {
      EXPECT_EQ(dev.HostAdapter, 0);
      dev.GetMediaType();
      TDisc disc;
      dev.GetDiscInfo(disc);
    }
  }
}

}  // namespace
