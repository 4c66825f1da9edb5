// What the commands promise about their outcomes: nothing the user asked
// for goes missing without a refusal or a reported partial result, an
// image is never lost or written over its own sources, and a failure says
// where it happened and how the disc was left.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "peer_tools.h"
#include "temp_tree.h"

namespace {

using peers::Quote;

const std::string kTidemark = std::string(TIDEMARK_BINARY_DIR) + "/bin/tidemark";

struct Ran {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Content(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t Count(const std::string& Text, const std::string& Part) {
  size_t n = 0;
  for (size_t at = Text.find(Part); at != std::string::npos; at = Text.find(Part, at + 1)) ++n;
  return n;
}

class CliOutcomes : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TIDEMARK_VREC_DIR", tree.Path("state").c_str(), 1);
    setenv("TIDEMARK_VREC_SPEED", "fast", 1);
    setenv("TIDEMARK_ASPI_LIBRARY", VREC_ASPI_LIBRARY, 1);
    setenv("XDG_CONFIG_HOME", tree.Path("config").c_str(), 1);
    tree.File("src/a.txt", "alpha\n");
    tree.File("src/sub/b.bin", std::string(300000, 'b'));
  }

  // `Prefix tidemark Args` in the tree's folder (Prefix: shell words such
  // as "ulimit -f 100;"), standard output and error apart.
  Ran Tidemark(const std::string& Args, const std::string& Prefix = "") {
    const std::string out = tree.Path("run.out"), err = tree.Path("run.err");
    const std::string line = "cd " + Quote(tree.Path()) + " && " + Prefix + " " + kTidemark + " " +
                             Args + " >" + Quote(out) + " 2>" + Quote(err);
    Ran r;
    r.status = peers::Run("sh -c " + Quote(line), 300).status;
    r.out = Content(out);
    r.err = Content(err);
    return r;
  }
  std::string Vrec(const std::string& Args) {
    const Ran r = Tidemark("vrec " + Args);
    EXPECT_EQ(r.status, 0) << Args << ": " << r.err;
    return r.out;
  }
  std::string State() {
    const std::string s = Vrec("status");
    const size_t at = s.find("state: ");
    return at == std::string::npos ? "" : s.substr(at + 7, s.find('\n', at) - at - 7);
  }

  TempTree tree;
};

// Each refusal writes nothing: no image, no session, and the sources and
// an existing image as they were.
TEST_F(CliOutcomes, RefusalsWriteNothing) {
  tree.SizedFile("huge/big.bin", int64_t{4} << 30);
  tree.File("big/big.bin", "my data");
  tree.File("old.iso", "OLD");
  tree.Link("dangling.iso", tree.Path("nowhere/x.iso"));
  const std::string long_label(33, 'L');
  struct Case {
    const char* args;
    int status;
    const char* message;
    const char* code;
  } cases[] = {
      {"mkiso -o out.iso src huge", 2, "1 item could not be added (--skip-unadded goes on",
       "\"code\":\"omissions\""},
      {"burn src huge", 2, "1 item could not be added", "\"code\":\"omissions\""},
      {"mkiso --force -o big/big.bin big", 2, "big/big.bin is one of the files to be saved",
       "\"code\":\"output-is-source\""},
      {"mkiso -o out.iso 'docs/../up=src'", 2, "cannot hold an empty name",
       "\"code\":\"bad-folder-path\""},
      {"burn 'a//b=src'", 2, "cannot hold an empty name", "\"code\":\"bad-folder-path\""},
      {"mkiso -o dangling.iso src", 2, "dangling.iso already exists (--force replaces it)",
       "\"code\":\"output-exists\""},
      {"mkiso -o old.iso src", 2, "old.iso already exists", "\"code\":\"output-exists\""},
      {"mkiso -o out.iso --volume LLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLL src", 2, "can have at most 32",
       "\"code\":\"volume-too-long\""},
      {"burn --volume LLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLL src", 2, "can have at most 32",
       "\"code\":\"volume-too-long\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    for (const bool json : {false, true}) {
      const Ran r = Tidemark(std::string(c.args) + (json ? " --json" : " --quiet"));
      EXPECT_EQ(r.status, c.status) << r.err;
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
      if (json) {
        EXPECT_NE(r.out.find("\"ok\":false,\"refused\":true"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.code), std::string::npos) << r.out;
      }
    }
  }
  EXPECT_FALSE(std::filesystem::exists(tree.Path("out.iso")));
  EXPECT_EQ(Content(tree.Path("big/big.bin")), "my data");
  EXPECT_EQ(Content(tree.Path("old.iso")), "OLD");
  EXPECT_TRUE(std::filesystem::is_symlink(tree.Path("dangling.iso")));
  EXPECT_EQ(State(), "blank") << "no useless session on a disc written once";
}

// With --skip-unadded the job runs without them, says each one and how
// many in the result.
TEST_F(CliOutcomes, GoingOnWithoutEntriesReportsEachOne) {
  tree.SizedFile("src/huge.bin", int64_t{4} << 30);
  const Ran r = Tidemark("mkiso --skip-unadded --json -o out.iso src");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"event\":\"omitted\",\"path\":\"" + tree.Path("src/huge.bin") +
                       "\",\"reason\":\"too-large\","),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"ok\":true"), std::string::npos);
  EXPECT_NE(r.out.find("\"omitted\":1}"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("left out: FILE OF 4 GB OR MORE NOT ADDED"), std::string::npos) << r.err;
  const Ran text = Tidemark("mkiso --skip-unadded --force -o out.iso src");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.err.find("1 item could not be added; the image goes without them"),
            std::string::npos)
      << text.err;
}

TEST_F(CliOutcomes, OptionsReadTheSameWayEverywhere) {
  // One parser for sizes: 4M is what 4194304 is, for every command.
  EXPECT_EQ(Tidemark("mkiso --quiet --cache-size 4M -o a.iso src").status, 0);
  const Ran burn = Tidemark("burn --quiet --cache-size 4M src");
  EXPECT_EQ(burn.status, 0) << burn.err;
  // A label the Joliet descriptor cuts is written whole in the primary
  // one, with one warning.
  const Ran label = Tidemark("mkiso --quiet --volume ABCDEFGHIJKLMNOPQRST -o b.iso src");
  ASSERT_EQ(label.status, 0) << label.err;
  EXPECT_EQ(Count(label.err, "warning:"), 1u) << label.err;
  EXPECT_NE(label.err.find("cut to \"ABCDEFGHIJKLMNOP\""), std::string::npos) << label.err;
  if (peers::Have("isoinfo")) {
    EXPECT_NE(peers::Run("isoinfo -d -i " + Quote(tree.Path("b.iso")))
                  .output.find("Volume id: ABCDEFGHIJKLMNOPQRST"),
              std::string::npos);
  }
}

TEST_F(CliOutcomes, AnImageOnStandardOutputIsTheImage) {
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  const Ran file = Tidemark("mkiso --quiet -o file.iso src");
  const Ran piped = Tidemark("mkiso -o - src", "");
  unsetenv("SOURCE_DATE_EPOCH");
  ASSERT_EQ(file.status, 0) << file.err;
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_TRUE(piped.out == Content(tree.Path("file.iso"))) << "the same bytes";
  EXPECT_FALSE(std::filesystem::exists(tree.Path("-")));
  EXPECT_NE(piped.err.find("ISO file has saved successfully!"), std::string::npos);
  // With --json the events go to standard error, the image stays alone.
  const Ran json = Tidemark("mkiso --json -o - src");
  ASSERT_EQ(json.status, 0);
  EXPECT_EQ(json.out.size(), Content(tree.Path("file.iso")).size());
  EXPECT_NE(json.err.find("{\"event\":\"result\",\"ok\":true"), std::string::npos) << json.err;
}

TEST_F(CliOutcomes, ASettingsFileThatIsNoFileIsNotWaitedFor) {
  tree.Dir("config/tidemark");
  ASSERT_EQ(mkfifo(tree.Path("config/tidemark/zqcb.ini").c_str(), 0644), 0);
  const Ran r = Tidemark("mkiso --quiet -o out.iso src", "timeout 60");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("zqcb.ini is not a regular file"), std::string::npos) << r.err;
}

// A write that fails half-way (here: the file size limit, as a full disk
// would) leaves the image it was to replace as it was.
TEST_F(CliOutcomes, AFailedSaveKeepsTheImageItWasToReplace) {
  tree.File("src/big.bin", std::string(2 << 20, 'x'));
  tree.File("old.iso", "OLD");
  const Ran r = Tidemark("mkiso --force -o old.iso src", "trap '' XFSZ; ulimit -f 512;");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("CAN'T WRITE FILE"), std::string::npos) << r.err;
  EXPECT_EQ(Content(tree.Path("old.iso")), "OLD");
  for (const auto& e : std::filesystem::directory_iterator(tree.Path()))
    EXPECT_EQ(e.path().filename().string().find(".tidemark-"), std::string::npos)
        << e.path() << " was left";
}

TEST_F(CliOutcomes, AFailedBurnSaysWhereAndHowTheDiscWasLeft) {
  Vrec("fault add '2A@100=03/0C/00'");
  const Ran json = Tidemark("burn --json src");
  EXPECT_EQ(json.status, 1);
  const size_t result = json.out.find("{\"event\":\"result\",\"ok\":false");
  ASSERT_NE(result, std::string::npos) << json.out;
  const std::string line = json.out.substr(result);
  for (const char* part :
       {"\"error\":\"WRITER ERROR [MEDIUM ERROR (WRITE ERROR)]\"", "\"aborted\":false",
        "\"phase\":\"writing\"", "\"command\":{\"name\":\"WRITE (10)\",\"opcode\":42,\"sector\":",
        "\"sense_key\":3,\"asc\":12,\"ascq\":0", "\"sectors_written\":", "\"disc_state\":\"",
        "\"hint\":\""})
    EXPECT_NE(line.find(part), std::string::npos) << part << " in " << line;
  EXPECT_EQ(line.find("\"disc_state\":\"unknown\""), std::string::npos) << line;

  Vrec("insert CD-R");
  Vrec("fault add '2A@100=03/0C/00'");
  const Ran text = Tidemark("burn --quiet src");
  EXPECT_EQ(text.status, 1);
  for (const char* part :
       {"tidemark: WRITER ERROR [MEDIUM ERROR (WRITE ERROR)]\n  phase: writing\n",
        "\n  command: WRITE (10) at sector ", " failed with 03/0C/00",
        "\n  sectors written: ", "\n  disc left: ", "\n  hint: "})
    EXPECT_NE(text.err.find(part), std::string::npos) << part << " in " << text.err;
}

// A session whose root folder cannot be read lists nothing and extracts
// nothing: that is a failure, not "0 files".
TEST_F(CliOutcomes, WhatTheImportCouldNotReadFailsListingAndExtracting) {
  ASSERT_EQ(Tidemark("burn --quiet src").status, 0);
  // The Joliet root's block, from the supplementary descriptor at 17.
  Vrec("dump --session 1 -o " + Quote(tree.Path("s1.iso")));
  const std::string image = Content(tree.Path("s1.iso"));
  ASSERT_GT(image.size(), 18u * 2048);
  const auto* svd = reinterpret_cast<const unsigned char*>(image.data()) + 17 * 2048;
  ASSERT_EQ(svd[0], 2);
  const uint32_t root = svd[158] | svd[159] << 8 | svd[160] << 16 | uint32_t{svd[161]} << 24;
  Vrec("fault add '28@" + std::to_string(root) + "=03/11/00'");
  const Ran ls = Tidemark("ls");
  EXPECT_EQ(ls.status, 1);
  EXPECT_NE(ls.err.find("tidemark: 1 entry of the disc could not be read"), std::string::npos)
      << ls.err;
  const Ran extract = Tidemark("extract --json / out");
  EXPECT_EQ(extract.status, 1);
  EXPECT_NE(extract.out.find("\"ok\":false,\"error\":\"1 entry of the disc could not be read\""),
            std::string::npos)
      << extract.out;
  EXPECT_NE(extract.out.find("\"unread\":[{\"path\":\"\\\\\",\"reason\":\"unreadable\""),
            std::string::npos)
      << extract.out;
}

// A sector that cannot be read is named; the bytes of the buffer are shown
// only to those who ask for them.
TEST_F(CliOutcomes, ReadErrorsShowNoDataBytesUnlessAskedFor) {
  ASSERT_EQ(Tidemark("burn --quiet src").status, 0);
  const Ran listing = Tidemark("ls -l /src/sub/b.bin");
  ASSERT_EQ(listing.status, 0) << listing.err;
  std::istringstream fields(listing.out);
  std::string attrs, size, date, time, sector;
  fields >> attrs >> size >> date >> time >> sector;
  Vrec("fault add '28@" + sector + "=03/11/00'");
  for (const bool verbose : {false, true}) {
    SCOPED_TRACE(verbose ? "-v" : "plain");
    std::filesystem::remove_all(tree.Path("out"));
    const Ran r = Tidemark(std::string("extract --quiet ") + (verbose ? "-v " : "") + "/src out");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tidemark: 1 of 3 entries not extracted"), std::string::npos) << r.err;
    size_t longest = 0;
    std::istringstream lines(r.err);
    for (std::string l; std::getline(lines, l);) longest = std::max(longest, l.size());
    if (verbose)
      EXPECT_GT(longest, 600u) << "the failed READ's data bytes";
    else
      EXPECT_LT(longest, 300u) << r.err;
  }
}

// Without a terminal the progress is a plain line now and then, and the
// job ends with what it did.
TEST_F(CliOutcomes, ProgressWithoutATerminal) {
  Vrec("insert DVD+RW");
  Vrec("speed 1x");
  tree.File("src/big.bin", std::string(10 << 20, 'x'));
  unsetenv("TIDEMARK_VREC_SPEED");
  const Ran r = Tidemark("burn src");
  setenv("TIDEMARK_VREC_SPEED", "fast", 1);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no redrawn line";
  // A line names the phase (the data is in the recorder's buffer within
  // the first seconds; then it is synchronized and the session closed).
  EXPECT_NE(r.err.find("Burning "), std::string::npos) << r.err;
  EXPECT_TRUE(r.err.find("  synchronizing  ") != std::string::npos ||
              r.err.find("  writing  ") != std::string::npos ||
              r.err.find("  closing-session  ") != std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Burning: 10."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" sectors) in 0:"), std::string::npos) << r.err;
  Vrec("insert CD-R");
  const Ran test = Tidemark("burn --test src/a.txt");
  ASSERT_EQ(test.status, 0) << test.err;
  EXPECT_NE(test.err.find("test write: nothing was recorded"), std::string::npos) << test.err;
  const Ran quiet = Tidemark("burn --quiet src/a.txt");
  EXPECT_EQ(quiet.err, "");
}

TEST_F(CliOutcomes, HelpForASubcommandAndAMistypedOne) {
  const Ran help = Tidemark("help mkiso");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: tidemark mkiso", 0), 0u) << help.out;
  const Ran typo = Tidemark("mkisoo -o x.iso src");
  EXPECT_EQ(typo.status, 2);
  EXPECT_NE(typo.err.find("did you mean \"mkiso\"?"), std::string::npos) << typo.err;
  const Ran far = Tidemark("frobnicate");
  EXPECT_EQ(far.status, 2);
  EXPECT_EQ(far.err.find("did you mean"), std::string::npos) << far.err;
}

}  // namespace
