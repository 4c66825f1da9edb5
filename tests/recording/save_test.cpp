// Saving a compilation as an image file: the threaded job (cache, writer,
// job frame) and the quick save, their results, failures and abort.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "burner/cd_burner.h"
#include "image_bytes.h"
#include "recording/job_state.h"
#include "temp_tree.h"

namespace {

using namespace std::chrono_literals;

// What OnWriteDone reported.
struct Done {
  std::mutex m;
  std::condition_variable cv;
  int calls = 0;
  std::string error;
  std::thread::id thread;

  void Attach(TzqCDBurner& b) {
    b.OnWriteDone = [this](TzqCDBurner*, const std::string& e) {
      std::lock_guard<std::mutex> g(m);
      ++calls;
      error = e;
      thread = std::this_thread::get_id();
      cv.notify_all();
    };
  }
  // Waits for the report and for the job's end.
  bool Wait() {
    std::unique_lock<std::mutex> lk(m);
    const bool reported = cv.wait_for(lk, 60s, [this] { return calls > 0; });
    lk.unlock();
    return reported && recording::WaitForJobEnd(60s);
  }
};

// A compilation of the tree's folder "src", laid out for an image.
void AddTree(TzqCDBurner& b, TempTree& tree) {
  b.StripSourcePath = true;
  ASSERT_EQ(b.InsertDir(b.RootDir(), tree.Path("src") + "/", false, true, true, 63, "*.*"), 1);
}

std::string Save(TzqCDBurner& b, const std::string& file, bool quick, Done& done) {
  done.Attach(b);
  EXPECT_TRUE(b.Prepare(true));
  b.SaveISO(file, quick);
  EXPECT_TRUE(done.Wait());
  EXPECT_EQ(done.calls, 1);
  EXPECT_FALSE(recording::JobRunning());
  return done.error;
}

int64_t FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

TEST(SaveIso, ThreadedAndQuickSavesGiveTheLaidOutImage) {
  TempTree tree;
  tree.File("src/a.txt", std::string(2049, 'a'));
  tree.File("src/empty.txt", "");
  tree.File("src/sub/b.bin", std::string(70000, 'b'));
  for (const bool quick : {false, true}) {
    SCOPED_TRACE(quick ? "quick" : "threaded");
    TzqCDBurner b;
    AddTree(b, tree);
    b.WritePostGap = false;
    // The empty file is not opened: it may be gone by now.
    std::remove(tree.Path("src/empty.txt").c_str());
    Done done;
    const std::string image = tree.Path(quick ? "q.iso" : "t.iso");
    ASSERT_EQ(Save(b, image, quick, done), "");
    // The threaded save reports on the writer thread, the quick one here.
    EXPECT_EQ(done.thread == std::this_thread::get_id(), quick);
    // 2049 bytes take 2 sectors, 70000 bytes 35.
    EXPECT_EQ(b.SessionSectors, 150 + 2 + 35);
    EXPECT_EQ(FileSize(image), b.SessionSectors * 2048);
    EXPECT_EQ(b.BytesWritten.load(), quick ? 0 : b.SessionSectors * 2048);
    const std::vector<uint8_t> bytes = image_bytes::ReadFile(image);
    EXPECT_EQ(bytes[150 * 2048], 'a');
    EXPECT_EQ(bytes[150 * 2048 + 2048], 'a');
    EXPECT_EQ(bytes[150 * 2048 + 2049], 0) << "filler after the last byte is zero";
    EXPECT_EQ(bytes[152 * 2048], 'b');
    EXPECT_EQ(bytes[152 * 2048 + 69999], 'b');
    EXPECT_TRUE(image_bytes::AllZero(std::span(bytes).subspan(152 * 2048 + 70000)));
  }
}

TEST(SaveIso, ShortSessionsArePaddedOnlyByTheThreadedSave) {
  struct Case {
    bool quick, post_gap;
    int64_t sectors;
  };
  for (const Case c : {Case{false, true, 300}, Case{false, false, 299}, Case{true, true, 299}}) {
    TempTree tree;
    tree.File("src/f.bin", std::string(148 * 2048 + 1, 'f'));  // 149 sectors
    TzqCDBurner b;
    b.WritePostGap = c.post_gap;
    AddTree(b, tree);
    Done done;
    ASSERT_EQ(Save(b, tree.Path("x.iso"), c.quick, done), "");
    EXPECT_EQ(b.SessionSectors, 299);
    EXPECT_EQ(b.ImageSectors(), c.post_gap ? 300 : 299);
    EXPECT_EQ(FileSize(tree.Path("x.iso")), c.sectors * 2048);
  }
}

TEST(SaveIso, EmptyCompilationIsTheHeaderAlone) {
  TempTree tree;
  TzqCDBurner b;
  b.WritePostGap = false;
  Done done;
  ASSERT_TRUE(b.Prepare(true));
  const std::vector<uint8_t> header(b.HeaderStream.Bytes().begin(), b.HeaderStream.Bytes().end());
  done.Attach(b);
  b.SaveISO(tree.Path("e.iso"), false);
  ASSERT_TRUE(done.Wait());
  EXPECT_EQ(done.error, "");
  EXPECT_EQ(image_bytes::ReadFile(tree.Path("e.iso")), header);
  EXPECT_EQ(b.HeaderStream.Size(), 0) << "the cache releases the header";
}

TEST(SaveIso, FailuresEndTheJobWithTheirMessage) {
  struct Case {
    const char* what;
    bool quick;
    std::function<std::string(TempTree&)> image;  // the target, after changing the tree
    std::string message;
  };
  const Case cases[] = {
      {"a source that shrank", false,
       [](TempTree& t) {
         t.File("src/sub/b.bin", "short");
         return t.Path("x.iso");
       },
       "FILE \"%/src/sub/b.bin\" HAS CHANGED SINCE IT WAS ADDED"},
      {"a source that vanished (quick)", true,
       [](TempTree& t) {
         std::remove(t.Path("src/sub/b.bin").c_str());
         return t.Path("x.iso");
       },
       "CAN'T OPEN FILE \"%/src/sub/b.bin\" OR FILE IS IN USES BY OTHER SOFTWARE"},
      {"a source that grew (quick)", true,
       [](TempTree& t) {
         t.File("src/a.txt", std::string(4000, 'A'));
         return t.Path("x.iso");
       },
       "FILE \"%/src/a.txt\" HAS CHANGED SINCE IT WAS ADDED"},
      {"a target folder that does not exist", false,
       [](TempTree& t) { return t.Path("missing/x.iso"); },
       "CAN'T CREATE FILE \"%/missing/x.iso\""},
      {"a target folder that does not exist (quick)", true,
       [](TempTree& t) { return t.Path("missing/x.iso"); },
       "CAN'T CREATE FILE \"%/missing/x.iso\""},
      {"a full disk", false, [](TempTree&) { return std::string("/dev/full"); },
       "CAN'T WRITE FILE \"/dev/full\" [NO SPACE LEFT ON DEVICE]"},
      {"a full disk (quick)", true, [](TempTree&) { return std::string("/dev/full"); },
       "CAN'T WRITE FILE \"/dev/full\" [NO SPACE LEFT ON DEVICE]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempTree tree;
    tree.File("src/a.txt", std::string(2049, 'a'));
    tree.File("src/sub/b.bin", std::string(200000, 'b'));
    TzqCDBurner b;
    AddTree(b, tree);
    const std::string image = c.image(tree);
    std::string want = c.message;
    if (const size_t at = want.find('%'); at != std::string::npos) want.replace(at, 1, tree.Path());
    Done done;
    EXPECT_EQ(Save(b, image, c.quick, done), want);
  }
}

TEST(SaveIso, UnreadableFirstSourceIsReportedBeforeAnyWriterStarts) {
  TempTree tree;
  tree.File("src/a.txt", "abc");
  TzqCDBurner b;
  AddTree(b, tree);
  std::remove(tree.Path("src/a.txt").c_str());
  Done done;
  done.Attach(b);
  ASSERT_TRUE(b.Prepare(true));
  b.SaveISO(tree.Path("x.iso"), false);
  // Reported on the calling thread, before SaveISO returned.
  EXPECT_EQ(done.calls, 1);
  EXPECT_EQ(done.thread, std::this_thread::get_id());
  EXPECT_NE(done.error.find("CAN'T OPEN FILE"), std::string::npos);
  EXPECT_FALSE(recording::JobRunning());
  EXPECT_EQ(FileSize(tree.Path("x.iso")), -1) << "no writer, no image file";
  EXPECT_EQ(b.CacheFillPercent(), 0);
}

// The writer blocks on a pipe nobody reads until the test says so, so that
// an abort reliably lands in the middle of the job.
TEST(SaveIso, AbortEndsTheJobOnceWithItsMessage) {
  TempTree tree;
  tree.SizedFile("src/big.bin", 16 << 20);
  const std::string fifo = tree.Path("pipe.iso");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  TzqCDBurner b;
  AddTree(b, tree);
  Done done;
  done.Attach(b);
  ASSERT_TRUE(b.Prepare(true));
  b.SaveISO(fifo, false);
  ASSERT_TRUE(recording::JobRunning());
  for (int i = 0; i < 200 && b.CacheFillPercent() < 50; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_GT(b.CacheFillPercent(), 0) << "the cache fills while the writer waits";
  b.AbortWrite();
  b.AbortWrite();
  // Drain the pipe so that the writer gets to look at the flag.
  std::vector<char> sink(1 << 16);
  std::thread drain([&] {
    while (recording::JobRunning()) {
      if (read(reader, sink.data(), sink.size()) <= 0) std::this_thread::sleep_for(1ms);
    }
  });
  ASSERT_TRUE(done.Wait());
  drain.join();
  close(reader);
  EXPECT_EQ(done.calls, 1);
  EXPECT_EQ(done.error, "OPERATION ABORTED BY USER");
  EXPECT_LT(b.BytesWritten.load(), 16 << 20);
  EXPECT_EQ(b.CacheFillPercent(), 0);

  // An abort requested while no job runs does not reach the next job.
  b.AbortWrite();
  TzqCDBurner next;
  tree.File("src2/x.txt", "x");
  next.StripSourcePath = true;
  next.InsertDir(next.RootDir(), tree.Path("src2") + "/", false, true, true, 63, "*.*");
  Done next_done;
  EXPECT_EQ(Save(next, tree.Path("next.iso"), false, next_done), "");
}

TEST(SaveIso, SameTreeGivesTheSameImageWithSourceDateEpoch) {
  TempTree tree;
  tree.File("src/a.txt", "alpha");
  tree.File("src/deep/er/b.txt", "beta");
  tree.Dir("src/empty");
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  std::vector<std::vector<uint8_t>> images;
  for (int run = 0; run < 2; ++run) {
    TzqCDBurner b;
    b.WritePostGap = false;  // the quick save never pads
    AddTree(b, tree);
    b.ForceDirPath("\\made\\by\\name");
    Done done;
    const std::string image = tree.Path("d" + std::to_string(run) + ".iso");
    ASSERT_EQ(Save(b, image, run == 1, done), "");
    images.push_back(image_bytes::ReadFile(image));
    if (run == 0) std::this_thread::sleep_for(1100ms);  // the clock moves on
  }
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(images[0], images[1]);
}

}  // namespace
