// What tidemark burns, read back by independent programs through the
// recorder's /dev/sr0 (the SG_IO shim): xorriso loads the disc's last
// session and extracts it, its table of contents lists the sessions; and
// images made by genisoimage and xorriso burn as they are. The burns go
// through both transports. (Labelled nosan: the shim is preloaded into
// programs without the sanitizer runtime.)

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "image_bytes.h"
#include "peer_tools.h"
#include "temp_tree.h"

namespace {

std::string Tidemark() {
  return std::string(TIDEMARK_BINARY_DIR) + "/bin/tidemark";
}

class BurnPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!peers::Have("xorriso")) GTEST_SKIP() << "xorriso is not installed";
    setenv("TIDEMARK_VREC_DIR", tree.Path("state").c_str(), 1);
    setenv("TIDEMARK_VREC_SPEED", "fast", 1);
    setenv("XDG_CONFIG_HOME", tree.Path("config").c_str(), 1);
  }
  peers::Result Run(const std::string& command) {
    return peers::Run("sh -c " + peers::Quote("cd " + peers::Quote(tree.Path()) + " && " + command),
                      300);
  }
  void Vrec(const std::string& args) {
    const peers::Result r = Run(Tidemark() + " vrec " + args);
    ASSERT_EQ(r.status, 0) << args << ": " << r.output;
  }
  // A burn through the library transport, or through SG_IO under the shim.
  void Burn(const std::string& args, bool sgio) {
    const std::string burn = Tidemark() + " burn --quiet " + args;
    const peers::Result r = Run(sgio ? Tidemark() + " vrec run -- " + burn + " --transport sgio"
                                     : burn + " --transport library");
    ASSERT_EQ(r.status, 0) << args << ": " << r.output;
  }
  // xorriso, as a program that drives recorders itself, on /dev/sr0.
  peers::Result Xorriso(const std::string& args) {
    return Run(Tidemark() + " vrec run -- xorriso -abort_on NEVER -indev /dev/sr0 " + args);
  }
  // The disc's last session, extracted by xorriso, holds exactly Folder.
  void ExpectLastSessionHolds(const std::string& Folder) {
    std::filesystem::remove_all(tree.Path("out"));
    const peers::Result x = Xorriso("-osirrox on -extract / " + peers::Quote(tree.Path("out")));
    ASSERT_EQ(x.status, 0) << x.output;
    const peers::Result d = peers::Run("diff -r " + peers::Quote(tree.Path(Folder)) + " " +
                                       peers::Quote(tree.Path("out/" + Folder)));
    EXPECT_EQ(d.status, 0) << d.output << x.output;
  }
  void MakeSources(const std::string& folder, char fill) {
    tree.File(folder + "/read me.txt", std::string("session ") + fill + "\n");
    tree.File(folder + "/deep/er/data.bin", std::string(150000, fill));
    tree.File(folder + "/Größe.txt", "unicode name\n");
  }

  TempTree tree;
};

TEST_F(BurnPeers, XorrisoReadsTheLastSessionOfEveryMedium) {
  MakeSources("one", 'a');
  MakeSources("two", 'b');
  struct Case {
    const char* medium;
    bool appends;
  } cases[] = {{"CD-R", true},    {"CD-RW", true},   {"DVD+R", true},   {"DVD-R", false},
               {"DVD-RW", false}, {"DVD+RW", false}, {"DVD-RAM", false}};
  for (const bool sgio : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.medium) + (sgio ? " through SG_IO" : " through the library"));
      Vrec(std::string("insert ") + c.medium);
      Burn("one", sgio);
      ExpectLastSessionHolds("one");
      if (!c.appends) continue;
      // The second session follows the first; readers of the last one see it.
      Burn("two", !sgio);
      ExpectLastSessionHolds("two");
      const peers::Result toc = Xorriso("-toc");
      EXPECT_NE(toc.output.find("ISO session  :   2"), std::string::npos) << toc.output;
    }
  }
}

TEST_F(BurnPeers, AContinuedSessionHoldsTheOldFilesAndTheNew) {
  MakeSources("one", 'd');
  MakeSources("two", 'e');
  for (const char* medium : {"CD-R", "DVD+R"}) {
    SCOPED_TRACE(medium);
    Vrec(std::string("insert ") + medium);
    Burn("one", false);
    Burn("--continue two", true);
    ExpectLastSessionHolds("one");
    ExpectLastSessionHolds("two");
  }
}

TEST_F(BurnPeers, ImagesOfOtherProgramsBurnAsTheyAre) {
  MakeSources("one", 'c');
  std::vector<std::string> images;
  if (peers::Have("genisoimage")) {
    ASSERT_EQ(Run("genisoimage -quiet -J -r -o g.iso one").status, 0);
    images.push_back("g.iso");
  }
  ASSERT_EQ(Run("xorriso -as mkisofs -quiet -J -r -o x.iso one").status, 0);
  images.push_back("x.iso");
  for (const std::string& image : images) {
    for (const char* medium : {"CD-R", "DVD+R", "DVD-RW"}) {
      SCOPED_TRACE(image + " on " + medium);
      Vrec(std::string("insert ") + medium);
      const peers::Result r = Run(Tidemark() + " burn-image --quiet " + image);
      ASSERT_EQ(r.status, 0) << r.output;
      Vrec("dump -o disc.iso --force");
      const std::vector<uint8_t> want = image_bytes::ReadFile(tree.Path(image));
      const std::vector<uint8_t> disc = image_bytes::ReadFile(tree.Path("disc.iso"));
      ASSERT_GE(disc.size(), want.size());
      EXPECT_TRUE(std::equal(want.begin(), want.end(), disc.begin()));
      std::filesystem::remove_all(tree.Path("out"));
      const peers::Result x = Xorriso("-osirrox on -extract / " + peers::Quote(tree.Path("out")));
      ASSERT_EQ(x.status, 0) << x.output;
      EXPECT_EQ(peers::Run("diff -r " + peers::Quote(tree.Path("one")) + " " +
                           peers::Quote(tree.Path("out")))
                    .status,
                0);
    }
  }
}

}  // namespace
