// The read-ahead cache on its own: blocks, queue bound, priming, padding,
// stopping, and sources that changed since they were added.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "burner/compilation.h"
#include "burner/header_stream.h"
#include "recording/cache_thread.h"
#include "temp_tree.h"

namespace {

using recording::TCacheThread;
using namespace std::chrono_literals;

constexpr int32_t kBlock = 63488;

// File entries owned by the test.
struct Files {
  std::vector<std::unique_ptr<TFEntry>> owned;
  std::vector<PFileEntry> list;
  void Add(const std::string& path, int64_t size) {
    auto e = std::make_unique<TFEntry>();
    e->LongName = path.substr(path.find_last_of('/') + 1);
    e->SourcePath = path;
    e->Size = size;
    list.push_back(e.get());
    owned.push_back(std::move(e));
  }
  int64_t Bytes() const {
    int64_t n = 0;
    for (PFileEntry f : list) n += RoundUpToSector(f->Size);
    return n;
  }
};

THeaderStream Header(int64_t bytes, uint8_t fill = 0x48) {
  THeaderStream h;
  std::vector<uint8_t> data(static_cast<size_t>(bytes), fill);
  h.Write(data);
  return h;
}

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 2000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

// Every block until the end of the data: their counts and the bytes.
std::vector<int32_t> Drain(TCacheThread& cache, std::vector<uint8_t>* bytes = nullptr) {
  std::vector<int32_t> counts;
  std::vector<uint8_t> buffer(kBlock);
  for (;;) {
    const int32_t n = cache.GetBlock(buffer.data());
    if (n == 0) break;
    if (n < 0) {
      cache.WaitForBlock(10ms);
      continue;
    }
    counts.push_back(n);
    if (bytes) bytes->insert(bytes->end(), buffer.begin(), buffer.begin() + n);
  }
  return counts;
}

TEST(Cache, QueueStopsAtMaxBlocksLessOneAndPrimesThen) {
  THeaderStream header = Header(100LL * kBlock);
  TCacheThread cache(4194304, false, header.Size(), header, {});
  EXPECT_EQ(cache.MaxBlocks(), 64);
  ASSERT_TRUE(WaitFor([&] { return cache.Primed(); }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(cache.QueuedBlocks(), 63u);
  EXPECT_FALSE(cache.Finished());
  EXPECT_EQ(cache.CachedBytes(), 63LL * kBlock);
  const std::vector<int32_t> counts = Drain(cache);
  EXPECT_EQ(counts.size(), 100u);
  EXPECT_EQ(cache.PendingBytes(), 0);
  EXPECT_EQ(cache.CachedBytes(), 0);
  EXPECT_TRUE(cache.ErrorText().empty());
  EXPECT_EQ(header.Size(), 0) << "the header is released once queued";
}

TEST(Cache, SmallCompilationPrimesAfterEverythingIsRead) {
  TempTree tree;
  Files files;
  files.Add(tree.File("a.txt", std::string(100, 'a')), 100);
  files.Add(tree.File("b.txt", std::string(100, 'b')), 100);
  files.Add(tree.File("c.txt", std::string(100, 'c')), 100);
  THeaderStream header = Header(4096);
  TCacheThread cache(4194304, false, 4096 + files.Bytes(), header, files.list);
  ASSERT_TRUE(WaitFor([&] { return cache.Primed(); }));
  EXPECT_TRUE(cache.Finished());
  EXPECT_EQ(cache.QueuedBlocks(), 2u);
  std::vector<uint8_t> bytes;
  // Three small files share one block, each in a sector of its own, the
  // rest of each sector zero.
  EXPECT_EQ(Drain(cache, &bytes), (std::vector<int32_t>{4096, 6144}));
  for (int f = 0; f < 3; ++f) {
    const size_t at = 4096 + f * 2048;
    EXPECT_EQ(bytes[at], uint8_t('a' + f));
    EXPECT_EQ(bytes[at + 99], uint8_t('a' + f));
    for (size_t i = at + 100; i < at + 2048; ++i) ASSERT_EQ(bytes[i], 0) << i;
  }
}

TEST(Cache, BlockBoundariesAndPadding) {
  TempTree tree;
  struct Case {
    std::vector<int64_t> sizes;
    int64_t header;
    bool pad;
    std::vector<int32_t> blocks;
  };
  const Case cases[] = {
      // A file of exactly one block fills it; the next starts a new one.
      {{63488, 10}, 2048, false, {2048, 63488, 2048}},
      // 299 sectors with padding: one zero block of one sector follows.
      {{},
       299LL * 2048,
       true,
       {63488, 63488, 63488, 63488, 63488, 63488, 63488, 63488, 63488, 40960, 2048}},
      // Without the request no padding.
      {{},
       299LL * 2048,
       false,
       {63488, 63488, 63488, 63488, 63488, 63488, 63488, 63488, 63488, 40960}},
      // A session long enough is never padded.
      {{},
       300LL * 2048,
       true,
       {63488, 63488, 63488, 63488, 63488, 63488, 63488, 63488, 63488, 43008}},
      // Empty files contribute nothing.
      {{0, 5000, 0},
       2048,
       true,
       {2048, 6144, 63488, 63488, 63488, 63488, 63488, 63488, 63488, 63488, 63488, 34816}},
  };
  for (const Case& c : cases) {
    Files files;
    for (size_t i = 0; i < c.sizes.size(); ++i)
      files.Add(tree.SizedFile("f" + std::to_string(i), c.sizes[i]), c.sizes[i]);
    THeaderStream header = Header(c.header);
    const int64_t total = c.header + files.Bytes();
    TCacheThread cache(2097152, c.pad, total, header, files.list);
    const int64_t padding = c.pad && total < 614400 ? 614400 - total : 0;
    ASSERT_TRUE(WaitFor([&] { return cache.Finished(); }));
    EXPECT_EQ(cache.PendingBytes(), total + padding);
    EXPECT_EQ(Drain(cache), c.blocks);
    EXPECT_EQ(cache.PendingBytes(), 0);
  }
}

TEST(Cache, StopDropsTheQueueAndEndsTheData) {
  THeaderStream header = Header(100LL * kBlock);
  TCacheThread cache(2097152, false, header.Size(), header, {});
  ASSERT_TRUE(WaitFor([&] { return cache.Primed(); }));
  EXPECT_EQ(cache.QueuedBlocks(), 31u);
  cache.RequestStop();
  std::vector<uint8_t> buffer(kBlock);
  EXPECT_EQ(cache.GetBlock(buffer.data()), 0) << "queued blocks are not handed out after a stop";
  ASSERT_TRUE(WaitFor([&] { return cache.Finished(); }));
  EXPECT_EQ(cache.QueuedBlocks(), 0u);
  EXPECT_EQ(cache.ErrorText(), "OPERATION ABORTED BY USER");
  EXPECT_EQ(cache.GetBlock(buffer.data()), 0);
}

TEST(Cache, AWriterErrorIsKeptOverTheStop) {
  THeaderStream header = Header(100LL * kBlock);
  TCacheThread cache(2097152, false, header.Size(), header, {});
  ASSERT_TRUE(WaitFor([&] { return cache.Primed(); }));
  cache.SetErrorText("WRITER ERROR [X]");
  cache.RequestStop();
  ASSERT_TRUE(WaitFor([&] { return cache.Finished(); }));
  EXPECT_EQ(cache.ErrorText(), "WRITER ERROR [X]");
}

TEST(Cache, SourcesThatChangedEndTheDataWithAnError) {
  struct Case {
    const char* what;
    std::function<void(TempTree&, const std::string&)> change;
    std::string message;
  };
  const Case cases[] = {
      {"shorter",
       [](TempTree& t, const std::string&) { t.File("src.bin", std::string(3000, 's')); },
       "HAS CHANGED SINCE IT WAS ADDED"},
      {"longer", [](TempTree& t, const std::string&) { t.File("src.bin", std::string(5001, 'l')); },
       "HAS CHANGED SINCE IT WAS ADDED"},
      {"vanished", [](TempTree&, const std::string& p) { std::remove(p.c_str()); },
       "OR FILE IS IN USES BY OTHER SOFTWARE"},
      {"a folder now",
       [](TempTree& t, const std::string& p) {
         std::remove(p.c_str());
         t.Dir("src.bin");
       },
       "HAS CHANGED SINCE IT WAS ADDED"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempTree tree;
    const std::string path = tree.File("src.bin", std::string(5000, 'x'));
    Files files;
    files.Add(path, 5000);
    c.change(tree, path);
    THeaderStream header = Header(2048);
    TCacheThread cache(2097152, true, 2048 + files.Bytes(), header, files.list);
    ASSERT_TRUE(WaitFor([&] { return cache.Finished(); }));
    EXPECT_FALSE(cache.Primed());
    EXPECT_NE(cache.ErrorText().find(c.message), std::string::npos) << cache.ErrorText();
    EXPECT_NE(cache.ErrorText().find("\"" + path + "\""), std::string::npos) << cache.ErrorText();
  }
}

TEST(Cache, SizeTotalThatDoesNotMatchTheDataIsAnError) {
  THeaderStream header = Header(2048);
  TCacheThread cache(2097152, false, 4096, header, {});
  ASSERT_TRUE(WaitFor([&] { return cache.Finished(); }));
  EXPECT_EQ(cache.ErrorText(), "INTERNAL ERROR 0005");
}

}  // namespace
