// tidemark burn, burn-image and erase as programs, against the virtual
// recorder through the library transport: what they print, their JSON
// events, their exit statuses, and what reaches the disc.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "image_bytes.h"
#include "peer_tools.h"
#include "temp_tree.h"

namespace {

std::string Tidemark() {
  return std::string(TIDEMARK_BINARY_DIR) + "/bin/tidemark";
}

class BurnCli : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TIDEMARK_VREC_DIR", tree.Path("state").c_str(), 1);
    setenv("TIDEMARK_VREC_SPEED", "fast", 1);
    // Named outright: the sanitizer build's loader does not search beside
    // the program.
    setenv("TIDEMARK_ASPI_LIBRARY", VREC_ASPI_LIBRARY, 1);
    // The settings file is looked for beside the program, then here.
    setenv("XDG_CONFIG_HOME", tree.Path("config").c_str(), 1);
    tree.File("src/a.txt", "alpha\n");
    tree.File("src/sub/b.bin", std::string(100000, 'b'));
  }

  // Runs `tidemark ARGS` in the tree's folder.
  peers::Result Run(const std::string& args) {
    return peers::Run("sh -c " + peers::Quote("cd " + peers::Quote(tree.Path()) + " && " +
                                              Tidemark() + " " + args),
                      300);
  }
  std::string Vrec(const std::string& args) {
    const peers::Result r = Run("vrec " + args);
    EXPECT_EQ(r.status, 0) << args << ": " << r.output;
    return r.output;
  }
  std::string State() {
    const std::string s = Vrec("status");
    const size_t at = s.find("state: ");
    return at == std::string::npos ? "" : s.substr(at + 7, s.find('\n', at) - at - 7);
  }
  // The files of the disc's last session, extracted by an independent
  // reader from the recorder's dump, compared with the sources.
  void ExpectDiscHoldsSources(int session = 1) {
    const std::string dump = tree.Path("dump.iso");
    std::remove(dump.c_str());
    Vrec("dump --session " + std::to_string(session) + " -o " + peers::Quote(dump));
    if (!peers::Have("bsdtar")) GTEST_SKIP() << "bsdtar is not installed";
    std::filesystem::remove_all(tree.Path("out"));
    tree.Dir("out");
    const peers::Result x =
        peers::Run("bsdtar -xf " + peers::Quote(dump) + " -C " + peers::Quote(tree.Path("out")));
    ASSERT_EQ(x.status, 0) << x.output;
    const peers::Result d = peers::Run("diff -r " + peers::Quote(tree.Path("src")) + " " +
                                       peers::Quote(tree.Path("out/src")));
    EXPECT_EQ(d.status, 0) << d.output;
  }

  TempTree tree;
};

TEST_F(BurnCli, BurnsASessionAndSaysSo) {
  const peers::Result r = Run("burn src");
  ASSERT_EQ(r.status, 0) << r.output;
  // What was written, in how long, then the message.
  EXPECT_EQ(r.output.rfind("Burning: 0.59 MB (300 sectors) in 0:0", 0), 0u) << r.output;
  EXPECT_NE(r.output.find("\nBurning has completed successfully!\n"), std::string::npos)
      << r.output;
  EXPECT_EQ(State(), "appendable");
  ExpectDiscHoldsSources();
  // The volume is called as the window calls a new compilation.
  if (peers::Have("isoinfo")) {
    Vrec("dump --session 1 -o " + peers::Quote(tree.Path("s1.iso")) + " --force");
    EXPECT_NE(peers::Run("isoinfo -d -i " + peers::Quote(tree.Path("s1.iso")))
                  .output.find("Volume id: NEW"),
              std::string::npos);
  }
}

TEST_F(BurnCli, JsonGivesProgressEventsAndOneResult) {
  Vrec("insert DVD+R");
  const peers::Result r = Run("burn --json --volume BACKUP --close-disc src 2>/dev/null");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("{\"event\":\"progress\",\"written\":"), std::string::npos) << r.output;
  const size_t result = r.output.find("{\"event\":\"result\",\"ok\":true,\"session_start\":0,");
  ASSERT_NE(result, std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("\"result\"", result + 10), std::string::npos) << "one result";
  EXPECT_EQ(r.output.back(), '\n');
  EXPECT_EQ(State(), "complete") << "--close-disc finalizes a DVD+R";
}

TEST_F(BurnCli, RefusalsHaveTheirExitStatuses) {
  struct Case {
    const char* vrec;  // what is in the recorder first (empty: the blank CD-R)
    const char* args;
    int status;
    const char* error;
  } cases[] = {
      {"", "burn", 2, "burn needs at least one SOURCE"},
      {"", "burn missing.txt", 2, "missing.txt"},
      {"", "burn --speed fast src", 2, "--speed takes Nx or max"},
      {"", "burn --continue src", 1, "the disc holds no session"},
      {"", "burn --session 1 src", 2, "--session goes with --continue"},
      {"insert DVD+RW", "burn --continue src", 1, "The session cannot be continued on a DVD+RW"},
      {"", "burn --transport nothing src", 2, "--transport takes auto, sgio or library"},
      {"", "burn --device 7 src", 3, "there is no recorder 7"},
      {"", "burn --transport sgio src", 3, "no recorder answers through SG_IO"},
      {"insert DVD+R", "burn --test src", 1, "TEST WRITE IS NOT POSSIBLE ON DVD+R"},
      {"remove", "burn src", 1, "NO DISC IN THE RECORDER"},
      {"", "burn-image", 2, "burn-image needs one IMAGE"},
      {"", "burn-image src", 2, "is not a file"},
      {"", "erase", 1, "This is not a rewritable CD!"},
      {"", "erase src", 2, "erase takes no arguments"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    Vrec("insert CD-R");
    if (*c.vrec) Vrec(c.vrec);
    const peers::Result r = Run(std::string(c.args) + " --quiet");
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_NE(r.output.find("tidemark: "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(c.error), std::string::npos) << r.output;
  }
  EXPECT_EQ(State(), "blank") << "nothing was written";
}

TEST_F(BurnCli, ContinuingKeepsTheFilesOfTheSessionBefore) {
  tree.File("more/c.txt", "gamma\n");
  for (const char* medium : {"CD-R", "DVD+R"}) {
    SCOPED_TRACE(medium);
    Vrec(std::string("insert ") + medium);
    ASSERT_EQ(Run("burn --quiet src").status, 0);
    const peers::Result r = Run("burn --quiet --continue more");
    ASSERT_EQ(r.status, 0) << r.output;
    // The last session holds both folders: the old files where they were.
    const peers::Result ls = Run("ls -l");
    ASSERT_EQ(ls.status, 0) << ls.output;
    EXPECT_NE(ls.output.find(" 150 /src/a.txt\n"), std::string::npos) << ls.output;
    EXPECT_NE(ls.output.find("/more/c.txt\n"), std::string::npos) << ls.output;
    // An earlier session can be continued too: the first one's files only.
    ASSERT_EQ(Run("burn --quiet --continue --session 1 more").status, 0);
    const peers::Result third = Run("ls");
    EXPECT_NE(third.output.find("/src/a.txt"), std::string::npos) << third.output;
    EXPECT_NE(third.output.find("/more/c.txt"), std::string::npos) << third.output;
  }
}

TEST_F(BurnCli, ATestWriteLeavesTheDiscBlank) {
  Vrec("insert DVD-R");
  const peers::Result r = Run("burn --test src");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(State(), "blank");
}

TEST_F(BurnCli, AnImageBurnsOnlyToAnEmptyDisc) {
  ASSERT_EQ(Run("mkiso -o image.iso src").status, 0);
  const std::vector<uint8_t> image = image_bytes::ReadFile(tree.Path("image.iso"));
  peers::Result r = Run("burn-image --json image.iso");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("\"ok\":true"), std::string::npos);
  Vrec("dump -o " + peers::Quote(tree.Path("disc.iso")));
  const std::vector<uint8_t> disc = image_bytes::ReadFile(tree.Path("disc.iso"));
  ASSERT_GE(disc.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), disc.begin()));
  r = Run("burn-image image.iso");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("tidemark: NEED EMPTY DISC FOR ISO BURNING"), std::string::npos)
      << r.output;
}

TEST_F(BurnCli, AnOverwrittenDiscIsAnnounced) {
  Vrec("insert DVD+RW");
  ASSERT_EQ(Run("burn src").status, 0);
  const peers::Result r = Run("burn --eject src");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("tidemark: warning: the DVD+RW is overwritten from its start"),
            std::string::npos)
      << r.output;
  EXPECT_NE(Vrec("status").find("tray: open"), std::string::npos);
}

TEST_F(BurnCli, EraseShowsItsProgressAndTheDiscTakesANewSession) {
  for (const char* args : {"erase --json", "erase --full --json"}) {
    SCOPED_TRACE(args);
    Vrec("insert CD-RW");
    ASSERT_EQ(Run("burn src").status, 0);
    const peers::Result r = Run(args);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("{\"event\":\"result\",\"ok\":true}"), std::string::npos) << r.output;
    EXPECT_EQ(State(), "blank");
    ASSERT_EQ(Run("burn src").status, 0);
    ExpectDiscHoldsSources();
  }
  Vrec("insert DVD+RW");
  const peers::Result r = Run("erase");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, "Deletion successful\n");
}

TEST_F(BurnCli, AnInterruptAbortsTheBurn) {
  // Recorded at 1x, the burn takes long enough to be interrupted (a DVD:
  // the drive's buffer is written out in seconds after the abort).
  unsetenv("TIDEMARK_VREC_SPEED");
  Vrec("insert DVD+R");
  Vrec("speed 1x");
  tree.SizedFile("src/big.bin", 20 << 20);
  const std::string out = tree.Path("out.txt");
  const std::string cmd = "cd " + peers::Quote(tree.Path()) + " && exec " + Tidemark() +
                          " burn --json src >" + peers::Quote(out) + " 2>&1";
  FILE* child = popen(("sh -c " + peers::Quote(cmd) + " & echo $!").c_str(), "r");
  ASSERT_NE(child, nullptr);
  int pid = 0;
  ASSERT_EQ(fscanf(child, "%d", &pid), 1);
  pclose(child);
  // Interrupted once it has written something.
  for (int i = 0; i < 600; ++i) {
    const std::vector<uint8_t> o = image_bytes::ReadFile(out);
    if (std::string(o.begin(), o.end()).find("\"progress\"") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGINT);
  for (int i = 0; i < 600 && kill(pid, 0) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::vector<uint8_t> o = image_bytes::ReadFile(out);
  const std::string text(o.begin(), o.end());
  EXPECT_NE(text.find("\"ok\":false,\"error\":\"OPERATION ABORTED BY USER\""), std::string::npos)
      << text;
  Vrec("speed fast");
}

}  // namespace
