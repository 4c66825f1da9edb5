// The tidemark command around the recorder: a disc the desktop mounted
// (through the built-in transport on the virtual recorder's /dev/sr0 under
// the shim, with a mount table the test writes), unmounting it through a
// stand-in udisks2, the logind inhibitor held while a job writes or
// erases, and the note when the automatic transport choice passes a
// listed drive over.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "peer_tools.h"
#include "private_bus.h"
#include "temp_tree.h"

namespace {

std::string Tidemark() {
  return std::string(TIDEMARK_BINARY_DIR) + "/bin/tidemark";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class DesktopCli : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TIDEMARK_VREC_DIR", tree.Path("state").c_str(), 1);
    setenv("TIDEMARK_VREC_SPEED", "fast", 1);
    setenv("XDG_CONFIG_HOME", tree.Path("config").c_str(), 1);
    unsetenv("TIDEMARK_ASPI_LIBRARY");
    // No bus unless a test starts one.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + tree.Path("no-bus")).c_str(), 1);
    setenv("TIDEMARK_MOUNTINFO", tree.File("mountinfo").c_str(), 1);
    tree.File("src/a.txt", "alpha\n");
    tree.File("image.iso", std::string(2048 * 20, 'i'));
  }
  void TearDown() override {
    unsetenv("TIDEMARK_MOUNTINFO");
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  }

  // `tidemark ARGS` in the tree's folder (standard error included).
  peers::Result Run(const std::string& args) {
    return peers::Run("sh -c " + peers::Quote("cd " + peers::Quote(tree.Path()) + " && " +
                                              Tidemark() + " " + args),
                      300);
  }
  // The same under the shim: the virtual recorder is /dev/sr0.
  peers::Result Shim(const std::string& args) {
    return Run("vrec run -- " + Tidemark() + " " + args);
  }
  std::string Tray() {
    const std::string s = Run("vrec status").output;
    const size_t at = s.find("tray: ");
    return at == std::string::npos ? "" : s.substr(at + 6, s.find('\n', at) - at - 6);
  }
  // The recorder's disc mounted on `point` (the kernel's escapes used).
  void Mount(const std::string& escaped_point) {
    std::ofstream(tree.Path("mountinfo"), std::ios::trunc)
        << "25 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        << "36 25 11:0 / " << escaped_point
        << " ro,nosuid,nodev shared:1 - iso9660 /dev/sr0 ro,uid=1000\n";
  }

  TempTree tree;
};

TEST_F(DesktopCli, MountedDiscIsNamedAndLeftAlone) {
  Mount("/media/tester/DISC\\040ONE");
  const std::string mounted = "the disc in /dev/sr0 is mounted on /media/tester/DISC ONE";
  struct Case {
    const char* args;
    int status;
    std::string says;
  } cases[] = {
      {"eject --transport sgio", 1, mounted + "; --unmount unmounts it first"},
      {"eject --transport sgio --unmount", 1,
       mounted + " and cannot be unmounted here (no system bus"},
      {"eject --transport sgio --unmount", 1, "umount /media/tester/DISC ONE first"},
      {"erase --transport sgio", 1, mounted},
      {"burn --transport sgio src", 1, mounted},
      {"burn-image --transport sgio image.iso", 1, mounted},
      {"burn --json --transport sgio src", 1, "\"ok\":false,\"error\":\"" + mounted},
      {"devices --transport sgio", 0, "tidemark: note: " + mounted},
      {"devices --json --transport sgio", 0, "\"mounted\":\"" + mounted + "\""},
      {"info --transport sgio", 0, "tidemark: note: " + mounted},
      {"load --transport sgio", 0, ""},
  };
  for (const Case& c : cases) {
    const peers::Result r = Shim(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << ": " << r.output;
    EXPECT_TRUE(Contains(r.output, c.says)) << c.args << ": " << r.output;
  }
  EXPECT_EQ(Tray(), "closed");

  // Another device's mount does not count; the library transport has no
  // node to be mounted.
  std::ofstream(tree.Path("mountinfo"), std::ios::trunc)
      << "36 25 11:1 / /media/other ro - iso9660 /dev/sr1 ro\n";
  EXPECT_EQ(Shim("eject --transport sgio").status, 0);
  EXPECT_EQ(Tray(), "open");
  Mount("/media/tester/DISC");
  EXPECT_EQ(Run("load").status, 0);
  const peers::Result library = Run("eject --transport library");
  EXPECT_EQ(library.status, 0) << library.output;
}

TEST_F(DesktopCli, UnmountThroughUdisksThenEject) {
  if (!PrivateBus::DaemonInstalled()) GTEST_SKIP() << "dbus-daemon is not installed";
  Mount("/media/tester/DISC");
  {
    setenv("STANDIN_UNMOUNT_ERROR", "Error unmounting /dev/sr0: target is busy", 1);
    PrivateBus bus(tree.Path(), {"udisks2"});
    unsetenv("STANDIN_UNMOUNT_ERROR");
    ASSERT_TRUE(bus.Running(true));
    const peers::Result busy = Shim("eject --transport sgio --unmount");
    EXPECT_EQ(busy.status, 1) << busy.output;
    EXPECT_TRUE(Contains(busy.output,
                         "is mounted on /media/tester/DISC and could not be "
                         "unmounted: udisks2: Error unmounting /dev/sr0: target is "
                         "busy"))
        << busy.output;
    EXPECT_EQ(Tray(), "closed");
  }
  PrivateBus bus(tree.Path(), {"udisks2"});
  ASSERT_TRUE(bus.Running(true));
  const peers::Result r = Shim("eject --transport sgio --unmount");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_FALSE(Contains(ReadFile(tree.Path("mountinfo")), "/dev/sr0"));
  EXPECT_EQ(Tray(), "open");
}

// Held from the job's start to its end, released after it.
TEST_F(DesktopCli, InhibitorHeldWhileAJobWritesOrErases) {
  if (!PrivateBus::DaemonInstalled()) GTEST_SKIP() << "dbus-daemon is not installed";
  PrivateBus bus(tree.Path(), {"login1"});
  ASSERT_TRUE(bus.Running(true));
  ASSERT_EQ(Run("vrec insert CD-RW").status, 0);
  // Long enough to be seen: a burn whose first writes find the recorder
  // busy (each retried after a while), an erase at an emulated speed.
  struct Case {
    const char* setup;
    const char* args;
    const char* why;
  } cases[] = {{"vrec fault add '2A*2=busy'", "burn -q src", "Writing a disc"},
               {"vrec speed 48x", "erase -q", "Erasing a disc"}};
  for (const Case& c : cases) {
    ASSERT_EQ(Run(c.setup).status, 0) << c.setup;
    if (std::string(c.setup).find("speed") != std::string::npos) unsetenv("TIDEMARK_VREC_SPEED");
    std::atomic<bool> done{false};
    peers::Result result;
    std::thread job([&] {
      result = Run(c.args);
      done = true;
    });
    std::vector<std::string> seen;
    while (!done && seen.empty()) {
      seen = PrivateBus::Inhibitors();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    job.join();
    EXPECT_EQ(result.status, 0) << c.args << ": " << result.output;
    EXPECT_EQ(seen, (std::vector<std::string>{std::string("shutdown:sleep:idle|Tidemark|") + c.why +
                                              "|block"}))
        << c.args;
    EXPECT_TRUE(PrivateBus::Inhibitors().empty()) << c.args << ": released at the end";
  }
}

TEST_F(DesktopCli, NoBusIsAVerboseNote) {
  const peers::Result quiet = Run("burn -q src");
  EXPECT_EQ(quiet.status, 0) << quiet.output;
  EXPECT_FALSE(Contains(quiet.output, "awake")) << quiet.output;
  ASSERT_EQ(Run("vrec insert CD-R").status, 0);
  const peers::Result verbose = Run("burn -q -v src");
  EXPECT_EQ(verbose.status, 0) << verbose.output;
  EXPECT_TRUE(Contains(verbose.output,
                       "tidemark: note: nothing keeps the machine awake during the job: no "
                       "system bus"))
      << verbose.output;
}

// The kernel lists a drive that cannot be opened: the automatic choice
// shows the virtual recorder and says so; an explicit choice, or a drive
// that answers, needs no note.
TEST_F(DesktopCli, PassingAListedDriveOverIsSaid) {
  tree.File("sys/class/block/sr0/device/type", "5\n");
  tree.Dir("dev");
  const std::string env = "TIDEMARK_SYSFS_ROOT=" + peers::Quote(tree.Path("sys")) +
                          " TIDEMARK_DEV_ROOT=" + peers::Quote(tree.Path("dev")) + " ";
  const peers::Result r = peers::Run("sh -c " + peers::Quote(env + Tidemark() + " devices"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(Contains(r.output, "tidemark: note: " + tree.Path("dev") +
                                     "/sr0 exists but does not answer through SG_IO; the "
                                     "recorders shown are those of libwnaspi32.so (the library "
                                     "transport)"))
      << r.output;
  const peers::Result library =
      peers::Run("sh -c " + peers::Quote(env + Tidemark() + " devices --transport library"));
  EXPECT_EQ(library.status, 0) << library.output;
  EXPECT_FALSE(Contains(library.output, "note:")) << library.output;
  const peers::Result answering = Shim("devices");
  EXPECT_EQ(answering.status, 0) << answering.output;
  EXPECT_TRUE(Contains(answering.output, ",sr0: ")) << answering.output;
  EXPECT_FALSE(Contains(answering.output, "note:")) << answering.output;
}

}  // namespace
