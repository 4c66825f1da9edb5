#pragma once
// Burning, image burning and erasing against the virtual recorder, in this
// process, through a real transport: the library transport (the recorder's
// libwnaspi32.so) or, built with BURN_THROUGH_SGIO and run under
// `tidemark vrec run --`, the built-in SG_IO transport on /dev/sr0. The
// recorder runs without speed emulation; the component's waits are
// counted, not slept, so that a test of 10,000 retries takes no time.
//
// Each program gets a fresh state folder. Every test puts in the disc it
// needs first, so the tests also run one after the other in one process.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "burner/cd_burner.h"
#include "device/aspi_loader.h"
#include "device/sgio_transport.h"
#include "image_bytes.h"
#include "peer_tools.h"
#include "recording/erase_thread.h"
#include "recording/job_state.h"
#include "temp_tree.h"

namespace burn_test {

using namespace std::chrono_literals;

inline std::string Tidemark() {
  return std::string(TIDEMARK_BINARY_DIR) + "/bin/tidemark";
}

// `tidemark vrec ARGS`; its exit status.
inline int Vrec(const std::string& args) {
  return std::system((Tidemark() + " vrec " + args + " >/dev/null").c_str()) == 0 ? 0 : 1;
}

inline peers::Result VrecOutput(const std::string& args) {
  return peers::Run(Tidemark() + " vrec " + args);
}

#ifndef BURN_THROUGH_SGIO
// One state folder for the whole process (a fresh one: a blank CD-R).
class StateFolder : public ::testing::Environment {
 public:
  void SetUp() override {
    char tmpl[] = "/tmp/tidemark-burn-XXXXXX";
    dir_ = mkdtemp(tmpl);
    setenv("TIDEMARK_VREC_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  std::string dir_;
};
#endif

// The component with its waits counted instead of slept.
class TestBurner : public TzqCDBurner {
 public:
  void Sleep(int32_t ms) override {
    slept += ms;
    if (++sleeps == abort_at_sleep) AbortWrite();
    if (on_sleep) on_sleep();
  }
  // Runs on the waiting thread at every wait.
  std::function<void()> on_sleep;
  std::atomic<int64_t> slept{0};
  std::atomic<int64_t> sleeps{0};
  // The user presses Abort during this wait (0: never).
  int64_t abort_at_sleep = 0;
  // Lays the next session out here instead of where the disc continues
  // (-1: where the disc continues).
  int32_t forced_start = -1;

 protected:
  int32_t NextSessionStart() override {
    const int32_t start = TzqCDBurner::NextSessionStart();
    return forced_start >= 0 ? forced_start : start;
  }
};

// What the component reported, and on which thread.
struct Reports {
  std::mutex m;
  std::condition_variable cv;
  int write_done = 0;
  int erase_done = 0;
  int finalizing = 0;
  std::string error;
  bool erase_error = false;
  std::thread::id thread;

  // Forgets what was reported and listens to b again.
  void Reset(TzqCDBurner& b) {
    {
      std::lock_guard<std::mutex> g(m);
      write_done = erase_done = finalizing = 0;
      error.clear();
      erase_error = false;
    }
    Attach(b);
  }
  void Attach(TzqCDBurner& b) {
    b.OnWriteDone = [this](TzqCDBurner*, const std::string& e) {
      std::lock_guard<std::mutex> g(m);
      ++write_done;
      error = e;
      thread = std::this_thread::get_id();
      cv.notify_all();
    };
    b.OnEraseDone = [this](TzqCDBurner*, bool with_error) {
      std::lock_guard<std::mutex> g(m);
      ++erase_done;
      erase_error = with_error;
      cv.notify_all();
    };
    b.OnFinalizingTrack = [this](TzqCDBurner*) {
      std::lock_guard<std::mutex> g(m);
      ++finalizing;
    };
  }
  // Waits for the job's report and its end.
  bool WaitWrite() {
    std::unique_lock<std::mutex> lk(m);
    const bool reported = cv.wait_for(lk, 120s, [this] { return write_done > 0; });
    lk.unlock();
    return reported && recording::WaitForJobEnd(60s);
  }
  bool WaitErase() {
    std::unique_lock<std::mutex> lk(m);
    const bool reported = cv.wait_for(lk, 120s, [this] { return erase_done > 0; });
    lk.unlock();
    return reported && recording::WaitForEraseEnd(60s);
  }
};

class VrecBurn : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef BURN_THROUGH_SGIO
    setenv("TIDEMARK_ASPI_LIBRARY", VREC_ASPI_LIBRARY, 1);
    ASSERT_TRUE(LoadASPI(false));
    ASSERT_EQ(ASPIName, VREC_ASPI_LIBRARY);
#else
    ASSERT_TRUE(LoadASPI(true));
    ASSERT_EQ(ASPIName, kBuiltInTransportName);
#endif
    burner = std::make_unique<TestBurner>();
    ASSERT_FALSE(burner->DeviceList.empty());
    burner->SelectDevice(burner->DeviceList.front());
    ASSERT_NE(burner->TargetId, kNoDevice);
    log = std::make_unique<LogLines>(*burner);
    reports.Attach(*burner);
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    burner->StripSourcePath = true;
  }
  void TearDown() override {
    recording::WaitForJobEnd(60s);
    recording::WaitForEraseEnd(60s);
    burner.reset();
    RemoveASPI();
  }

  // A blank disc of this medium, no fault rules.
  void Insert(const std::string& medium) {
    ASSERT_EQ(Vrec("fault clear"), 0);
    ASSERT_EQ(Vrec("insert " + medium), 0);
    // The drive tells that the medium changed; the first command hears it.
    burner->TestUnitReady(5000);
  }

  // The tree's folder "src" as the compilation.
  void AddTree(const std::string& folder = "src") {
    ASSERT_EQ(
        burner->InsertDir(burner->RootDir(), tree.Path(folder) + "/", false, true, true, 63, "*.*"),
        1);
  }

  // Lays the compilation out for the disc and saves the image a save of the
  // same layout gives; then burns it. The job's error text.
  std::string Burn(std::vector<uint8_t>* image = nullptr) {
    if (!burner->Prepare(false)) return "PREPARE FAILED";
    if (image != nullptr) {
      const std::vector<uint8_t> header(burner->HeaderStream.Bytes().begin(),
                                        burner->HeaderStream.Bytes().end());
      const std::string file = tree.Path("expected.iso");
      Reports saved;
      saved.Attach(*burner);
      burner->SaveISO(file, false);
      EXPECT_TRUE(saved.WaitWrite());
      EXPECT_EQ(saved.error, "");
      *image = image_bytes::ReadFile(file);
      burner->HeaderStream.Append(header);
      reports.Attach(*burner);
    }
    return Start([this] { return burner->BurnCD(); });
  }

  std::string BurnImage(const std::string& file) {
    return Start([this, &file] { return burner->BurnISO(file); });
  }

  std::string Start(const std::function<bool()>& start) {
    const bool started = start();
    if (!started && reports.write_done == 0) return "NOT STARTED";
    EXPECT_TRUE(reports.WaitWrite());
    EXPECT_EQ(reports.write_done, 1) << "OnWriteDone exactly once";
    EXPECT_FALSE(recording::JobRunning());
    return reports.error;
  }

  // The recorded sectors of one session (0: the whole disc).
  std::vector<uint8_t> Dump(int session) {
    const std::string file = tree.Path("dump-" + std::to_string(session) + ".iso");
    std::remove(file.c_str());
    const std::string which = session == 0 ? "" : "--session " + std::to_string(session) + " ";
    EXPECT_EQ(Vrec("dump " + which + "-o " + peers::Quote(file)), 0);
    return image_bytes::ReadFile(file);
  }

  // Anything at all is recorded on the disc.
  bool Recorded() {
    const std::string file = tree.Path("recorded.iso");
    std::remove(file.c_str());
    const peers::Result r = VrecOutput("dump -o " + peers::Quote(file));
    return r.status == 0 && !image_bytes::ReadFile(file).empty();
  }

  // `tidemark vrec status --json`, and fields of it.
  std::string Status() {
    return VrecOutput("status --json").output;
  }
  static std::string Field(const std::string& json, const std::string& key) {
    const std::string at = "\"" + key + "\":";
    size_t p = json.find(at);
    if (p == std::string::npos) return "";
    p += at.size();
    if (json[p] == '"') return json.substr(p + 1, json.find('"', p + 1) - p - 1);
    return json.substr(p, json.find_first_of(",}]", p) - p);
  }
  std::string State() {
    return Field(Status(), "state");
  }
  int64_t NextWritable() {
    const std::string v = Field(Status(), "next_writable");
    return v == "null" || v.empty() ? -1 : std::stoll(v);
  }
  // Sessions on the disc, and tracks (written or simulated ones are gone).
  int Count(const std::string& list) {
    const std::string json = Status();
    const size_t from = json.find("\"" + list + "\":[");
    const size_t to = json.find(']', from);
    int n = 0;
    for (size_t p = json.find("{\"number\"", from); p < to; p = json.find("{\"number\"", p + 1))
      ++n;
    return n;
  }

  TempTree tree;
  std::unique_ptr<TestBurner> burner;
  std::unique_ptr<LogLines> log;
  Reports reports;
};

}  // namespace burn_test
