// Blocks written but not yet in the sectors file: whoever reads next finds
// them, in this process or another, even when the writer was killed; a
// write that does not follow on puts the earlier ones in the file; a
// damaged staging header is refused, not trusted.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "vrec/store.h"
#include "vrec_fixture.h"

namespace vrec::test {
namespace {

// Block `lba` as written the `pass`-th time: every byte names both.
std::vector<std::uint8_t> Pattern(std::int64_t lba, std::uint32_t count, int pass) {
  std::vector<std::uint8_t> out(std::size_t{count} * kBlockSize);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto block = static_cast<std::uint64_t>(lba) + i / kBlockSize;
    out[i] = static_cast<std::uint8_t>(block * 31 + (i % kBlockSize) * 7 + pass * 101);
  }
  return out;
}

Response Send(vrec::Recorder& r, const Cdb& cdb, DataDirection dir,
              std::vector<std::uint8_t>* data) {
  return r.Execute(Request{cdb, dir, Bytes(data->data(), data->size())});
}

Response WriteBlocks(vrec::Recorder& r, std::uint32_t lba, std::uint16_t count, int pass = 0) {
  std::vector<std::uint8_t> data = Pattern(lba, count, pass);
  return Send(r, Cdb10(mmc::kWrite10, lba, count), DataDirection::kOut, &data);
}

std::vector<std::uint8_t> ReadBlocks(vrec::Recorder& r, std::uint32_t lba, std::uint16_t count) {
  std::vector<std::uint8_t> data(std::size_t{count} * kBlockSize);
  EXPECT_EQ(Send(r, Cdb10(mmc::kRead10, lba, count), DataDirection::kIn, &data).status,
            kStatusGood);
  return data;
}

std::unique_ptr<vrec::Recorder> OpenIn(const std::string& folder, std::string* error) {
  RecorderOptions o;
  o.folder = folder;
  return vrec::Recorder::Open(o, error);
}

// Another process's recorder, past the unit attention a new host sees.
std::unique_ptr<vrec::Recorder> OpenReady(const std::string& folder) {
  std::string error;
  auto r = OpenIn(folder, &error);
  for (int i = 0; r && i < 5; ++i) {
    if (r->Execute(Request{Cdb6(mmc::kTestUnitReady), DataDirection::kNone, Bytes()}).status ==
        kStatusGood) {
      return r;
    }
  }
  return nullptr;
}

std::uint64_t FileSize(const std::string& path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

// Runs `body` in a child process; its exit status (128 + signal when killed).
template <typename F>
int InChild(F body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(VrecStaging, AnotherProcessReadsEveryBlockBetweenWritesAndAfterTheWriterIsKilled) {
  Recorder r;
  r.Insert(Medium::kDvdPlusRw);
  r.ClearAttention();
  const std::string sectors = r.folder() + "/recorder0/sectors";
  // A burner writes the first 31 blocks; another process reads them before
  // the burner sends anything else.
  ASSERT_EQ(WriteBlocks(r.rec(), 0, 31).status, kStatusGood);
  EXPECT_LT(FileSize(sectors), 31u * kBlockSize);  // held back, not yet in the file
  EXPECT_EQ(InChild([&] {
              auto other = OpenReady(r.folder());
              return other && ReadBlocks(*other, 0, 31) == Pattern(0, 31, 0) ? 0 : 1;
            }),
            0);
  // The burner goes on, then a second burner process writes on and is
  // killed between its commands, with its blocks still staged.
  ASSERT_EQ(WriteBlocks(r.rec(), 31, 31).status, kStatusGood);
  EXPECT_EQ(InChild([&] {
              auto other = OpenReady(r.folder());
              if (!other) return 1;
              for (std::uint32_t lba = 62; lba < 62 + 5 * 31; lba += 31) {
                if (WriteBlocks(*other, lba, 31).status != kStatusGood) return 1;
              }
              raise(SIGKILL);
              return 1;
            }),
            128 + SIGKILL);
  EXPECT_LT(FileSize(sectors), (62u + 5 * 31) * kBlockSize);
  EXPECT_EQ(ReadBlocks(r.rec(), 0, 62 + 5 * 31), Pattern(0, 62 + 5 * 31, 0));
  // An image dumped from the disc holds them too.
  ASSERT_EQ(WriteBlocks(r.rec(), 217, 10).status, kStatusGood);
  std::string image = r.folder() + "/../dump.iso", error;
  ASSERT_TRUE(r.rec().Update([&](DriveState& s, SectorStore& store,
                                 std::string* e) { return DumpSession(s, store, 0, image, e); },
                             &error))
      << error;
  std::vector<std::uint8_t> want = Pattern(0, 227, 0);
  std::ifstream in(image, std::ios::binary);
  std::string got((std::istreambuf_iterator<char>(in)), {});
  ASSERT_GE(got.size(), want.size());
  EXPECT_EQ(0, std::memcmp(got.data(), want.data(), want.size()));
}

// The file store over a plain staging buffer, one table row per run of writes.
TEST(VrecStaging, WritesThatDoNotFollowOnPutTheEarlierOnesInTheFile) {
  constexpr std::int64_t W = kStagingBlocks;
  struct Write {
    std::int64_t lba;
    std::uint32_t count;
  };
  struct Case {
    const char* what;
    std::vector<Write> writes;
    StagedRun staged;  // what is held back at the end
  };
  const std::vector<Case> cases = {
      {"consecutive writes gather", {{0, 31}, {31, 31}, {62, 31}}, {0, 93}},
      {"a jump forward", {{0, 31}, {100, 31}}, {100, 31}},
      {"a jump back", {{100, 31}, {0, 31}}, {0, 31}},
      {"rewriting staged blocks", {{10, 31}, {20, 5}}, {20, 5}},
      {"filling the window to its end", {{W - 62, 31}, {W - 31, 31}}, {0, 0}},
      {"running over the window's end", {{W - 20, 31}}, {W, 11}},
      {"a whole window at once", {{W, std::uint32_t(W)}}, {0, 0}},
      {"two windows and a bit", {{5, std::uint32_t(2 * W)}}, {2 * W, 5}},
      {"past the last block staged", {{kStagingBlockLimit - 3, 6}}, {kStagingBlockLimit - W, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    int fd = open((dir.path() + "/sectors").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    std::vector<std::uint8_t> area(kStagingFileSize, 0);
    FileSectorStore store(fd);
    store.set_staging(area.data());
    std::map<std::int64_t, std::vector<std::uint8_t>> disc;  // what each block should hold
    int pass = 0;
    for (const Write& w : c.writes) {
      std::vector<std::uint8_t> data = Pattern(w.lba, w.count, ++pass);
      ASSERT_TRUE(store.Write(w.lba, data));
      for (std::uint32_t i = 0; i < w.count; ++i) {
        disc[w.lba + i].assign(data.begin() + i * kBlockSize, data.begin() + (i + 1) * kBlockSize);
      }
    }
    StagedRun run;
    ASSERT_TRUE(store.Staged(&run));
    EXPECT_EQ(run.count, c.staged.count);
    if (c.staged.count > 0) {
      EXPECT_EQ(run.first, c.staged.first);
    }
    // Everything not staged is in the file already; after a flush, all is.
    for (bool flushed : {false, true}) {
      if (flushed) {
        ASSERT_TRUE(store.Flush());
      }
      for (const auto& [lba, want] : disc) {
        if (!flushed && lba >= run.first && lba < run.first + run.count) continue;
        std::vector<std::uint8_t> got(kBlockSize);
        ASSERT_EQ(pread(fd, got.data(), got.size(), lba * std::int64_t{kBlockSize}),
                  static_cast<ssize_t>(kBlockSize));
        EXPECT_EQ(got, want) << "block " << lba << (flushed ? " after the flush" : "");
      }
    }
    ASSERT_TRUE(store.Staged(&run));
    EXPECT_EQ(run.count, 0u);
    close(fd);
  }
}

TEST(VrecStaging, ADamagedStagingHeaderIsRefusedUntilReset) {
  auto bad_word = [](std::uint64_t word) {
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), &word, 8);
    return bytes + std::string(kStagingFileSize - 8, '\0');
  };
  struct Case {
    const char* what;
    std::string file;
  };
  const std::vector<Case> cases = {
      {"garbage", std::string(kStagingFileSize, '\xA7')},
      {"a run leaving its window", bad_word(EncodeStagedRun({kStagingBlocks - 4, 8}))},
      {"a run longer than the area", bad_word(EncodeStagedRun({0, kStagingBlocks + 1}))},
      {"a run past the last block", bad_word(EncodeStagedRun({kStagingBlockLimit, 4}))},
      {"a run whose check is off", bad_word(EncodeStagedRun({64, 4}) ^ (std::uint64_t{1} << 50))},
      {"the wrong size", std::string(100, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::string folder = dir.path() + "/s", error;
    {
      auto r = OpenIn(folder, &error);
      ASSERT_TRUE(r) << error;
    }
    std::string staged = folder + "/recorder0/staged";
    {
      std::ofstream out(staged, std::ios::binary | std::ios::trunc);
      out << c.file;
    }
    auto r = OpenIn(folder, &error);
    if (r) {
      std::vector<std::uint8_t> data(kBlockSize);
      Response resp = Send(*r, Cdb10(mmc::kRead10, 0, 1), DataDirection::kIn, &data);
      EXPECT_EQ(SenseOf(resp), sense::kInternalTargetFailure);
      error = r->last_error();
    }
    EXPECT_NE(error.find("is corrupt"), std::string::npos) << error;
    EXPECT_EQ(FileSize(folder + "/recorder0/sectors"), 0u);  // nothing written from it
    ASSERT_TRUE(RecorderStore::Reset(folder, 0, DriveState::Fresh(Medium::kDvdPlusRw, 0), &error))
        << error;
    auto fresh = OpenIn(folder, &error);
    ASSERT_TRUE(fresh) << error;
    std::vector<std::uint8_t> config(8);
    EXPECT_EQ(Send(*fresh, Cdb10(mmc::kGetConfiguration, 0, 8), DataDirection::kIn, &config).status,
              kStatusGood);
  }
}

}  // namespace
}  // namespace vrec::test
