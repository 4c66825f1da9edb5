// The machine's services as the core reaches them: the mount table read
// for a device node, and logind's inhibitor and udisks2's unmount over a
// private message bus with stand-in services, or with no bus at all.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "platform/mounts.h"
#include "platform/system_services.h"
#include "private_bus.h"
#include "temp_tree.h"

namespace {

using platform::ServiceOutcome;

// "ID PARENT MAJOR:MINOR ROOT MOUNT-POINT OPTIONS [OPTIONAL] - TYPE SOURCE SUPER"
std::string MountLine(const std::string& device, const std::string& point,
                      const std::string& source, const std::string& optional = "shared:1") {
  return "36 25 " + device + " / " + point + " ro,nosuid " + optional + " - iso9660 " + source +
         " ro\n";
}

TEST(MountTable, ParsesEntriesAndSkipsBrokenLines) {
  const std::string text =
      MountLine("11:0", "/media/u/DISC\\040ONE", "/dev/sr0") +    // escaped blank
      MountLine("11:1", "/mnt/two", "/dev/sr1", "") +             // no optional field
      MountLine("8:1", "/", "/dev/sda1", "shared:1 master:2") +   // two optional fields
      "37 25 11:0 / /broken ro shared:1 iso9660 /dev/sr0 ro\n" +  // no "-"
      "38 25 x:0 / /broken ro - iso9660 /dev/sr0 ro\n" +          // bad device number
      "39 25 11:0 / /cut ro -\n" +                                // no source
      "40 25 11:0 / /tail\\04 ro - iso9660 /dev/sr0 ro\n" +       // short escape kept
      "\n" + std::string(300, ' ') + "\n";
  const std::vector<platform::MountEntry> entries = platform::ParseMountInfo(text);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].mount_point, "/media/u/DISC ONE");
  EXPECT_EQ(std::tie(entries[0].major, entries[0].minor), std::make_tuple(11u, 0u));
  EXPECT_EQ(entries[0].source, "/dev/sr0");
  EXPECT_EQ(entries[1].mount_point, "/mnt/two");
  EXPECT_EQ(entries[2].mount_point, "/");
  EXPECT_EQ(entries[2].source, "/dev/sda1");
  EXPECT_EQ(entries[3].mount_point, "/tail\\04");
}

// By the source naming the node, directly or through a link (the device
// number only counts for a real block device).
TEST(MountTable, MountPointsOfANode) {
  TempTree tree;
  const std::string node = tree.File("dev/sr0");
  symlink(node.c_str(), tree.Path("dev/cdrom").c_str());
  const std::string table = tree.File(
      "mountinfo", MountLine("11:0", "/media/u/A", node) + MountLine("11:0", "/mnt/b", node) +
                       MountLine("11:1", "/mnt/other", tree.Path("dev/sr1")) +
                       MountLine("0:52", "/run/user", "tmpfs"));
  setenv("TIDEMARK_MOUNTINFO", table.c_str(), 1);
  EXPECT_EQ(platform::MountPointsOf(node), (std::vector<std::string>{"/media/u/A", "/mnt/b"}));
  EXPECT_EQ(platform::MountPointsOf(tree.Path("dev/cdrom")),
            (std::vector<std::string>{"/media/u/A", "/mnt/b"}));
  EXPECT_TRUE(platform::MountPointsOf(tree.Path("dev/sr2")).empty());
  setenv("TIDEMARK_MOUNTINFO", tree.Path("no-such-table").c_str(), 1);
  EXPECT_TRUE(platform::MountPointsOf(node).empty());
  unsetenv("TIDEMARK_MOUNTINFO");
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Services : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PrivateBus::DaemonInstalled()) GTEST_SKIP() << "dbus-daemon is not installed";
  }
  TempTree tree;
};

TEST_F(Services, NoBusIsSaidNotFailed) {
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + tree.Path("no-socket")).c_str(), 1);
  ServiceOutcome outcome;
  platform::SleepInhibitor lock = platform::SleepInhibitor::Take("Writing a disc", outcome);
  EXPECT_FALSE(lock.Held());
  EXPECT_EQ(outcome.status, ServiceOutcome::Status::NoService);
  EXPECT_NE(outcome.text.find("no system bus"), std::string::npos) << outcome.text;
  const ServiceOutcome unmount = platform::UnmountThroughUdisks("/dev/sr0");
  EXPECT_EQ(unmount.status, ServiceOutcome::Status::NoService) << unmount.text;
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

TEST_F(Services, BusWithoutTheServicesIsNoService) {
  PrivateBus bus(tree.Path(), {});
  ASSERT_TRUE(bus.Running(false));
  ServiceOutcome outcome;
  EXPECT_FALSE(platform::SleepInhibitor::Take("Writing a disc", outcome).Held());
  EXPECT_EQ(outcome.status, ServiceOutcome::Status::NoService);
  EXPECT_NE(outcome.text.find("no logind"), std::string::npos) << outcome.text;
  const ServiceOutcome unmount = platform::UnmountThroughUdisks("/dev/sr0");
  EXPECT_EQ(unmount.status, ServiceOutcome::Status::NoService) << unmount.text;
  EXPECT_NE(unmount.text.find("no udisks2"), std::string::npos) << unmount.text;
}

TEST_F(Services, InhibitorHeldWhileTheLockLives) {
  PrivateBus bus(tree.Path(), {"login1"});
  ASSERT_TRUE(bus.Running(true));
  EXPECT_TRUE(PrivateBus::Inhibitors().empty());
  {
    ServiceOutcome outcome;
    platform::SleepInhibitor lock = platform::SleepInhibitor::Take("Writing a disc", outcome);
    ASSERT_TRUE(outcome.Done()) << outcome.text;
    ASSERT_TRUE(lock.Held());
    EXPECT_EQ(PrivateBus::Inhibitors(),
              (std::vector<std::string>{"shutdown:sleep:idle|Tidemark|Writing a disc|block"}));
    platform::SleepInhibitor moved = std::move(lock);
    EXPECT_FALSE(lock.Held());
    EXPECT_EQ(PrivateBus::Inhibitors().size(), 1u) << "a moved lock is still held";
  }
  EXPECT_TRUE(PrivateBus::Inhibitors().empty()) << "released with the object";
}

TEST_F(Services, UnmountThroughUdisks) {
  const std::string node = tree.File("dev/sr0");
  const std::string table = tree.File(
      "mountinfo", MountLine("11:0", "/media/u/DISC", node) + MountLine("8:1", "/", "/dev/sda1"));
  setenv("TIDEMARK_MOUNTINFO", table.c_str(), 1);
  {
    PrivateBus bus(tree.Path(), {"udisks2"});
    ASSERT_TRUE(bus.Running(true));
    const ServiceOutcome done = platform::UnmountThroughUdisks(node);
    EXPECT_TRUE(done.Done()) << done.text;
    EXPECT_TRUE(platform::MountPointsOf(node).empty());
    EXPECT_EQ(platform::ParseMountInfo(ReadFile(table)).size(), 1u) << "the rest stays";
  }
  // udisks2's own refusal comes back with its words.
  setenv("STANDIN_UNMOUNT_ERROR", "Error unmounting: target is busy", 1);
  {
    PrivateBus bus(tree.Path(), {"udisks2"});
    ASSERT_TRUE(bus.Running(true));
    const ServiceOutcome busy = platform::UnmountThroughUdisks(node);
    EXPECT_EQ(busy.status, ServiceOutcome::Status::Failed);
    EXPECT_EQ(busy.text, "udisks2: Error unmounting: target is busy");
  }
  unsetenv("STANDIN_UNMOUNT_ERROR");
  unsetenv("TIDEMARK_MOUNTINFO");
}

// The end of a job told to a session whose window is not in front.
TEST_F(Services, DesktopNotifications) {
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + tree.Path("no-socket")).c_str(), 1);
  EXPECT_EQ(platform::NotifyDesktop("Tidemark", "done").status,
            ServiceOutcome::Status::NoService);
  {
    PrivateBus bus(tree.Path(), {});
    ASSERT_TRUE(bus.Running(false));
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1);
    const ServiceOutcome none = platform::NotifyDesktop("Tidemark", "done");
    EXPECT_EQ(none.status, ServiceOutcome::Status::NoService) << none.text;
  }
  const std::string notes = tree.Path("notes.txt");
  setenv("STANDIN_NOTES_FILE", notes.c_str(), 1);
  {
    PrivateBus bus(tree.Path(), {"notifications"});
    ASSERT_TRUE(bus.Running(true));
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1);
    const ServiceOutcome shown =
        platform::NotifyDesktop("Tidemark", "Burning has completed successfully!");
    EXPECT_TRUE(shown.Done()) << shown.text;
  }
  EXPECT_EQ(ReadFile(notes), "Tidemark|Burning has completed successfully!\n");
  unsetenv("STANDIN_NOTES_FILE");
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
