// tidemark mkiso end to end: the program run as a user runs it, its exit
// status, its messages, and the image it leaves.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "image_bytes.h"
#include "peer_tools.h"
#include "platform/file_attr.h"
#include "temp_tree.h"

namespace {

using namespace image_bytes;
using peers::Quote;

const std::string kTidemark = std::string(TIDEMARK_BINARY_DIR) + "/bin/tidemark";

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> out;
  std::string word;
  bool quoted = false;
  for (char c : text) {
    if (c == '\'') {
      quoted = !quoted;
    } else if (c == ' ' && !quoted) {
      if (!word.empty()) out.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) out.push_back(word);
  return out;
}

// Starts tidemark mkiso with Args (words split at blanks, '...' kept
// together) in the tree's folder, with the tree's own settings folder and
// the extra environment Env ("NAME=value").
pid_t Start(TempTree& t, const std::string& args, const std::string& env = "") {
  std::vector<std::string> argv = {kTidemark, "mkiso"};
  for (std::string& w : Words(args)) argv.push_back(std::move(w));
  std::vector<std::string> envs;
  for (char** e = environ; *e != nullptr; ++e)
    if (!std::string(*e).starts_with("XDG_CONFIG_HOME=")) envs.push_back(*e);
  envs.push_back("XDG_CONFIG_HOME=" + t.Path("config"));
  if (!env.empty()) envs.push_back(env);
  std::vector<char*> av, ev;
  for (auto& a : argv) av.push_back(a.data());
  av.push_back(nullptr);
  for (auto& e : envs) ev.push_back(e.data());
  ev.push_back(nullptr);
  const std::string dir = t.Path(), out = t.Path("stdout.txt"), err = t.Path("stderr.txt");
  const pid_t pid = fork();
  if (pid == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (o < 0 || e < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(o, 1);
    dup2(e, 2);
    execve(av[0], av.data(), ev.data());
    _exit(127);
  }
  return pid;
}

std::string ReadText(const std::string& p) {
  std::ifstream in(p);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Outcome Finish(TempTree& t, pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(t.Path("stdout.txt")),
          ReadText(t.Path("stderr.txt"))};
}

Outcome Mkiso(TempTree& t, const std::string& args, const std::string& env = "") {
  return Finish(t, Start(t, args, env));
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

std::vector<uint8_t> Image(TempTree& t, const std::string& name) {
  return ReadFile(t.Path(name));
}

TEST(Mkiso, SavesTheSourcesAndSaysSo) {
  TempTree t;
  t.File("src/a.txt", "alpha");
  t.File("src/sub/b.txt", "beta");
  t.File("c.txt", "gamma");
  const Outcome o = Mkiso(t, "-o out.iso src c.txt docs/2004=c.txt --volume 'My Disc'");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "ISO file has saved successfully!\n");
  EXPECT_EQ(o.err.rfind("Saving: 0.59 MB (300 sectors) in 0:0", 0), 0u) << o.err;
  const std::vector<uint8_t> img = Image(t, "out.iso");
  ASSERT_GE(img.size(), 300u * kSector) << "padded to 300 sectors";
  EXPECT_EQ(Text(SectorOf(img, 16), 40, 7), "MY DISC");
  EXPECT_EQ(img[17 * kSector], 2) << "Joliet descriptor";
  if (!peers::Have("bsdtar")) GTEST_SKIP() << "bsdtar not installed";
  const peers::Result list = peers::Run("bsdtar -tf " + Quote(t.Path("out.iso")) + " | sort");
  EXPECT_EQ(list.output,
            ".\nc.txt\ndocs\ndocs/2004\ndocs/2004/c.txt\nsrc\nsrc/a.txt\nsrc/sub\n"
            "src/sub/b.txt\n");
}

TEST(Mkiso, OptionsAndSettingsFile) {
  TempTree t;
  t.File("src/big.bin", std::string(310 * 2048, 'x'));  // no padding to tell the saves apart
  // The settings file gives a volume label and asks for the quick save.
  t.File("config/tidemark/zqcb.ini", "[Options]\r\nVolumeLable=FromIni\r\nQuickSaveISO=1\r\n");
  const std::string epoch = "SOURCE_DATE_EPOCH=1600000000";
  ASSERT_EQ(Mkiso(t, "-o quick.iso src", epoch).status, 0);
  EXPECT_EQ(Text(SectorOf(Image(t, "quick.iso"), 16), 40, 8), "FROMINI ");
  t.File("config/tidemark/zqcb.ini", "[Options]\r\nVolumeLable=FromIni\r\n");
  ASSERT_EQ(Mkiso(t, "-o threaded.iso src --cache-size 2M", epoch).status, 0);
  // The same tree and clock: the same bytes, whichever save wrote them.
  EXPECT_EQ(Image(t, "quick.iso"), Image(t, "threaded.iso"));
  ASSERT_EQ(Mkiso(t, "-o plain.iso src --no-joliet --volume other", epoch).status, 0);
  const std::vector<uint8_t> plain = Image(t, "plain.iso");
  EXPECT_EQ(plain[17 * kSector], 255) << "no Joliet descriptor";
  EXPECT_EQ(Text(SectorOf(plain, 16), 40, 6), "OTHER ");
}

TEST(Mkiso, ArchiveOnlyAddsArchivedFilesAndClearsTheirBit) {
  TempTree t;
  const std::string a = t.File("src/a.txt", "a");
  const std::string b = t.File("src/b.txt", "b");
  if (!platform::FileSetAttr(b, platform::FileGetAttr(b) & ~platform::faArchive) ||
      (platform::FileGetAttr(b) & platform::faArchive) != 0)
    GTEST_SKIP() << "the file system keeps no archive attribute";
  ASSERT_NE(platform::FileGetAttr(a) & platform::faArchive, 0);
  ASSERT_EQ(Mkiso(t, "-o one.iso src --archive-only").status, 0);
  EXPECT_EQ(platform::FileGetAttr(a) & platform::faArchive, 0) << "cleared after the save";
  if (!peers::Have("bsdtar")) GTEST_SKIP() << "bsdtar not installed";
  EXPECT_EQ(peers::Run("bsdtar -tf " + Quote(t.Path("one.iso")) + " | sort").output,
            ".\nsrc\nsrc/a.txt\n");
  // Nothing is left to archive: the folder alone.
  ASSERT_EQ(Mkiso(t, "-o two.iso src --archive-only").status, 0);
  EXPECT_EQ(peers::Run("bsdtar -tf " + Quote(t.Path("two.iso")) + " | sort").output, ".\nsrc\n");
}

TEST(Mkiso, JsonEvents) {
  TempTree t;
  t.File("src/a.txt", std::string(100000, 'a'));
  const Outcome o = Mkiso(t, "-o out.iso src --json");
  ASSERT_EQ(o.status, 0) << o.err;
  std::istringstream lines(o.out);
  std::string line, last;
  int progress = 0;
  while (std::getline(lines, line)) {
    EXPECT_EQ(line.front(), '{');
    EXPECT_EQ(line.back(), '}');
    if (line.find("\"event\":\"progress\"") != std::string::npos) ++progress;
    last = line;
  }
  EXPECT_GE(progress, 1) << "the final counts at least";
  // A refusal is a result object too.
  const Outcome refused = Mkiso(t, "-o other.iso missing.txt --json");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out,
            "{\"event\":\"result\",\"ok\":false,\"refused\":true,\"code\":\"no-such-source\","
            "\"error\":\"missing.txt: no such file or folder\",\"details\":[]}\n");
  EXPECT_EQ(last, "{\"event\":\"result\",\"ok\":true,\"file\":\"" + t.Path("out.iso") +
                      "\",\"sectors\":300,\"bytes\":614400,\"omitted\":0}");
}

TEST(Mkiso, BadInputIsRefusedAndWritesNothing) {
  struct Case {
    std::string args;
    std::string message;
  };
  const Case cases[] = {
      {"-o out.iso src --cache-size abc", "invalid --cache-size abc"},
      {"-o out.iso src --cache-size 0", "invalid --cache-size 0"},
      {"-o out.iso src --cache-size -5", "invalid --cache-size -5"},
      {"-o out.iso src --cache-size 99999999999", "invalid --cache-size"},
      {"-o out.iso src missing.txt", "missing.txt: no such file or folder"},
      {"-o nofolder/out.iso src", "no such folder for the image file"},
      {"-o exists.iso src", "exists.iso already exists (--force replaces it)"},
      {"src", "mkiso needs -o FILE"},
      {"-o out.iso", "mkiso needs at least one SOURCE"},
      {"-o out.iso --bogus src", "unknown option --bogus"},
      {"-o out.iso fifo", "Please add the file or directory first!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    TempTree t;
    t.File("src/a.txt", "a");
    t.File("exists.iso", "keep me");
    ASSERT_EQ(mkfifo(t.Path("fifo").c_str(), 0600), 0);  // never added: not a regular file
    const Outcome o = Mkiso(t, c.args);
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("tidemark: " + std::string()), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
    EXPECT_FALSE(Exists(t.Path("out.iso")));
    EXPECT_EQ(Image(t, "exists.iso"), (std::vector<uint8_t>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
  }
}

TEST(Mkiso, ForceReplacesAnExistingImage) {
  TempTree t;
  t.File("src/a.txt", "a");
  t.File("exists.iso", "old");
  ASSERT_EQ(Mkiso(t, "-o exists.iso src --force").status, 0);
  EXPECT_EQ(Image(t, "exists.iso").size(), 300u * kSector);
}

TEST(Mkiso, AFailedJobExitsWithTheComponentsMessage) {
  TempTree t;
  t.File("src/a.txt", "a");
  // A device that takes no data: the image is written where it is (a
  // device is never replaced), and the write fails.
  const Outcome o = Mkiso(t, "-o /dev/full --force src");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err.rfind("tidemark: CAN'T WRITE FILE \"/dev/full\"", 0), 0u) << o.err;
  EXPECT_NE(o.err.find("\n  phase: writing\n"), std::string::npos) << o.err;
  EXPECT_EQ(o.out, "");
}

TEST(Mkiso, InterruptAbortsTheJob) {
  TempTree t;
  t.SizedFile("src/big.bin", 64 << 20);
  const std::string fifo = t.Path("pipe.iso");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const pid_t pid = Start(t, "-o pipe.iso --force src");
  // Once the image flows into the pipe (and the writer waits on it, full),
  // interrupt the program as Ctrl-C would.
  pollfd p{reader, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 20000), 1);
  kill(pid, SIGINT);
  // Let the signal land before the writer gets going again.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::vector<char> sink(1 << 16);
  for (;;) {
    const ssize_t n = read(reader, sink.data(), sink.size());
    if (n == 0) break;  // the writer closed its end
    if (n < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const Outcome o = Finish(t, pid);
  close(reader);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err.rfind("tidemark: OPERATION ABORTED BY USER\n  phase: writing\n", 0), 0u) << o.err;
}

}  // namespace
