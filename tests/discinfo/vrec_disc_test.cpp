// Recorders and discs end to end against the virtual recorder, through a
// real transport: the library transport (build/bin/libwnaspi32.so) or,
// built with VREC_THROUGH_SGIO and run under `tidemark vrec run --`, the
// built-in SG_IO transport on the recorder's /dev/sr0. Every test starts
// from a reset recorder prepared with `tidemark vrec` commands; sessions
// are written as a burn writes them, laid out by Prepare.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "device/aspi_loader.h"
#include "device/media_types.h"
#include "device/session_list.h"
#include "device/speed_list.h"
#include "support/temp_tree.h"

namespace fs = std::filesystem;

namespace {

std::string Tidemark() {
  return std::string(TIDEMARK_BINARY_DIR) + "/bin/tidemark";
}

int Cli(const std::string& args) {
  const std::string cmd = Tidemark() + " " + args + " >/dev/null";
  return std::system(cmd.c_str());
}

#ifndef VREC_THROUGH_SGIO
// One state folder for the whole process (the library reads its name once).
class StateFolder : public ::testing::Environment {
 public:
  void SetUp() override {
    char tmpl[] = "/tmp/tidemark-vrec-XXXXXX";
    dir_ = mkdtemp(tmpl);
    setenv("TIDEMARK_VREC_DIR", (dir_ / "state").c_str(), 1);
    setenv("TIDEMARK_ASPI_LIBRARY", VREC_ASPI_LIBRARY, 1);
    // No recorder of the machine running the tests shows in the drive column.
    fs::create_directories(dir_ / "sys");
    setenv("TIDEMARK_SYSFS_ROOT", (dir_ / "sys").c_str(), 1);
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

// Waits are counted instead of slept where a test says so.
class Burner : public TzqCDBurner {
 public:
  bool quiet = false;
  int64_t slept = 0;

 protected:
  void Sleep(int32_t ms) override {
    slept += ms;
    if (!quiet) TzqCDBurner::Sleep(ms);
  }
};

class VrecDisc : public ::testing::Test {
 protected:
  // A reset recorder, then these `tidemark vrec` subcommands.
  void Reset(const std::vector<std::string>& commands) {
    ASSERT_EQ(Cli("vrec reset"), 0);
    ASSERT_EQ(Cli("vrec speed fast"), 0);
    for (const std::string& c : commands) ASSERT_EQ(Cli("vrec " + c), 0) << c;
  }
  // Starts the transport and selects the recorder.
  void Open() {
#ifdef VREC_THROUGH_SGIO
    ASSERT_TRUE(b.InitializeASPI(true));
    ASSERT_EQ(ASPIName, "QXASPI32");
#else
    ASSERT_TRUE(b.InitializeASPI(false));
    ASSERT_EQ(ASPIName, VREC_ASPI_LIBRARY);
#endif
    ASSERT_EQ(b.DeviceList.size(), 1u);
    b.SelectDevice(b.DeviceList[0]);
    ASSERT_FALSE(b.DeviceId.empty());
    b.OnDebugMessage = [this](TSCSIDevice*, const std::string& m, uint8_t t) {
      if (t == 0) errors.push_back(m);
    };
    // A reset recorder reports its power-on attention first.
    for (int i = 0; i < 20 && !b.TestUnitReady(5000); ++i) {
    }
  }
  void TearDown() override {
    RemoveASPI();
  }

  // Writes one session holding `name` (with `bytes` bytes) as a burn does:
  // layout from where the disc continues, then header, data and post-gap,
  // then the session closed (and the disc with it when finalize).
  int32_t WriteSession(const std::string& name, size_t bytes, bool finalize) {
    const std::string path = tree.File(name, std::string(bytes, 'x'));
    b.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    EXPECT_EQ(b.InsertFile("\\", path, false), 1);
    b.FinalizeDisc = finalize;
    EXPECT_TRUE(b.Prepare(false));
    EXPECT_TRUE(b.SetWriteParameters(false, true, b.CurrentMediaType)) << b.LastError;
    std::vector<uint8_t> data(b.HeaderStream.Bytes().begin(), b.HeaderStream.Bytes().end());
    data.resize(data.size() + (bytes + 2047) / 2048 * 2048, 0);
    std::fill_n(data.end() - static_cast<std::ptrdiff_t>((bytes + 2047) / 2048 * 2048), bytes, 'x');
    data.resize(static_cast<size_t>(b.ImageSectors()) * 2048, 0);
    const uint32_t sectors = static_cast<uint32_t>(data.size() / 2048);
    for (uint32_t s = 0; s < sectors; s += 16) {
      const uint16_t n = static_cast<uint16_t>(std::min<uint32_t>(16, sectors - s));
      std::span<const uint8_t> part(data.data() + size_t{s} * 2048, size_t{n} * 2048);
      EXPECT_TRUE(b.Write10(static_cast<uint32_t>(b.SessionStart) + s, n, 0x50, part.size(), part))
          << b.LastError;
    }
    EXPECT_TRUE(b.SynchronizeCache(120000, false)) << b.LastError;
    EXPECT_TRUE(b.CloseTrackSession(false, true)) << b.LastError;
    EXPECT_TRUE(b.WaitReady(240000, 500));
    return b.SessionStart;
  }

  Burner b;
  TempTree tree;
  std::vector<std::string> errors;
};

TEST_F(VrecDisc, TheRecorderListedAndSelected) {
  Reset({});
  Open();
  const char* address = std::getenv("TIDEMARK_VREC_ADDRESS");
#ifdef VREC_THROUGH_SGIO
  const std::string host = address != nullptr ? std::to_string(std::atoi(address)) : "0";
  EXPECT_EQ(b.DeviceId, host + ":0:0,sr0: TIDEMARKVIRTUAL RECORDER1.0 ");
  EXPECT_EQ(b.GetDriveLetter(), "sr0");
#else
  (void)address;
  EXPECT_EQ(b.DeviceId, "0:0:0,?: TIDEMARKVIRTUAL RECORDER1.0 ");
  EXPECT_EQ(b.GetDriveLetter(), "");
#endif
  EXPECT_EQ(b.DeviceType, 0x05);
  EXPECT_EQ(b.DeviceDescription, "TIDEMARK VIRTUAL RECORDER 1.0 ");
  EXPECT_TRUE(b.Capabilities.Has(TCapability::WriteCDR));
  EXPECT_TRUE(b.Capabilities.Has(TCapability::WriteDVDRAM));
  EXPECT_TRUE(b.Capabilities.Has(TCapability::WriteDVDPR));
  EXPECT_TRUE(b.Capabilities.Has(TCapability::UnderrunProtection));
  EXPECT_TRUE(b.WriteModes.Has(TWriteMode::TAO));
  EXPECT_TRUE(b.WriteModes.Has(TWriteMode::SAO));
  EXPECT_EQ(b.DeviceMaxWriteSpeed, 48);
  EXPECT_EQ(b.DeviceMaxReadSpeed, 48);
  // The recorder also writes DVD-RAM; its CD speeds still make the list.
  EXPECT_EQ(device::BuildWriteSpeedList(b, device::MediaDivisor(b.GetMediaType())),
            (std::vector<std::string>{"Max", "48X (7,200 KB/s)", "40X (6,000 KB/s)",
                                      "32X (4,800 KB/s)", "24X (3,600 KB/s)", "16X (2,400 KB/s)",
                                      "08X (1,200 KB/s)", "04X (600 KB/s)"}));
  EXPECT_EQ(b.WriteSpeed(), 1);
  EXPECT_TRUE(errors.empty()) << errors.front();
}

struct BlankCase {
  const char* medium;
  uint8_t type;
  const char* name;
  bool erasable;
  uint32_t capacity;
  uint32_t free;
};

TEST_F(VrecDisc, EveryBlankMedium) {
  const BlankCase cases[] = {
      {"CD-R", mtCDR, "CD-R", false, 359999, 359849},
      {"CD-RW", mtCDRW, "CD-RW", true, 359999, 359849},
      {"DVD-R", mtDVDR, "DVD-R", false, 2298496, 2298496},
      {"DVD-RW", mtDVDRW, "DVD-RW Sequential Recording", true, 2298496, 2298496},
      {"DVD+R", mtDVDPR, "DVD+R", false, 2295104, 2295104},
      {"DVD+RW", mtDVDPRW, "DVD+RW", true, 2295104, 2295104},
      {"DVD-RAM", mtDVDRAM, "DVD-RAM", true, 2236704, 2236704},
  };
  for (const BlankCase& c : cases) {
    SCOPED_TRACE(c.medium);
    Reset({std::string("insert ") + c.medium});
    Open();
    // DVD-RAM comes formatted: one complete session over the whole disc.
    const bool ram = c.type == mtDVDRAM;
    EXPECT_EQ(b.GetMediaType(), c.type);
    EXPECT_EQ(b.IsErasable(), c.erasable);
    EXPECT_EQ(b.GetLastSession(), ram ? 1 : 0);
    EXPECT_EQ(b.GetUsedSpace(), ram ? c.capacity - 1 : 0u);
    EXPECT_EQ(b.GetDiscCapacity(), c.capacity);
    EXPECT_EQ(b.GetFreeSpace(), c.free);
    TDisc d;
    b.GetDiscInfo(d);
    EXPECT_TRUE(d.Ready);
    EXPECT_EQ(d.MediaName, c.name);
    EXPECT_EQ(d.Erasable, c.erasable);
    EXPECT_EQ(d.FirstSession, ram ? 1 : 0);
    EXPECT_EQ(d.NextWritable, 0u);
    EXPECT_EQ(d.BlockSize, 2048u);
    EXPECT_EQ(d.DiscStatus, ram ? 3 : 0) << "blank, or DVD-RAM's other";
    EXPECT_EQ(d.Capacity, c.free);
    const device::SessionList list = device::ReadSessionList(b);
    if (ram) {
      // Its one session holds no file system yet.
      ASSERT_EQ(list.Lines.size(), 2u);
      EXPECT_EQ(list.Lines[0], "  001      000:02:00  ???? MB");
    } else {
      ASSERT_EQ(list.Lines.size(), 1u);
      EXPECT_EQ(list.Lines[0].rfind(" Free      00:00:00  ", 0), 0u) << list.Lines[0];
      EXPECT_EQ(list.UsedSpace, "0.00 MB");
    }
    EXPECT_EQ(list.Medium, MediaNames[c.type]);
    EXPECT_EQ(list.DiscSize, device::MegabytesText(c.capacity));
    b.ClearAll(10, 10);
    EXPECT_TRUE(b.Prepare(false));
    EXPECT_EQ(b.SessionStart, 0);
    EXPECT_TRUE(errors.empty()) << errors.front();
    RemoveASPI();
  }
}

// A CD-R with one session continues after it: the second session's layout
// starts at the next writable address, and both sessions are listed.
TEST_F(VrecDisc, AnAppendableCdrWithTwoSessions) {
  Reset({});
  Open();
  EXPECT_EQ(WriteSession("first.txt", 3000, false), 0);
  EXPECT_EQ(b.GetLastSession(), 1);
  ASSERT_TRUE(b.ReadTrackInformation(255));
  const uint32_t next = b.TrackInfo.NextWritable;
  EXPECT_GT(next, 11400u) << "after the first session's lead-out and the next lead-in";
  const int32_t second = WriteSession("second.txt", 5000, false);
  EXPECT_EQ(second, static_cast<int32_t>(next));
  std::vector<uint8_t> pvd(2048);
  ASSERT_TRUE(b.Read10(static_cast<uint32_t>(second) + 16, 1, pvd.size(), pvd));
  EXPECT_EQ(std::string(pvd.begin() + 1, pvd.begin() + 6), "CD001");

  EXPECT_EQ(b.GetLastSession(), 2);
  EXPECT_EQ(b.GetMediaType(), mtCDR);
  TDisc d;
  b.GetDiscInfo(d);
  EXPECT_EQ(d.FirstSession, 1);
  EXPECT_EQ(d.LastSession, 2);
  EXPECT_EQ(d.DiscStatus, 1) << "appendable";
  EXPECT_EQ(d.LastSessionState, 0) << "the next session is empty";
  ASSERT_TRUE(b.ReadTrackInformation(255));
  const uint32_t third = b.TrackInfo.NextWritable;
  EXPECT_EQ(d.NextWritable, third);
  EXPECT_EQ(b.GetUsedSpace(), third);
  EXPECT_EQ(b.GetDiscCapacity(), 359999u);
  const uint32_t free = b.GetFreeSpace();
  EXPECT_EQ(free, 359849u - third);

  const device::SessionList list = device::ReadSessionList(b);
  ASSERT_EQ(list.Lines.size(), 3u);
  uint8_t m = 0, s = 0, f = 0;
  LBAToMSF(second + 150, m, s, f);
  char msf[16];
  std::snprintf(msf, sizeof msf, "%03u:%02u:%02u", m, s, f);
  EXPECT_EQ(list.Lines[0], "  001      000:02:00     1 MB");
  EXPECT_EQ(list.Lines[1], std::string("  002      ") + msf + "     1 MB");
  EXPECT_EQ(list.Lines[2].rfind(" Free      ", 0), 0u);
  char size[16];
  std::snprintf(size, sizeof size, "  %4u MB", static_cast<unsigned>((free + 256) / 512));
  EXPECT_EQ(list.Lines[2].substr(list.Lines[2].size() - 9), size) << list.Lines[2];
  EXPECT_EQ(list.FreeBlocks, free);
  EXPECT_EQ(list.UsedBlocks, third);
  EXPECT_TRUE(errors.empty()) << errors.front();
}

// A DVD+R left open after its first session: the free space is what the
// invisible track still holds, not the finished first track.
TEST_F(VrecDisc, AnAppendableDvdPlusRKeepsItsFreeSpace) {
  Reset({"insert DVD+R"});
  Open();
  EXPECT_EQ(WriteSession("first.txt", 3000, false), 0);
  ASSERT_TRUE(b.ReadTrackInformation(255));
  const uint32_t next = b.TrackInfo.NextWritable;
  const uint32_t left = b.TrackInfo.FreeBlocks;
  EXPECT_GT(next, 0u);
  EXPECT_EQ(next + left, 2295104u);
  EXPECT_EQ(b.GetFreeSpace(), left);
  const device::SessionList list = device::ReadSessionList(b);
  ASSERT_EQ(list.Lines.size(), 2u);
  EXPECT_EQ(list.FreeBlocks, left);
  EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(VrecDisc, AClosedCdr) {
  Reset({});
  Open();
  WriteSession("only.txt", 3000, true);
  TDisc d;
  b.GetDiscInfo(d);
  EXPECT_EQ(d.DiscStatus, 2) << "complete";
  EXPECT_EQ(d.LastSession, 1);
  EXPECT_EQ(b.GetLastSession(), 1);
  EXPECT_GT(b.GetUsedSpace(), 300u);
  EXPECT_EQ(b.GetDiscCapacity(), 359999u);
  // The free-space rule takes a track's size when it is larger than its
  // free blocks; on a closed disc the recorder answers with its last track.
  ASSERT_TRUE(b.ReadTrackInformation(1));
  const uint32_t last_track = b.TrackInfo.TrackSize;
  EXPECT_EQ(b.GetFreeSpace(), last_track);
  const device::SessionList list = device::ReadSessionList(b);
  ASSERT_EQ(list.Lines.size(), 2u);
  EXPECT_EQ(list.Lines[0], "  001      000:02:00     1 MB");
  EXPECT_EQ(list.Lines[1].rfind(" Free      ", 0), 0u);
  // The layout of a further session starts at 0.
  b.ClearAll(10, 10);
  EXPECT_TRUE(b.Prepare(false));
  EXPECT_EQ(b.SessionStart, 0);
}

TEST_F(VrecDisc, AReadOnlyDiscFromAnImage) {
  const std::string image = tree.Path("made.iso");
  tree.File("src/a.txt", std::string(700000, 'a'));
  ASSERT_EQ(Cli("mkiso -q -o " + image + " " + tree.Path("src")), 0);
  Reset({"insert-image " + image});
  Open();
  const uint32_t blocks = static_cast<uint32_t>(fs::file_size(image) / 2048);
  EXPECT_EQ(b.GetMediaType(), mtCDROM);
  EXPECT_FALSE(b.IsErasable());
  EXPECT_EQ(b.GetLastSession(), 1);
  TDisc d;
  b.GetDiscInfo(d);
  EXPECT_EQ(d.MediaName, "CD-ROM");
  EXPECT_EQ(d.DiscStatus, 2);
  EXPECT_EQ(d.LastSession, 1);
  EXPECT_GE(b.GetUsedSpace() + 1, blocks);
  EXPECT_GE(b.GetDiscCapacity() + 1, blocks);
  const device::SessionList list = device::ReadSessionList(b);
  ASSERT_EQ(list.Lines.size(), 2u);
  EXPECT_EQ(list.Lines[0], "  001      000:02:00     1 MB");
  EXPECT_EQ(list.Medium, "CD-ROM");
}

TEST_F(VrecDisc, NoDiscAndAnOpenTray) {
  Reset({"remove"});
  Open();
  b.quiet = true;
  EXPECT_EQ(b.GetMediaType(), mtUnknown);
  TDisc d;
  b.GetDiscInfo(d);
  EXPECT_FALSE(d.Ready);
  EXPECT_EQ(b.slept, 5000);
  const device::SessionList none = device::ReadSessionList(b);
  EXPECT_EQ(none.Lines, (std::vector<std::string>{"     -------"}));
  EXPECT_EQ(b.GetDiscCapacity(), 0u);
  EXPECT_EQ(b.GetLastSession(), 0);

  // A disc behind an open tray is not there either; closed, it spins up
  // and is read.
  RemoveASPI();
  Reset({"insert CD-RW", "speed 4x"});
  Open();
  ASSERT_TRUE(b.StartStopUnit(true)) << b.LastError;
  b.quiet = true;
  b.GetDiscInfo(d);
  EXPECT_FALSE(d.Ready);
  EXPECT_EQ(b.LastSense[12], 0x3A) << b.LastError;
  ASSERT_TRUE(b.StartStopUnit(false)) << b.LastError;
  b.quiet = false;
  TDisc e;
  b.GetDiscInfo(e);
  EXPECT_TRUE(e.Ready);
  EXPECT_EQ(e.MediaName, "CD-RW");
}

TEST_F(VrecDisc, ADriveThatStaysBecomingReady) {
  // Three polls answer "becoming ready": the first look waits once and
  // gives up, the next one waits and finds the disc.
  Reset({"insert DVD+R"});
  Open();
  ASSERT_EQ(Cli("vrec fault add '00*3=02/04/01'"), 0);
  b.quiet = true;
  TDisc d;
  b.GetDiscInfo(d);
  EXPECT_FALSE(d.Ready);
  b.GetDiscInfo(d);
  EXPECT_TRUE(d.Ready);
  EXPECT_EQ(d.MediaName, "DVD+R");
  EXPECT_EQ(b.slept, 2 * 5000);
}

}  // namespace
