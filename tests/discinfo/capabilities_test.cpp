// The capability set and speeds from page 2Ah and GET CONFIGURATION, the
// speed command, and the write-speed list.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/media_types.h"
#include "device/speed_list.h"
#include "drive_fixture.h"

namespace {

struct Page2A {
  uint8_t read_caps = 0, write_caps = 0, features = 0;
  uint16_t max_read = 0, buffer = 0, current_read = 0, max_write = 0, current_write = 0;
  size_t offset = 8;  // where the page starts in the reply

  std::vector<uint8_t> Reply(uint8_t code = 0x2A) const {
    std::vector<uint8_t> r(offset + 32, 0);
    PutBe16(r, 0, static_cast<uint16_t>(r.size() - 2));
    uint8_t* p = r.data() + offset;
    p[0] = code;
    p[1] = 30;
    p[2] = read_caps;
    p[3] = write_caps;
    p[4] = features;
    PutBe16(r, offset + 8, max_read);
    PutBe16(r, offset + 12, buffer);
    PutBe16(r, offset + 14, current_read);
    PutBe16(r, offset + 18, max_write);
    PutBe16(r, offset + 20, current_write);
    return r;
  }
};

// A GET CONFIGURATION reply holding one feature descriptor.
std::vector<uint8_t> Feature(uint16_t code, uint8_t first_data_byte) {
  std::vector<uint8_t> r(16, 0);
  PutBe32(r, 0, 12);
  PutBe16(r, 8, code);
  r[10] = 0x01;
  r[11] = 4;
  r[12] = first_data_byte;
  return r;
}

struct Caps : DriveFixture {
  Page2A defaults, current;
  std::map<uint16_t, std::vector<uint8_t>> features;  // by starting feature
  bool defaults_fail = false, current_fail = false, page30 = false;

  Caps() {
    on[0x5A] = [this](SRB_ExecSCSICmd& srb) {
      const uint8_t page = srb.CDBByte[2];
      if (page == 0xAA && !defaults_fail) return ScriptedDrive::Reply(srb, defaults.Reply());
      if (page == 0x2A && !current_fail) return ScriptedDrive::Reply(srb, current.Reply());
      if (page == 0x30 && page30) return ScriptedDrive::Reply(srb, Page2A{}.Reply(0x30));
      ScriptedDrive::CheckCondition(srb, 0x05, 0x24, 0x00);
    };
    on[0x46] = [this](SRB_ExecSCSICmd& srb) {
      auto it = features.find(srb.CDBByte[3]);
      ScriptedDrive::Reply(srb, it != features.end() ? it->second : std::vector<uint8_t>(8, 0));
    };
  }
  void Both(const Page2A& p) { defaults = current = p; }
};

TEST(Capabilities, ElementsFromThePageBits) {
  Caps f;
  Page2A p;
  p.read_caps = 0x3B;
  p.write_caps = 0x37;
  p.features = 0x80;
  f.Both(p);
  ASSERT_TRUE(f.dev.ReadCapabilities());
  TCapabilities want;
  for (TCapability c :
       {TCapability::ReadCDR, TCapability::ReadCDRW, TCapability::ReadDVD, TCapability::ReadDVDR,
        TCapability::ReadDVDRW, TCapability::ReadDVDRAM, TCapability::WriteCDR,
        TCapability::WriteCDRW, TCapability::WriteTest, TCapability::WriteDVDR,
        TCapability::WriteDVDRW, TCapability::WriteDVDRAM, TCapability::UnderrunProtection}) {
    want.Add(c);
  }
  EXPECT_EQ(f.dev.Capabilities, want);
  // Both features ask with RT 2 and the feature's code in byte 3.
  const auto cdbs = f.Cdbs(0x46);
  ASSERT_EQ(cdbs.size(), 2u);
  EXPECT_EQ(cdbs[0][1], 2);
  EXPECT_EQ(cdbs[0][3], 0x2A);
  EXPECT_EQ(cdbs[0][8], 114);
  EXPECT_EQ(cdbs[1][3], 0x2F);
}

TEST(Capabilities, FeaturesAndTheVendorPage) {
  struct Case {
    uint16_t feature;
    uint8_t data;
    std::vector<TCapability> added;
  };
  const Case cases[] = {
      {0x002A,
       0x01,
       {TCapability::ReadDVDPR, TCapability::ReadDVDPRW, TCapability::WriteDVDPR,
        TCapability::WriteDVDPRW}},
      {0x002A, 0x00, {TCapability::ReadDVDPR, TCapability::ReadDVDPRW}},
      {0x002F,
       0x01,
       {TCapability::ReadDVDR, TCapability::ReadDVDRW, TCapability::WriteDVDR,
        TCapability::WriteDVDRW}},
      // A standard drive's DVD-R/-RW Write feature: BUF, test write, DVD-RW.
      {0x002F,
       0x46,
       {TCapability::ReadDVDR, TCapability::ReadDVDRW, TCapability::WriteDVDR,
        TCapability::WriteDVDRW}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.feature);
    Caps f;
    f.features[static_cast<uint8_t>(c.feature)] = Feature(c.feature, c.data);
    ASSERT_TRUE(f.dev.ReadCapabilities());
    TCapabilities want;
    for (TCapability e : c.added) want.Add(e);
    EXPECT_EQ(f.dev.Capabilities, want);
  }
  // A feature other than the one asked for adds nothing.
  Caps other;
  other.features[0x2A] = Feature(0x002B, 0x01);
  other.dev.ReadCapabilities();
  EXPECT_TRUE(other.dev.Capabilities.Empty());

  Caps vendor;
  vendor.page30 = true;
  EXPECT_TRUE(vendor.dev.HasVendorPage30());
  vendor.dev.ReadCapabilities();
  EXPECT_TRUE(vendor.dev.Capabilities.Has(TCapability::UnderrunProtection));
  Caps forced;
  forced.dev.ForceUnderrunCapability = true;
  forced.dev.ReadCapabilities();
  EXPECT_TRUE(forced.dev.Capabilities.Has(TCapability::UnderrunProtection));
}

TEST(Capabilities, SpeedsInXUnits) {
  struct Case {
    uint8_t write_caps;
    uint16_t max_write, max_read, current_write;
    uint16_t want_max_write, want_max_read, want_current_x;
  };
  const Case cases[] = {
      {0x01, 7056, 8467, 7056, 40, 48, 40},  // 7,056 kB/s is 40x
      {0x01, 1764, 1764, 706, 10, 10, 4},    // 9.997 rounds to 10
      {0x21, 0, 0, 0, 1, 1, 1},              // a DVD-RAM writer without figures: 1x
      {0x21, 11080, 0, 4155, 63, 1, 24},     // a DVD-RAM writer with figures keeps them
      {0x00, 0, 0, 0, 0, 0, 0},
      {0x01, 65535, 65535, 65535, 371, 371, 371},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.max_write);
    Caps f;
    Page2A p;
    p.write_caps = c.write_caps;
    p.max_write = c.max_write;
    p.max_read = c.max_read;
    p.current_write = c.current_write;
    p.current_read = c.max_read;
    p.buffer = 2048;
    f.Both(p);
    ASSERT_TRUE(f.dev.ReadCapabilities());
    EXPECT_EQ(f.dev.DeviceMaxWriteSpeed, c.want_max_write);
    EXPECT_EQ(f.dev.DeviceMaxReadSpeed, c.want_max_read);
    EXPECT_EQ(f.dev.GetCurrentWriteSpeedX(), c.want_current_x);
    EXPECT_EQ(f.dev.CapabilitiesPage.BufferSize, 2048);
    EXPECT_EQ(f.dev.CapabilitiesPage.Raw[0], 0x2A);
  }
}

TEST(Capabilities, ThePageIsFoundWhereTheDrivePutsIt) {
  for (size_t offset : {size_t{16}, size_t{8}, size_t{7}}) {
    SCOPED_TRACE(offset);
    Caps f;
    Page2A p;
    p.offset = offset;
    p.write_caps = 0x01;
    p.max_write = 7056;
    p.current_write = 3528;
    f.Both(p);
    ASSERT_TRUE(f.dev.ReadCapabilities());
    EXPECT_TRUE(f.dev.Capabilities.Has(TCapability::WriteCDR));
    EXPECT_EQ(f.dev.DeviceMaxWriteSpeed, 40);
    EXPECT_EQ(f.dev.GetCurrentWriteSpeedX(), 20);
  }
}

TEST(Capabilities, FailedPasses) {
  Caps f;
  Page2A p;
  p.write_caps = 0x01;
  p.max_write = 7056;
  p.current_write = 7056;
  f.Both(p);
  // The default values fail: no set, no maxima, nothing asked of the
  // features; the current values still give the speeds.
  f.defaults_fail = true;
  EXPECT_TRUE(f.dev.ReadCapabilities());
  EXPECT_TRUE(f.dev.Capabilities.Empty());
  EXPECT_EQ(f.Count(0x46), 0u);
  EXPECT_EQ(f.dev.DeviceMaxWriteSpeed, 40) << "raised by the current values";
  // The current values fail too: false, and the getters say 0.
  f.current_fail = true;
  EXPECT_FALSE(f.dev.ReadCapabilities());
  EXPECT_EQ(f.dev.DeviceMaxWriteSpeed, 0);
  EXPECT_EQ(f.dev.GetMaxWriteSpeedX(), 0);
  EXPECT_EQ(f.dev.GetMaxReadSpeedX(), 0);
  EXPECT_EQ(f.dev.GetCurrentWriteSpeedX(), 0);
  // Only the current values fail: the set of the first pass stays.
  f.defaults_fail = false;
  EXPECT_FALSE(f.dev.ReadCapabilities());
  EXPECT_TRUE(f.dev.Capabilities.Has(TCapability::WriteCDR));
}

TEST(Speeds, SetWriteSpeedSendsItWithTheReadSpeed) {
  DriveFixture f;
  f.dev.SetWriteSpeed(0);
  f.dev.ReadSpeed = 4;
  f.dev.SetWriteSpeed(16);
  // The drive refusing changes nothing about what was asked for.
  f.Fail(0xBB);
  f.dev.SetWriteSpeed(8);
  const auto cdbs = f.Cdbs(0xBB);
  ASSERT_EQ(cdbs.size(), 3u);
  EXPECT_EQ(std::vector<uint8_t>(cdbs[0].begin() + 2, cdbs[0].begin() + 6),
            (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(std::vector<uint8_t>(cdbs[1].begin() + 2, cdbs[1].begin() + 6),
            (std::vector<uint8_t>{0x02, 0xC4, 0x0B, 0x10}));
  EXPECT_EQ(f.dev.WriteSpeed(), 8);
}

// A CD drive whose maximum is 8x and that takes only 8x, 4x and 2x: it
// answers each speed with the nearest it takes below (2x below that).
struct StepDrive : Caps {
  std::vector<uint16_t> takes_x;
  uint16_t now_x = 0;
  explicit StepDrive(std::vector<uint16_t> takes, uint16_t max_x) : takes_x(std::move(takes)) {
    current.write_caps = 0x01;
    current.max_write = static_cast<uint16_t>(max_x * 176.46 + 0.5);
    defaults = current;
    now_x = takes_x.front();
    on[0xBB] = [this](SRB_ExecSCSICmd& srb) {
      const uint16_t kbps = static_cast<uint16_t>(srb.CDBByte[4] << 8 | srb.CDBByte[5]);
      const uint16_t asked = kbps == 0xFFFF ? takes_x.front() : static_cast<uint16_t>(kbps / 177);
      now_x = takes_x.back();
      for (uint16_t x : takes_x) {
        if (x <= asked) {
          now_x = x;
          break;
        }
      }
      current.current_write = static_cast<uint16_t>(now_x * 176.46 + 0.5);
    };
  }
};

TEST(Speeds, TheListHoldsWhatTheDriveTakesOnce) {
  StepDrive cd({8, 4, 2}, 8);
  EXPECT_EQ(
      device::BuildWriteSpeedList(cd.dev, device::MediaDivisor(mtCDR)),
      (std::vector<std::string>{"Max", "08X (1,200 KB/s)", "04X (600 KB/s)", "02X (300 KB/s)"}));
  EXPECT_EQ(cd.dev.WriteSpeed(), 1) << "left at the last speed tried";
  EXPECT_EQ(cd.Count(0xBB), 8u);

  // DVD speeds are shown in DVD x; the rate stays in CD x × 150.
  StepDrive dvd({48, 22, 11}, 48);
  EXPECT_EQ(device::BuildWriteSpeedList(dvd.dev, device::MediaDivisor(mtDVDR)),
            (std::vector<std::string>{"Max", "06X (7,200 KB/s)", "03X (3,300 KB/s)",
                                      "01X (1,650 KB/s)"}));
  EXPECT_EQ(device::SpeedFromText("03X (3,300 KB/s)", mtDVDR), 21);

  // No maximum: only "Max".
  Caps none;
  EXPECT_EQ(device::BuildWriteSpeedList(none.dev, 1), (std::vector<std::string>{"Max"}));
}

TEST(Speeds, EntriesAndTheSpeedTheyStandFor) {
  EXPECT_EQ(device::SpeedEntry(8, 1), "08X (1,200 KB/s)");
  EXPECT_EQ(device::SpeedEntry(16, 1), "16X (2,400 KB/s)");
  EXPECT_EQ(device::SpeedEntry(52, 1), "52X (7,800 KB/s)");
  EXPECT_EQ(device::SpeedEntry(371, 1), "371X (55,650 KB/s)");
  EXPECT_EQ(device::SpeedEntry(0, 1), "00X (0 KB/s)");
  EXPECT_EQ(device::SpeedEntry(28, 7), "04X (4,200 KB/s)");
  struct Case {
    const char* text;
    uint16_t media;
    uint16_t want;
  };
  const Case cases[] = {
      {"Max", mtCDR, 0},
      {"Max", mtDVDPR, 0},
      {"08X (1,200 KB/s)", mtCDR, 8},
      {"04X (4,650 KB/s)", mtDVDR, 28},
      {"16X ", mtUnknown, 16},
      {"X", mtCDR, 0},
      {"fast", mtCDR, 0},
      {"", mtCDR, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(device::SpeedFromText(c.text, c.media), c.want) << c.text;
  }
  EXPECT_EQ(device::MediaDivisor(mtUnknown), 1);
  EXPECT_EQ(device::MediaDivisor(mtCDRW), 1);
  EXPECT_EQ(device::MediaDivisor(mtDVDROM), 7);
  EXPECT_EQ(device::MediaDivisor(mtDDCDRW), 7);
}

}  // namespace
