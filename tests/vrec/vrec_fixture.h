#pragma once
// A virtual recorder in a temporary state folder, driven in-process on a
// manual clock, and helpers to build command blocks and read replies.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "vrec/bytes.h"
#include "vrec/mmc.h"
#include "vrec/recorder.h"

namespace vrec::test {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/vrec-test.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

using Cdb = std::vector<std::uint8_t>;

inline Cdb Cdb10(std::uint8_t op, std::uint32_t lba = 0, std::uint16_t length = 0,
                 std::uint8_t byte1 = 0) {
  Cdb c(10, 0);
  c[0] = op;
  c[1] = byte1;
  put_be32(c, 2, lba);
  put_be16(c, 7, length);
  return c;
}

inline Cdb Cdb6(std::uint8_t op, std::uint8_t byte4 = 0, std::uint8_t byte1 = 0) {
  return Cdb{op, byte1, 0, 0, byte4, 0};
}

inline Sense SenseOf(const Response& r) {
  return r.sense_code();
}

// One recorder in its own folder; every command lets its emulated time pass
// on the manual clock.
class Recorder {
 public:
  explicit Recorder(std::uint32_t speed_x10 = 0) {
    unsetenv("TIDEMARK_VREC_SPEED");
    RecorderOptions o;
    o.folder = dir_.path() + "/state";
    o.clock = &clock_;
    std::string error;
    rec_ = vrec::Recorder::Open(o, &error);
    EXPECT_TRUE(rec_) << error;
    if (speed_x10 != 0) SetSpeed(speed_x10);
  }

  vrec::Recorder& rec() { return *rec_; }
  ManualClock& clock() { return clock_; }
  const std::string& folder() const { return rec_->folder(); }

  Response Run(const Cdb& cdb, DataDirection dir = DataDirection::kNone,
               std::vector<std::uint8_t>* data = nullptr) {
    Request req{cdb, dir, data ? Bytes(data->data(), data->size()) : Bytes()};
    return rec_->ExecuteAndWait(req);
  }
  // A data-in command: the reply (as much as arrived) goes to *out.
  Response In(const Cdb& cdb, std::size_t length, std::vector<std::uint8_t>* out) {
    out->assign(length, 0);
    Response r = Run(cdb, DataDirection::kIn, out);
    out->resize(r.transferred);
    return r;
  }
  std::vector<std::uint8_t> InOk(const Cdb& cdb, std::size_t length) {
    std::vector<std::uint8_t> out;
    Response r = In(cdb, length, &out);
    EXPECT_EQ(r.status, kStatusGood) << std::hex << int(cdb[0]) << " " << int(SenseOf(r).key) << "/"
                                     << int(SenseOf(r).asc) << "/" << int(SenseOf(r).ascq);
    return out;
  }
  Response Out(const Cdb& cdb, std::vector<std::uint8_t> data) {
    return Run(cdb, DataDirection::kOut, &data);
  }

  // Drive state changes the CLI would make.
  void Insert(Medium m, std::uint32_t capacity = 0) {
    Change([&](DriveState& s, SectorStore& store) {
      InsertMedium(s, store, m, capacity, clock_.NowUs());
    });
  }
  void SetSpeed(std::uint32_t x10) {
    Change([x10](DriveState& s, SectorStore&) { s.emulated_speed_x10 = x10; });
  }
  void AddFault(const std::string& rule) {
    std::string error;
    auto parsed = ParseFaultRule(rule, &error);
    ASSERT_TRUE(parsed) << error;
    Change([&](DriveState& s, SectorStore&) { s.faults.push_back(*parsed); });
  }
  template <typename F>
  void Change(F f) {
    std::string error;
    ASSERT_TRUE(rec_->Update(
        [&](DriveState& s, SectorStore& store, std::string*) {
          f(s, store);
          return true;
        },
        &error))
        << error;
  }
  DriveState State() {
    DriveState copy;
    std::string error;
    EXPECT_TRUE(rec_->Inspect([&](const DriveState& s) { copy = s; }, &error)) << error;
    return copy;
  }
  // Waits for the drive as a host does after a disc change: past the
  // unit attention and the spin-up.
  void ClearAttention() {
    for (int i = 0, polls = 0; i < 10 && polls < 100000; ++i, ++polls) {
      Response r = Run(Cdb6(mmc::kTestUnitReady));
      if (r.status == kStatusGood) return;
      if (SenseOf(r).key == sense::kKeyNotReady && SenseOf(r).asc == 0x04) {
        clock_.Advance(1'000'000);
        --i;
      }
    }
    ADD_FAILURE() << "the recorder did not become ready";
  }

  // Page 05h as the host sends it: write type, multi-session, test write, BUFE.
  Response SetWriteParameters(std::uint8_t write_type, bool multisession, bool test = false,
                              bool bufe = true, std::uint8_t block_type = 8) {
    std::vector<std::uint8_t> list(8 + kPage05Length, 0);
    std::uint8_t* p = list.data() + 8;
    p[0] = mmc::kPageWriteParameters;
    p[1] = kPage05Length - 2;
    p[2] = static_cast<std::uint8_t>((bufe ? 0x40 : 0) | (test ? 0x10 : 0) | write_type);
    p[3] = static_cast<std::uint8_t>((multisession ? 0xC0 : 0) | 0x04);
    p[4] = block_type;
    p[15] = 150;
    return Out(Cdb10(mmc::kModeSelect10, 0, static_cast<std::uint16_t>(list.size()), 0x10), list);
  }
  Response Write(std::uint32_t lba, std::uint16_t blocks, std::uint8_t fill) {
    return Out(Cdb10(mmc::kWrite10, lba, blocks), std::vector<std::uint8_t>(blocks * 2048u, fill));
  }
  Response Read(std::uint32_t lba, std::uint16_t blocks, std::vector<std::uint8_t>* out) {
    return In(Cdb10(mmc::kRead10, lba, blocks), blocks * 2048u, out);
  }
  Response SyncCache(bool immediate = false) {
    return Run(Cdb10(mmc::kSynchronizeCache, 0, 0, immediate ? 0x02 : 0));
  }
  Response Close(std::uint8_t function, std::uint16_t track = 0, bool immediate = false) {
    Cdb c(10, 0);
    c[0] = mmc::kCloseTrackSession;
    c[1] = immediate ? 1 : 0;
    c[2] = function;
    put_be16(c, 4, track);
    return Run(c);
  }
  std::vector<std::uint8_t> TrackInfo(std::uint32_t number, std::uint8_t type = 1) {
    return InOk(Cdb10(mmc::kReadTrackInformation, number, 48, type), 48);
  }
  std::vector<std::uint8_t> DiscInfo() { return InOk(Cdb10(mmc::kReadDiscInformation, 0, 34), 34); }
  std::uint32_t Nwa() { return get_be32(TrackInfo(0xFF), 12); }
  std::uint16_t Profile() {
    return static_cast<std::uint16_t>(get_be16(InOk(Cdb10(mmc::kGetConfiguration, 0, 8), 8), 6));
  }

 private:
  TempDir dir_;
  ManualClock clock_;
  std::unique_ptr<vrec::Recorder> rec_;
};

}  // namespace vrec::test
