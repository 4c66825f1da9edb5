// The MMC operations end to end against the virtual recorder, through a real
// transport: the library transport (build/bin/libwnaspi32.so, named by
// TIDEMARK_ASPI_LIBRARY) or, built with VREC_THROUGH_SGIO and run under
// `tidemark vrec run --`, the built-in SG_IO transport on the recorder's
// /dev/sr0. Each program starts with a fresh state folder: one recorder
// with a blank CD-R. When a program runs its tests in one process they share
// that recorder, in the order written (the blank-disc checks come before
// the session is written).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "device/aspi_loader.h"
#include "device/media_types.h"
#include "device/scsi_device.h"
#include "device/sgio_transport.h"

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kAsc = 12;

#ifndef VREC_THROUGH_SGIO
// One state folder for the whole process (a fresh one: a blank CD-R).
class StateFolder : public ::testing::Environment {
 public:
  void SetUp() override {
    char tmpl[] = "/tmp/tidemark-vrec-XXXXXX";
    dir_ = mkdtemp(tmpl);
    setenv("TIDEMARK_VREC_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

 private:
  fs::path dir_;
};
[[maybe_unused]] auto* const g_state_folder = ::testing::AddGlobalTestEnvironment(new StateFolder);
#endif

class Recorder : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef VREC_THROUGH_SGIO
    // The recorder library takes its state folder from the environment once
    // per process, so a recorder prepared from the command line needs a
    // process of its own (ctest runs every test so).
    const std::vector<std::string> commands = VrecCommands();
    if (LibraryUsed() && !commands.empty()) {
      GTEST_SKIP() << "needs a recorder of its own: run this test alone";
    }
    if (!LibraryUsed()) {
      for (const std::string& args : commands) {
        const std::string cmd = std::string(TIDEMARK_BINARY_DIR) + "/bin/tidemark vrec " + args;
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
      }
    }
    LibraryUsed() = true;
    setenv("TIDEMARK_ASPI_LIBRARY", VREC_ASPI_LIBRARY, 1);
    ASSERT_TRUE(LoadASPI(false));
    ASSERT_EQ(ASPIName, VREC_ASPI_LIBRARY);
    dev.HostAdapter = dev.TargetId = dev.Lun = 0;
#else
    ASSERT_TRUE(LoadASPI(true));
    ASSERT_EQ(ASPIName, "QXASPI32");
    ASSERT_EQ(SPTIDriveMap.Drives.size(), 1u);
    const TSPTIDrive& d = SPTIDriveMap.Drives[0];
    EXPECT_EQ(d.Name, "sr0");
    dev.HostAdapter = d.Adapter;
    dev.TargetId = d.Target;
    dev.Lun = d.Lun;
#endif
    dev.OnDebugMessage = [this](TSCSIDevice*, const std::string& m, uint8_t) { log.push_back(m); };
    // A fresh recorder reports its power-on unit attention first.
    for (int i = 0; i < 20 && !dev.TestUnitReady(5000); ++i) {
    }
  }
  void TearDown() override {
    RemoveASPI();
  }

  // `tidemark vrec` subcommands that prepare the state folder first.
  virtual std::vector<std::string> VrecCommands() {
    return {};
  }

  uint16_t Profile() {
    std::array<uint8_t, 114> conf{};
    if (!dev.GetConfiguration(2, 0, conf.size(), conf)) return 0xFFFF;
    return static_cast<uint16_t>(conf[6] << 8 | conf[7]);
  }

  static bool& LibraryUsed() {
    static bool used = false;
    return used;
  }

  TSCSIDevice dev;
  std::vector<std::string> log;
};

TEST_F(Recorder, Identity) {
  ASSERT_TRUE(dev.Inquiry());
  EXPECT_EQ(dev.InquiryData[0], 0x05);
  EXPECT_EQ(std::string(dev.InquiryData.begin() + 8, dev.InquiryData.begin() + 36),
            "TIDEMARKVIRTUAL RECORDER1.0 ");
  EXPECT_TRUE(dev.TestUnitReady(5000));
}

TEST_F(Recorder, BlankCdrReplies) {
  EXPECT_EQ(Profile(), 0x0009);
  ASSERT_TRUE(dev.ReadDiscInfo());
  EXPECT_GE(dev.DiscInfoLength, 32);
  EXPECT_EQ(dev.DiscInfo[2] & 0x03, 0) << "blank disc";
  EXPECT_EQ(dev.DiscInfo[2] & 0x10, 0) << "not erasable";
  ASSERT_TRUE(dev.ReadTrackInformation(255));
  EXPECT_EQ(dev.TrackInfo.NextWritable, 0u);
  EXPECT_GT(dev.TrackInfo.FreeBlocks, 300000u);
  std::array<uint8_t, 255> page{};
  ASSERT_TRUE(dev.ModeSense10(0x2A, page, false, 128, 254));
  EXPECT_TRUE(page[8] == 0x2A || page[16] == 0x2A || page[7] == 0x2A);
  ASSERT_TRUE(dev.ModeSense10(0x2A, page, true, 128, 254));
  std::array<uint8_t, 26> atip{};
  EXPECT_TRUE(dev.ReadTOC(4, atip, 0, true, 0, atip.size()));
  EXPECT_TRUE(dev.SetCDSpeed(0, 0));
  // A blank disc has no table of contents; the probe fails without a log line.
  std::array<uint8_t, 114> toc{};
  EXPECT_FALSE(dev.ReadTOC(0, toc, 0, false, 0, toc.size()));
  EXPECT_EQ(dev.LastError.rfind("ILLEGAL REQUEST", 0), 0u) << dev.LastError;
  EXPECT_TRUE(log.empty());
  uint32_t buffer = 0, blank = 0;
  EXPECT_TRUE(dev.ReadBufferCapacity(buffer, blank));
  EXPECT_GT(dev.DeviceBufferSize, 0u);
}

TEST_F(Recorder, WriteCloseAndReadBackACdrSession) {
  dev.Capabilities.Add(TCapability::UnderrunProtection);
  dev.FinalizeDisc = false;
  ASSERT_TRUE(dev.SetWriteParameters(false, true, mtCDR)) << dev.LastError;
  std::array<uint8_t, 512> page{};
  ASSERT_TRUE(dev.ModeSense10(0x05, page, false, page.size(), page.size() - 1));
  size_t off = page[16] == 0x05 ? 16 : 8;
  EXPECT_EQ(page[off + 2] & 0x0F, 0x01) << "track at once";
  EXPECT_EQ(page[off + 3] & 0xC0, 0xC0) << "multi-session open";

  ASSERT_TRUE(dev.ReadTrackInformation(255));
  const uint32_t start = dev.TrackInfo.NextWritable;
  std::vector<uint8_t> block(31 * 2048);
  for (int i = 0; i < 10; ++i) {
    for (size_t j = 0; j < block.size(); ++j) block[j] = static_cast<uint8_t>(i * 31 + j / 2048);
    ASSERT_TRUE(dev.Write10(start + i * 31, 31, 0x50, block.size(), block)) << dev.LastError;
  }
  ASSERT_TRUE(dev.SynchronizeCache(120000, false)) << dev.LastError;
  ASSERT_TRUE(dev.CloseTrackSession(false, true)) << dev.LastError;
  EXPECT_TRUE(dev.WaitReady(240000, 500));
  ASSERT_TRUE(dev.ReadDiscInfo());
  EXPECT_EQ(dev.DiscInfo[2] & 0x03, 1) << "appendable after a session left open";

  std::array<uint8_t, 4> sessions{};
  ASSERT_TRUE(dev.ReadTOC(1, sessions, 0, false, 0, sessions.size()));
  EXPECT_EQ(sessions[3], 1) << "one complete session";
  std::vector<uint8_t> back(2048);
  ASSERT_TRUE(dev.Read10(start + 9 * 31 + 30, 1, back.size(), back)) << dev.LastError;
  EXPECT_EQ(back[0], static_cast<uint8_t>(9 * 31 + 30));
  EXPECT_EQ(back[2047], static_cast<uint8_t>(9 * 31 + 30));
  EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(Recorder, FailuresCarryTheirTexts) {
  std::vector<uint8_t> block(2048);
  // A blank CD-R takes data only at its next writable address.
  ASSERT_TRUE(dev.SetWriteParameters(false, false, mtCDR));
  EXPECT_FALSE(dev.Write10(5000, 1, 0x50, block.size(), block));
  EXPECT_EQ(dev.LastError.rfind("ILLEGAL REQUEST (", 0), 0u) << dev.LastError;
  EXPECT_FALSE(dev.TransportError);
  ASSERT_EQ(log.size(), 1u) << "a failed WRITE (10) is logged";
  EXPECT_EQ(log[0].rfind("<<< WRITE (10)             (2A) {50|0A} - ", 0), 0u) << log[0];

  // Probing commands fail quietly.
  std::array<uint8_t, 255> page{};
  EXPECT_FALSE(dev.ModeSense10(0x3E, page, false, 128, 127));
  EXPECT_EQ(log.size(), 1u) << log.back();

  std::array<uint8_t, 18> sense{};
  EXPECT_TRUE(dev.RequestSense(sense, sense.size()));
}

TEST_F(Recorder, TrayOpenAndClosed) {
  ASSERT_TRUE(dev.PreventAllowRemoval(true));
  ASSERT_TRUE(dev.StartStopUnit(true)) << dev.LastError;
  EXPECT_FALSE(dev.TestUnitReady(5000));
  EXPECT_EQ(dev.LastSense[kAsc], 0x3A) << dev.LastError;
  EXPECT_EQ(dev.LastError.rfind("NOT READY (MEDIUM NOT PRESENT", 0), 0u) << dev.LastError;
  ASSERT_TRUE(dev.StartStopUnit(false)) << dev.LastError;
  dev.WaitReady(30000, 500);
  bool ready = false;
  for (int i = 0; i < 20 && !ready; ++i) ready = dev.TestUnitReady(5000);
  EXPECT_TRUE(ready) << dev.LastError;
  EXPECT_EQ(Profile(), 0x0009);
}

#ifndef VREC_THROUGH_SGIO
// Recorders prepared through the command line (the library reads the state
// folder when it is first used, so these run before it is loaded).

class BusyRecorder : public Recorder {
  std::vector<std::string> VrecCommands() override { return {"fault add '2A#2*1=busy'"}; }
};

TEST_F(BusyRecorder, BusyIsReportedAndClearsOnRetry) {
  ASSERT_TRUE(dev.SetWriteParameters(false, false, mtCDR));
  std::vector<uint8_t> block(31 * 2048, 0x11);
  ASSERT_TRUE(dev.Write10(0, 31, 0x50, block.size(), block));
  EXPECT_FALSE(dev.Write10(31, 31, 0x50, block.size(), block));
  EXPECT_TRUE(dev.TargetBusy);
  EXPECT_FALSE(dev.TransportError);
  EXPECT_EQ(dev.LastError, "TARGET BUSY");
  EXPECT_TRUE(dev.Write10(31, 31, 0x50, block.size(), block)) << dev.LastError;
  EXPECT_FALSE(dev.TargetBusy);
}

class FailingRecorder : public Recorder {
  std::vector<std::string> VrecCommands() override {
    return {"fault add '2A@300=03/0C/00'", "fault add '5C=timeout'"};
  }
};

TEST_F(FailingRecorder, WriteErrorAndAHungCommand) {
  ASSERT_TRUE(dev.SetWriteParameters(false, false, mtCDR));
  std::vector<uint8_t> block(31 * 2048, 0x22);
  uint32_t lba = 0;
  while (lba + 31 <= 300) {
    ASSERT_TRUE(dev.Write10(lba, 31, 0x50, block.size(), block)) << dev.LastError;
    lba += 31;
  }
  EXPECT_FALSE(dev.Write10(lba, 31, 0x50, block.size(), block));
  EXPECT_EQ(dev.LastError, "MEDIUM ERROR (WRITE ERROR)");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("ASC:0C,ASQ:00 MEDIUM ERROR (WRITE ERROR)"), std::string::npos) << log[0];

  // A request the recorder never completes ends with the wait (10 s).
  uint32_t buffer = 0, blank = 0;
  EXPECT_FALSE(dev.ReadBufferCapacity(buffer, blank));
  EXPECT_EQ(dev.LastError, "COMMAND TIMEOUT");
  EXPECT_TRUE(dev.TransportError);
  EXPECT_EQ(dev.DeviceFreeBufferSize, 0u);
  EXPECT_TRUE(dev.TestUnitReady(5000)) << "the recorder still answers other commands";
}

class DvdRamRecorder : public Recorder {
  std::vector<std::string> VrecCommands() override { return {"insert DVD-RAM"}; }
};

TEST_F(DvdRamRecorder, RandomAccessWritesAndFormatCapacity) {
  bool ready = false;
  for (int i = 0; i < 20 && !ready; ++i) ready = dev.TestUnitReady(5000);
  ASSERT_TRUE(ready) << dev.LastError;
  EXPECT_EQ(Profile(), 0x0012);
  EXPECT_TRUE(dev.SetWriteParameters(false, true, mtDVDRAM));
  uint32_t blocks = 0, length = 0;
  ASSERT_TRUE(dev.ReadFormatCapacities(blocks, length));
  EXPECT_EQ(blocks, 2236704u);
  EXPECT_EQ(length, 2048u);
  std::vector<uint8_t> block(16 * 2048);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i % 251);
  ASSERT_TRUE(dev.Write10(100000, 16, 0x50, block.size(), block)) << dev.LastError;
  ASSERT_TRUE(dev.Write10(50, 16, 0x50, block.size(), block)) << dev.LastError;
  std::vector<uint8_t> back(block.size());
  ASSERT_TRUE(dev.Read10(100000, 16, back.size(), back)) << dev.LastError;
  EXPECT_EQ(back, block);
}
#endif

#ifdef VREC_THROUGH_SGIO
TEST_F(Recorder, InquiryComesFromTheDriveMap) {
  const TSPTIDrive& d = SPTIDriveMap.Drives[0];
  EXPECT_EQ(std::string(d.Inquiry.begin() + 8, d.Inquiry.begin() + 16), "TIDEMARK");
  const char* address = std::getenv("TIDEMARK_VREC_ADDRESS");
  EXPECT_EQ(d.Adapter, address != nullptr ? std::atoi(address) : 0);
}
#endif

}  // namespace
