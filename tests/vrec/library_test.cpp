// libwnaspi32.so as the library transport loads it: the two entry points,
// request blocks at their agreed offsets, and completion through the event
// descriptor when a command takes time.

#include <dlfcn.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>

#include "vrec_fixture.h"

namespace vrec::test {
namespace {

using SupportFn = std::uint32_t (*)();
using SendFn = std::uint32_t (*)(void*);

// Offsets of SRB_ExecSCSICmd on 64-bit Linux.
constexpr std::size_t kSrbSize = 105, kStatus = 1, kHaId = 2, kFlags = 3, kTarget = 8, kLun = 9,
                      kBufLen = 12, kBufPointer = 16, kSenseLen = 24, kCdbLen = 25, kHaStat = 26,
                      kTargStat = 27, kPostProc = 28, kCdb = 56, kSense = 72;

class VrecLibrary : public ::testing::Test {
 protected:
  // The library is loaded once per process, as a real transport loads it,
  // and reads the state folder at its first use: one folder for all tests,
  // reset before each.
  static std::string Folder() {
    static TempDir dir;
    return dir.path() + "/state";
  }
  void SetUp() override {
    setenv("TIDEMARK_VREC_DIR", Folder().c_str(), 1);
    unsetenv("TIDEMARK_VREC_SPEED");
    std::string error;
    for (int target : {0, 1}) {
      ASSERT_TRUE(
          RecorderStore::Reset(Folder(), target, DriveState::Fresh(Medium::kCdR, 0), &error))
          << error;
    }
    static void* handle =
        dlopen((std::string(TIDEMARK_BINARY_DIR) + "/bin/libwnaspi32.so").c_str(), RTLD_NOW);
    ASSERT_NE(handle, nullptr) << dlerror();
    support_ = reinterpret_cast<SupportFn>(dlsym(handle, "GetASPI32SupportInfo"));
    send_ = reinterpret_cast<SendFn>(dlsym(handle, "SendASPI32Command"));
    ASSERT_NE(support_, nullptr);
    ASSERT_NE(send_, nullptr);
    EXPECT_NE(dlsym(handle, "SendASAPI32Command"), nullptr);
    EXPECT_NE(dlsym(handle, "GetASAPI32SupportInfo"), nullptr);
  }

  struct Srb {
    std::uint8_t bytes[kSrbSize] = {};
  };
  Srb Exec(Cdb cdb, std::uint8_t flags, void* data, std::uint32_t length, int target = 0,
           int event = -1) {
    Srb s;
    s.bytes[0] = 2;
    s.bytes[kFlags] = static_cast<std::uint8_t>(flags | (event >= 0 ? 0x40 : 0));
    s.bytes[kTarget] = static_cast<std::uint8_t>(target);
    std::memcpy(s.bytes + kBufLen, &length, 4);
    std::uint64_t p = reinterpret_cast<std::uintptr_t>(data);
    std::memcpy(s.bytes + kBufPointer, &p, 8);
    s.bytes[kSenseLen] = 14;
    s.bytes[kCdbLen] = static_cast<std::uint8_t>(cdb.size());
    std::memcpy(s.bytes + kCdb, cdb.data(), cdb.size());
    std::uint64_t ev = static_cast<std::uint64_t>(static_cast<std::int64_t>(event));
    if (event >= 0) std::memcpy(s.bytes + kPostProc, &ev, 8);
    last_return_ = send_(s.bytes);
    return s;
  }

  SupportFn support_ = nullptr;
  SendFn send_ = nullptr;
  std::uint32_t last_return_ = 0;
};

TEST_F(VrecLibrary, AdapterTargetsAndInquiry) {
  EXPECT_EQ(support_(), 0x0101u);  // status 01h, one adapter
  std::uint8_t ha[60] = {};
  EXPECT_EQ(send_(ha), 1u);
  EXPECT_EQ(ha[8], 1);  // adapter count
  EXPECT_EQ(ha[9], 7);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(ha + 10)), "TIDEMARK VREC");
  std::uint8_t ha1[60] = {};
  ha1[kHaId] = 1;
  EXPECT_EQ(send_(ha1), 0x81u);

  for (int target : {0, 1, 2}) {
    std::uint8_t dev[12] = {1, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(target), 0};
    std::uint32_t status = send_(dev);
    EXPECT_EQ(status, target < 2 ? 1u : 0x82u) << target;
    EXPECT_EQ(dev[10], target < 2 ? 0x05 : 0x1F);
  }
  std::uint8_t disk[24] = {6};
  EXPECT_EQ(send_(disk), 4u);  // no drive letters here

  std::vector<std::uint8_t> inq(128, 0);
  Srb s = Exec(Cdb6(mmc::kInquiry, 128), 0x08, inq.data(), 128);
  EXPECT_EQ(last_return_, 1u);
  EXPECT_EQ(s.bytes[kStatus], 1);
  EXPECT_EQ(std::string(inq.begin() + 8, inq.begin() + 36), "TIDEMARKVIRTUAL RECORDER1.0 ");
  Srb lun = Exec(Cdb6(mmc::kInquiry, 36), 0x08, inq.data(), 36);
  (void)lun;
  Srb other_lun = [&] {
    Srb x;
    x.bytes[0] = 2;
    x.bytes[kLun] = 1;
    x.bytes[kCdbLen] = 6;
    x.bytes[kCdb] = mmc::kInquiry;
    send_(x.bytes);
    return x;
  }();
  EXPECT_EQ(other_lun.bytes[kStatus], 0x82);
  Srb bad = Exec({0x12, 0, 0}, 0x08, inq.data(), 36);  // CDB too short
  EXPECT_EQ(bad.bytes[kStatus], 0xE0);
}

TEST_F(VrecLibrary, CheckConditionCarriesStatusAndSense) {
  std::vector<std::uint8_t> block(2048);
  Srb s = Exec(Cdb10(mmc::kRead10, 100, 1), 0x08, block.data(), 2048);
  EXPECT_EQ(s.bytes[kStatus], 4);  // SS_ERR
  EXPECT_EQ(s.bytes[kHaStat], 0);
  EXPECT_EQ(s.bytes[kTargStat], 2);   // check condition
  EXPECT_EQ(s.bytes[kSense + 2], 5);  // blank disc: out of range
  EXPECT_EQ(s.bytes[kSense + 12], 0x21);
  EXPECT_EQ(s.bytes[kSense + 14], 0);  // only SenseLen (14) bytes are copied
}

TEST_F(VrecLibrary, ACommandThatTakesTimeCompletesThroughTheEvent) {
  // At 1x a flush of one written block takes a noticeable while: the
  // library returns SS_PENDING and signals the event when the time is up.
  {
    std::string error;
    auto r = vrec::Recorder::Open({}, &error);
    ASSERT_TRUE(r) << error;
    ASSERT_TRUE(r->Update(
        [](DriveState& s, SectorStore&, std::string*) {
          s.emulated_speed_x10 = 10;
          return true;
        },
        &error));
  }
  std::vector<std::uint8_t> block(31 * 2048, 3);
  int ev = eventfd(0, EFD_CLOEXEC);
  ASSERT_GE(ev, 0);
  Srb w = Exec(Cdb10(mmc::kWrite10, 0, 31), 0x10, block.data(), 31 * 2048, 0, ev);
  ASSERT_EQ(w.bytes[kStatus], 1);
  Srb sync = Exec(Cdb10(mmc::kSynchronizeCache), 0, nullptr, 0, 0, ev);
  EXPECT_EQ(last_return_, 0u);  // SS_PENDING
  pollfd p{ev, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 30000), 1);
  std::uint64_t count = 0;
  ASSERT_EQ(read(ev, &count, sizeof count), 8);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(__atomic_load_n(&sync.bytes[kStatus], __ATOMIC_ACQUIRE), 1);

  // A command a fault rule makes hang never completes.
  {
    std::string error;
    auto r = vrec::Recorder::Open({}, &error);
    ASSERT_TRUE(r->Update(
        [&](DriveState& s, SectorStore&, std::string*) {
          s.faults.push_back(*ParseFaultRule("00*1=timeout", &error));
          return true;
        },
        &error));
  }
  Srb hung = Exec(Cdb6(mmc::kTestUnitReady), 0, nullptr, 0, 0, ev);
  EXPECT_EQ(last_return_, 0u);
  EXPECT_EQ(poll(&p, 1, 200), 0);
  EXPECT_EQ(hung.bytes[kStatus], 0);
  close(ev);
}

}  // namespace
}  // namespace vrec::test
