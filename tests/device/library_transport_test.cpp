// The library transport: loading a shared object with the ASPI entry
// points, pending requests completed through the eventfd, time-outs, a
// missing entry point, and the choice between the two transports.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <string>

#include "device/aspi_loader.h"
#include "device/outstanding_requests.h"
#include "device/scsi_device.h"
#include "device/sgio_transport.h"
#include "fake_sg_system.h"

namespace {

enum Mode { kSync = 0, kPending = 1, kHold = 2, kCheck = 3, kSyncSignal = 4 };

struct Controls {
  void (*mode)(int, int) = nullptr;
  int (*calls)() = nullptr;
  int (*support_calls)() = nullptr;
  int (*complete_held)() = nullptr;
};

// The controls of an already loaded test library.
Controls ControlsOf(const char* path) {
  Controls c;
  void* h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (h == nullptr) return c;
  c.mode = reinterpret_cast<void (*)(int, int)>(dlsym(h, "TestAspiMode"));
  c.calls = reinterpret_cast<int (*)()>(dlsym(h, "TestAspiCalls"));
  c.support_calls = reinterpret_cast<int (*)()>(dlsym(h, "TestAspiSupportCalls"));
  c.complete_held = reinterpret_cast<int (*)()>(dlsym(h, "TestAspiCompleteHeld"));
  dlclose(h);
  return c;
}

class LibraryTest : public ::testing::Test {
 protected:
  LibraryTest() { setenv("TIDEMARK_ASPI_LIBRARY", TEST_ASPI_LIB, 1); }
  ~LibraryTest() override {
    RemoveASPI();
    unsetenv("TIDEMARK_ASPI_LIBRARY");
  }
  // Loads the test library and selects target 0 on `dev`.
  Controls Load(TSCSIDevice& dev) {
    EXPECT_TRUE(LoadASPI(true));
    EXPECT_EQ(ASPIName, TEST_ASPI_LIB);
    dev.HostAdapter = dev.TargetId = dev.Lun = 0;
    Controls c = ControlsOf(TEST_ASPI_LIB);
    EXPECT_NE(c.mode, nullptr);
    return c;
  }

  FakeSysfs sysfs;  // an empty drive map: no real recorder takes part
  FakeSgSystem sg;
};

TEST_F(LibraryTest, SynchronousCompletion) {
  TSCSIDevice dev;
  Controls c = Load(dev);
  const int support_before = c.support_calls();
  RemoveASPI();
  ASSERT_TRUE(LoadASPI(true));
  EXPECT_EQ(c.support_calls(), support_before + 1) << "support info is asked once when loading";
  EXPECT_EQ(GetASPI32SupportInfo(), 0x0101u);
  std::array<uint8_t, 4096> data{};
  ASSERT_TRUE(dev.Read10(0, 2, data.size(), data));
  EXPECT_EQ(data[4095], 0x5A);
  c.mode(kSyncSignal, 0);
  ASSERT_TRUE(dev.TestUnitReady(5000)) << "a library may also signal before returning";
  // That signal is still counted when the next request waits on the
  // thread's event: the request is done only once its status is final.
  c.mode(kPending, 50);
  data.fill(0);
  ASSERT_TRUE(dev.Read10(0, 2, data.size(), data));
  EXPECT_EQ(data[0], 0x5A);
  EXPECT_EQ(data[4095], 0x5A);
  c.mode(kCheck, 0);
  EXPECT_FALSE(dev.TestUnitReady(5000));
  EXPECT_EQ(dev.LastError, "ILLEGAL REQUEST (INVALID FIELD IN CDB)");
  EXPECT_FALSE(dev.TransportError);
}

TEST_F(LibraryTest, PendingRequestsCompleteThroughTheEvent) {
  TSCSIDevice dev;
  Controls c = Load(dev);
  c.mode(kPending, 30);
  const int calls_before = c.calls();
  std::array<uint8_t, 63488> data{};
  for (int i = 0; i < 3; ++i) {
    data.fill(0);
    ASSERT_TRUE(dev.Read10(static_cast<uint32_t>(i * 31), 31, data.size(), data));
    EXPECT_EQ(data[0], 0x5A);
    EXPECT_EQ(data[63487], 0x5A);
  }
  // Without event notification the status is watched instead.
  ASSERT_TRUE(dev.Write10(0, 31, SRB_DIR_OUT, data.size(), data));
  EXPECT_EQ(c.calls() - calls_before, 4);
}

TEST_F(LibraryTest, TimedOutRequestStaysWithTheLibrary) {
  TSCSIDevice dev;
  Controls c = Load(dev);
  c.mode(kHold, 0);
  SRB_ExecSCSICmd srb{};
  srb.CDBByte[0] = 0x00;
  srb.SRB_CDBLen = 6;
  srb.SRB_Flags = SRB_EVENT_NOTIFY;
  EXPECT_EQ(dev.ExecSCSICommand(srb, 5000), kExecIssued);  // waits the 10 s floor
  EXPECT_EQ(srb.SRB_Status, SS_ERR);
  EXPECT_EQ(srb.SRB_HaStat, HASTAT_TIMEOUT);
  EXPECT_EQ(dev.LastError, "COMMAND TIMEOUT");
  EXPECT_TRUE(dev.TransportError);
  EXPECT_EQ(device::ReapOutstanding(), 1u);

  // The library is not unmapped under its outstanding request.
  EXPECT_TRUE(UnloadASPI());
  EXPECT_FALSE(ASPILoaded);
  ASSERT_TRUE(LoadASPI(true));
  c = ControlsOf(TEST_ASPI_LIB);
  ASSERT_NE(c.complete_held, nullptr);

  // Its late completion writes into its own copy and signals the kept
  // event, never the caller's block.
  EXPECT_EQ(c.complete_held(), SRB_EVENT_NOTIFY);
  EXPECT_EQ(srb.SRB_Status, SS_ERR);
  EXPECT_EQ(srb.SRB_HaStat, HASTAT_TIMEOUT);
  EXPECT_EQ(device::ReapOutstanding(), 0u);

  c.mode(kSync, 0);
  EXPECT_TRUE(dev.TestUnitReady(5000)) << "the next request gets a fresh block";
}

TEST_F(LibraryTest, MissingEntryPointInstallsNothing) {
  setenv("TIDEMARK_ASPI_LIBRARY", TEST_ASPI_MISSING_LIB, 1);
  EXPECT_THROW(LoadASPI(true), EAssertionFailed);
  EXPECT_FALSE(ASPILoaded);
  EXPECT_TRUE(ASPIName.empty());
  TSCSIDevice dev;
  dev.HostAdapter = dev.TargetId = dev.Lun = 0;
  EXPECT_FALSE(dev.TestUnitReady(5000));
  EXPECT_EQ(GetASPI32SupportInfo(), 0xE800u);
  EXPECT_TRUE(ReloadASPI()) << "reloading never throws";
  EXPECT_FALSE(ASPILoaded);
}

TEST_F(LibraryTest, NothingToLoad) {
  setenv("TIDEMARK_ASPI_LIBRARY", "/nonexistent/libwnaspi32.so", 1);
  EXPECT_FALSE(LoadASPI(true));
  EXPECT_FALSE(ASPILoaded);
  EXPECT_TRUE(ASPIName.empty());
}

TEST_F(LibraryTest, BuiltInTransportWinsWhenAskedFirst) {
  sysfs.AddBlock("sr0", 5, "0:0:0:0");
  sg.node(sysfs.dev_root() + "/sr0");
  ASSERT_TRUE(LoadASPI(true));
  EXPECT_EQ(ASPIName, "QXASPI32");
  RemoveASPI();

  ASSERT_TRUE(LoadASPI(false));
  EXPECT_EQ(ASPIName, TEST_ASPI_LIB) << "without UseInternalFirst the library comes first";

  // ReloadASPI keeps the remembered choice.
  EXPECT_TRUE(ReloadASPI());
  EXPECT_EQ(ASPIName, TEST_ASPI_LIB);
  RemoveASPI();
  ASSERT_TRUE(LoadASPI(true));
  EXPECT_TRUE(ReloadASPI());
  EXPECT_EQ(ASPIName, "QXASPI32");
  EXPECT_TRUE(SPTIDriveMap.Initialised) << "the drive map was built again";

  // With no library at all the built-in transport is the fallback.
  RemoveASPI();
  setenv("TIDEMARK_ASPI_LIBRARY", "/nonexistent/lib.so", 1);
  ASSERT_TRUE(LoadASPI(false));
  EXPECT_EQ(ASPIName, "QXASPI32");
}

}  // namespace
