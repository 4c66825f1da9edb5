// Multisession discs written by other programs onto a virtual CD-R through
// `tidemark vrec run` (the recorder as /dev/sr0), then read with tidemark
// ls and extract: xorriso appending a session, and genisoimage -C/-M
// sessions burned with cdrskin -multi.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "peer_tools.h"
#include "process.h"
#include "reader_fixture.h"

namespace {

namespace fs = std::filesystem;
using vrec::test::RunProgram;
using vrec::test::RunResult;
using vrec::test::Tidemark;

std::map<std::string, std::string> Snapshot(const std::string& Root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(Root)) {
    const std::string rel = fs::relative(e.path(), Root).string();
    const auto b = e.is_directory() ? std::vector<uint8_t>{'/'} : reader_test::ReadBytes(e.path());
    out[rel] = std::string(b.begin(), b.end());
  }
  return out;
}

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> out;
  std::istringstream in(Text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

class PeerDiscs : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* p : {"xorriso", "cdrskin", "genisoimage"})
      if (!peers::Have(p)) GTEST_SKIP() << p << " missing";
    t.File("one/readme.txt", "first session\n");
    t.File("one/data/a.bin", std::string(100000, 'a'));
    t.File("two/notes.txt", "second session\n");
    t.File("two/sub/b.bin", std::string(70000, 'b'));
    ASSERT_EQ(Run({"vrec", "speed", "fast"}).status, 0);
  }
  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), Tidemark());
    return RunProgram(args,
                      {"TIDEMARK_VREC_DIR=" + t.Path("vrec"), "XDG_CONFIG_HOME=" + t.Path("config"),
                       std::string("TIDEMARK_ASPI_LIBRARY=") + VREC_ASPI_LIBRARY},
                      300);
  }
  RunResult Shim(std::vector<std::string> args) {
    args.insert(args.begin(), {"vrec", "run", "--"});
    return Run(args);
  }
  RunResult Read(const std::string& Command, std::vector<std::string> args) {
    args.insert(args.begin(), {Command, "--transport", "library"});
    return Run(args);
  }
  // The session's tree extracted whole.
  std::map<std::string, std::string> Extracted(const std::string& Session) {
    const std::string out = t.Path("out-" + Session);
    const RunResult r = Read("extract", {"--session", Session, "/", out});
    EXPECT_EQ(r.status, 0) << r.err;
    return Snapshot(out);
  }
  TempTree t;
};

TEST_F(PeerDiscs, XorrisoSessionsOnACdR) {
  RunResult w =
      Shim({"xorriso", "-dev", "/dev/sr0", "-joliet", "on", "-map", t.Path("one"), "/", "-commit"});
  ASSERT_EQ(w.status, 0) << w.out << w.err;
  w = Shim(
      {"xorriso", "-dev", "/dev/sr0", "-joliet", "on", "-map", t.Path("two"), "/two", "-commit"});
  ASSERT_EQ(w.status, 0) << w.out << w.err;

  const RunResult ls1 = Read("ls", {"--session", "1"});
  ASSERT_EQ(ls1.status, 0) << ls1.err;
  EXPECT_EQ(Lines(ls1.out), (std::vector<std::string>{"/data/", "/data/a.bin", "/readme.txt"}));
  EXPECT_EQ(Extracted("1"), Snapshot(t.Path("one")));

  auto both = Snapshot(t.Path("one"));
  both["two"] = "/";
  for (const auto& [rel, content] : Snapshot(t.Path("two"))) both["two/" + rel] = content;
  EXPECT_EQ(Extracted("2"), both);
  EXPECT_EQ(Read("ls", {}).out, Read("ls", {"--session", "2"}).out) << "the last session";
}

TEST_F(PeerDiscs, GenisoimageSessionsBurnedWithCdrskin) {
  const std::string s1 = t.Path("s1.iso"), s2 = t.Path("s2.iso");
  ASSERT_EQ(peers::Run("genisoimage -quiet -J -r -o " + peers::Quote(s1) + " " +
                       peers::Quote(t.Path("one")))
                .status,
            0);
  RunResult w = Shim({"cdrskin", "dev=/dev/sr0", "-multi", s1});
  ASSERT_EQ(w.status, 0) << w.out << w.err;
  const RunResult msinfo = Shim({"cdrskin", "dev=/dev/sr0", "-msinfo"});
  ASSERT_EQ(msinfo.status, 0) << msinfo.err;
  const std::string where = Lines(msinfo.out).back();
  // genisoimage reads the first session's tree from the disc itself.
  w = Shim({"genisoimage", "-quiet", "-J", "-r", "-C", where, "-M", "/dev/sr0", "-o", s2,
            t.Path("two")});
  ASSERT_EQ(w.status, 0) << w.out << w.err;
  w = Shim({"cdrskin", "dev=/dev/sr0", "-multi", s2});
  ASSERT_EQ(w.status, 0) << w.out << w.err;

  EXPECT_EQ(Extracted("1"), Snapshot(t.Path("one")));
  auto both = Snapshot(t.Path("one"));
  both.merge(Snapshot(t.Path("two")));
  EXPECT_EQ(Extracted("2"), both);
}

}  // namespace
