// The state folder: a recorder that outlives the process using it, shared
// by several processes at once, and folders that are not ours or are
// damaged.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "vrec/store.h"
#include "vrec_fixture.h"

namespace vrec::test {
namespace {

std::unique_ptr<vrec::Recorder> Open(const std::string& folder, Clock* clock, std::string* error,
                                     bool create = true) {
  RecorderOptions o;
  o.folder = folder;
  o.clock = clock;
  o.create = create;
  return vrec::Recorder::Open(o, error);
}

Response Send(vrec::Recorder& r, Cdb cdb, DataDirection dir = DataDirection::kNone,
              std::vector<std::uint8_t>* data = nullptr) {
  return r.Execute(Request{cdb, dir, data ? Bytes(data->data(), data->size()) : Bytes()});
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(VrecStore, AFreshFolderHoldsOneRecorderWithABlankCdR) {
  TempDir dir;
  ManualClock clock;
  std::string error;
  std::string folder = dir.path() + "/new/deeper";
  auto r = Open(folder, &clock, &error);
  ASSERT_TRUE(r) << error;
  EXPECT_EQ(RecordersInFolder(folder), std::vector<int>{0});
  std::vector<std::uint8_t> config(8);
  Send(*r, Cdb10(mmc::kGetConfiguration, 0, 8), DataDirection::kIn, &config);
  EXPECT_EQ(get_be16(config, 6), mmc::kProfileCdR);
  EXPECT_EQ(Send(*r, Cdb6(mmc::kTestUnitReady)).status, kStatusGood);  // opening absorbs events
  // Without create, a missing folder is an error and nothing is made.
  EXPECT_FALSE(Open(dir.path() + "/absent", &clock, &error, false));
  EXPECT_NE(error.find("no virtual recorder"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/absent"));
}

TEST(VrecStore, TheDiscSurvivesTheProcessThatWroteIt) {
  TempDir dir;
  ManualClock clock;
  std::string error;
  std::string folder = dir.path() + "/s";
  {
    auto r = Open(folder, &clock, &error);
    ASSERT_TRUE(r) << error;
    ASSERT_TRUE(r->Update(
        [&](DriveState& s, SectorStore& store, std::string*) {
          InsertMedium(s, store, Medium::kDvdPlusRw, 0, clock.NowUs());
          s.faults.push_back(*ParseFaultRule("28@7=03/11/00", &error));
          return true;
        },
        &error));
    std::vector<std::uint8_t> block(2048, 0xAB);
    Send(*r, Cdb6(mmc::kTestUnitReady));
    ASSERT_EQ(Send(*r, Cdb10(mmc::kWrite10, 1000, 1), DataDirection::kOut, &block).status,
              kStatusGood);
  }
  auto again = Open(folder, &clock, &error);
  ASSERT_TRUE(again) << error;
  std::vector<std::uint8_t> block(2048);
  ASSERT_EQ(Send(*again, Cdb10(mmc::kRead10, 1000, 1), DataDirection::kIn, &block).status,
            kStatusGood);
  EXPECT_EQ(block[0], 0xAB);
  EXPECT_EQ(SenseOf(Send(*again, Cdb10(mmc::kRead10, 7, 1), DataDirection::kIn, &block)),
            sense::kUnrecoveredReadError);  // the rule came along
  // The sectors live in a sparse file: one block written, a small file.
  EXPECT_LT(std::filesystem::file_size(folder + "/recorder0/sectors"), 1001u * 2048 + 1);
}

TEST(VrecStore, TwoInstancesShareOneRecorderCommandByCommand) {
  TempDir dir;
  ManualClock clock;
  std::string error;
  std::string folder = dir.path() + "/s";
  auto app = Open(folder, &clock, &error);  // an application with the library loaded
  ASSERT_TRUE(app) << error;
  auto cli = Open(folder, &clock, &error);  // `tidemark vrec insert DVD+R` in a terminal
  ASSERT_TRUE(cli) << error;
  ASSERT_TRUE(cli->Update(
      [&](DriveState& s, SectorStore& store, std::string*) {
        InsertMedium(s, store, Medium::kDvdPlusR, 0, clock.NowUs());
        return true;
      },
      &error));
  // The application sees the change of disc at its next command.
  EXPECT_EQ(SenseOf(Send(*app, Cdb6(mmc::kTestUnitReady))), sense::kMediumMayHaveChanged);
  std::vector<std::uint8_t> config(8);
  Send(*app, Cdb10(mmc::kGetConfiguration, 0, 8), DataDirection::kIn, &config);
  EXPECT_EQ(get_be16(config, 6), mmc::kProfileDvdPlusR);
  std::vector<std::uint8_t> blocks(4 * 2048, 1);
  ASSERT_EQ(Send(*app, Cdb10(mmc::kWrite10, 0, 4), DataDirection::kOut, &blocks).status,
            kStatusGood);
  // ... and the other instance sees what the first one wrote.
  std::vector<std::uint8_t> track(48);
  Send(*cli, Cdb6(mmc::kTestUnitReady));
  ASSERT_EQ(
      Send(*cli, Cdb10(mmc::kReadTrackInformation, 1, 48, 1), DataDirection::kIn, &track).status,
      kStatusGood);
  EXPECT_EQ(get_be32(track, 12), 4u);
}

// Appends `writes` blocks filled with `owner` to the DVD+R the way a burner
// does: the next writable address, then a write there. True when all landed.
bool AppendBlocks(vrec::Recorder& r, std::uint8_t owner, int writes) {
  std::vector<std::uint8_t> block(2048, owner);
  int done = 0;
  for (int attempt = 0; done < writes && attempt < 100000; ++attempt) {
    std::vector<std::uint8_t> track(48);
    if (Send(r, Cdb10(mmc::kReadTrackInformation, 0xFF, 48, 1), DataDirection::kIn, &track)
            .status != kStatusGood) {
      continue;
    }
    if (Send(r, Cdb10(mmc::kWrite10, get_be32(track, 12), 1), DataDirection::kOut, &block).status ==
        kStatusGood) {
      ++done;
    }
  }
  return done == writes;
}

TEST(VrecStore, ProcessesWritingAtOnceNeverCorruptTheState) {
  // Four processes append to one DVD+R, each with a recorder of its own or
  // all with the one the parent opened before forking (a program forked
  // under the shim). Every block must land once, in order, with nothing
  // lost.
  constexpr int kProcesses = 4, kWrites = 50;
  for (bool inherited : {false, true}) {
    SCOPED_TRACE(inherited ? "the parent's recorder" : "a recorder per process");
    TempDir dir;
    std::string error;
    std::string folder = dir.path() + "/s";
    WallClock clock;
    auto parent = Open(folder, &clock, &error);
    ASSERT_TRUE(parent) << error;
    ASSERT_TRUE(parent->Update(
        [&](DriveState& s, SectorStore& store, std::string*) {
          InsertMedium(s, store, Medium::kDvdPlusR, 0, clock.NowUs());
          return true;
        },
        &error));
    if (!inherited) parent.reset();
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
      pid_t pid = fork();
      if (pid == 0) {
        WallClock child_clock;
        std::string e;
        std::unique_ptr<vrec::Recorder> own;
        if (!inherited) own = Open(folder, &child_clock, &e);
        vrec::Recorder* r = inherited ? parent.get() : own.get();
        if (r == nullptr) _exit(10);
        _exit(AppendBlocks(*r, static_cast<std::uint8_t>(p + 1), kWrites) ? 0 : 11);
      }
      children.push_back(pid);
    }
    for (pid_t pid : children) {
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    auto r = Open(folder, &clock, &error);
    ASSERT_TRUE(r) << error;
    std::vector<std::uint8_t> track(48);
    Send(*r, Cdb10(mmc::kReadTrackInformation, 1, 48, 1), DataDirection::kIn, &track);
    EXPECT_EQ(get_be32(track, 12), std::uint32_t{kProcesses * kWrites});
    std::vector<int> count(kProcesses + 1, 0);
    std::vector<std::uint8_t> all(kProcesses * kWrites * 2048);
    ASSERT_EQ(
        Send(*r, Cdb10(mmc::kRead10, 0, kProcesses * kWrites), DataDirection::kIn, &all).status,
        kStatusGood);
    for (int b = 0; b < kProcesses * kWrites; ++b) {
      std::uint8_t owner = all[static_cast<std::size_t>(b) * 2048];
      ASSERT_GE(owner, 1);
      ASSERT_LE(owner, kProcesses);
      ++count[owner];
    }
    for (int p = 1; p <= kProcesses; ++p) EXPECT_EQ(count[p], kWrites);
  }
}

TEST(VrecStore, ARunningInstanceStartsAgainWhenItsFolderIsRemoved) {
  TempDir dir;
  ManualClock clock;
  std::string error;
  std::string folder = dir.path() + "/s";
  auto running = Open(folder, &clock, &error);
  ASSERT_TRUE(running) << error;
  ASSERT_TRUE(running->Update(
      [&](DriveState& s, SectorStore& store, std::string*) {
        InsertMedium(s, store, Medium::kDvdPlusRw, 0, clock.NowUs());
        return true;
      },
      &error));
  std::filesystem::remove_all(folder);
  // The next command finds a fresh folder holding a blank CD-R, and what
  // it does is kept there, not in the removed files.
  std::vector<std::uint8_t> config(8);
  ASSERT_EQ(Send(*running, Cdb10(mmc::kGetConfiguration, 0, 8), DataDirection::kIn, &config).status,
            kStatusGood);
  EXPECT_EQ(get_be16(config, 6), mmc::kProfileCdR);
  EXPECT_EQ(RecordersInFolder(folder), std::vector<int>{0});
  ASSERT_TRUE(running->Update(
      [&](DriveState& s, SectorStore& store, std::string*) {
        InsertMedium(s, store, Medium::kDvdRam, 0, clock.NowUs());
        return true;
      },
      &error));
  auto later = Open(folder, &clock, &error);
  ASSERT_TRUE(later) << error;
  Send(*later, Cdb10(mmc::kGetConfiguration, 0, 8), DataDirection::kIn, &config);
  EXPECT_EQ(get_be16(config, 6), mmc::kProfileDvdRam);
}

TEST(VrecStore, AForeignFolderIsRefusedAndLeftAlone) {
  TempDir dir;
  std::string folder = dir.path() + "/foreign";
  std::filesystem::create_directories(folder);
  { std::ofstream(folder + "/notes.txt") << "mine"; }
  ManualClock clock;
  std::string error;
  EXPECT_FALSE(Open(folder, &clock, &error));
  EXPECT_NE(error.find("not a virtual recorder state folder"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(folder + "/notes.txt"), "mine");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
  // A marker of another format is refused as well.
  std::string other = dir.path() + "/other";
  std::filesystem::create_directories(other);
  { std::ofstream(other + "/tidemark-vrec") << "something else\n"; }
  EXPECT_FALSE(Open(other, &clock, &error));
}

TEST(VrecStore, ACorruptStateIsReportedNeverReplacedUntilReset) {
  TempDir dir;
  ManualClock clock;
  std::string error;
  std::string folder = dir.path() + "/s";
  ASSERT_TRUE(Open(folder, &clock, &error)) << error;
  std::string path = folder + "/recorder0/state";
  std::string original = ReadFile(path);
  struct Damage {
    std::size_t at;
    const char* why;
  };
  const Damage damages[] = {
      {0, "not a virtual recorder state"},  // magic
      {16, "no valid slot"},                // the current slot's index
      {4096 + 20, "checksum"},              // a byte of the stored state
      {4096 + 1, "bad length"},             // the slot's length
  };
  for (const Damage& d : damages) {
    std::string bytes = original;
    bytes[d.at] = static_cast<char>(bytes[d.at] ^ 0x5A);
    { std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes; }
    EXPECT_FALSE(Open(folder, &clock, &error)) << d.why;
    EXPECT_NE(error.find("corrupt"), std::string::npos) << error;
    EXPECT_NE(error.find(d.why), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), bytes);  // untouched
  }
  { std::ofstream(path, std::ios::binary | std::ios::trunc) << "short"; }
  EXPECT_FALSE(Open(folder, &clock, &error));
  EXPECT_NE(error.find("wrong size"), std::string::npos) << error;
  // An instance that was running when the state went bad reports it too.
  { std::ofstream(path, std::ios::binary | std::ios::trunc) << original; }
  auto running = Open(folder, &clock, &error);
  ASSERT_TRUE(running) << error;
  {
    std::string bytes = original;
    bytes[4096 + 20] ^= 0x01;
    bytes[4096 + 8 + 7] ^= 0x01;  // a new generation, so it is read again
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  Response r = Send(*running, Cdb6(mmc::kTestUnitReady));
  EXPECT_EQ(SenseOf(r), sense::kInternalTargetFailure);
  EXPECT_NE(running->last_error().find("corrupt"), std::string::npos);
  // Asked for, a reset makes a fresh recorder; the running instance picks
  // it up at its next command.
  ASSERT_TRUE(RecorderStore::Reset(folder, 0, DriveState::Fresh(Medium::kDvdRam, 0), &error))
      << error;
  std::vector<std::uint8_t> config(8);
  Send(*running, Cdb10(mmc::kGetConfiguration, 0, 8), DataDirection::kIn, &config);
  EXPECT_EQ(get_be16(config, 6), mmc::kProfileDvdRam);
}

TEST(VrecStore, StoredStateRoundTripsAndBadBytesAreRefused) {
  DriveState s = DriveState::Fresh(Medium::kCdR, 0);
  s.disc.sessions.push_back(Session{true});
  Track t;
  t.size = 302;
  t.written = 300;
  t.run_out = 2;
  t.state = TrackState::kComplete;
  s.disc.tracks.push_back(t);
  s.disc.next_session_start = 11702;
  std::string error;
  s.faults.push_back(*ParseFaultRule("2A@1-9#2*3=03/0C/00", &error));
  s.image_name = "/some/where.iso";
  std::string file = EncodeStateFile(s);
  DriveState back;
  ASSERT_TRUE(DecodeStateFile(
      ConstBytes(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()), &back, &error))
      << error;
  EXPECT_EQ(EncodeState(back), EncodeState(s));

  std::string payload = EncodeState(s);
  auto bytes = [](const std::string& p) {
    return ConstBytes(reinterpret_cast<const std::uint8_t*>(p.data()), p.size());
  };
  for (std::size_t cut : {std::size_t{0}, std::size_t{3}, payload.size() / 2, payload.size() - 1}) {
    EXPECT_FALSE(DecodeState(bytes(payload.substr(0, cut)), &back, &error)) << cut;
  }
  EXPECT_FALSE(DecodeState(bytes(payload + "x"), &back, &error));
  std::string bad_medium = payload;
  bad_medium[4 + 2 + 12] = 77;  // the medium byte
  EXPECT_FALSE(DecodeState(bytes(bad_medium), &back, &error));
}

}  // namespace
}  // namespace vrec::test
