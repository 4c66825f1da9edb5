// tidemark vrec as scripts use it.

#include <gtest/gtest.h>

#include <fstream>

#include "process.h"
#include "vrec_fixture.h"

namespace vrec::test {
namespace {

class VrecCli : public ::testing::Test {
 protected:
  RunResult Vrec(std::vector<std::string> args) {
    args.insert(args.begin(), {Tidemark(), "vrec"});
    return RunProgram(args, {"TIDEMARK_VREC_DIR=" + folder_, "TIDEMARK_VREC_SPEED="});
  }
  TempDir dir_;
  std::string folder_ = dir_.path() + "/state";
};

TEST_F(VrecCli, StatusOfAFreshFolder) {
  RunResult r = Vrec({"status"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("medium: CD-R\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("state: blank\n"), std::string::npos);
  EXPECT_NE(r.out.find("next writable address: 0\n"), std::string::npos);
  EXPECT_NE(r.out.find("speed: fast\n"), std::string::npos);
  RunResult j = Vrec({"status", "--json"});
  ASSERT_EQ(j.status, 0);
  EXPECT_EQ(
      j.out.rfind(
          "{\"event\":\"vrec-status\",\"medium\":\"CD-R\",\"profile\":9,\"state\":\"blank\"", 0),
      0u)
      << j.out;
}

TEST_F(VrecCli, InsertSpeedFaultsAndTheirErrors) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;  // on standard output (0) or error (others)
  };
  const Case cases[] = {
      {{"insert", "dvd+rw"}, 0, "inserted a blank DVD+RW of 2295104 blocks"},
      {{"insert", "CD-R", "--capacity", "333000"}, 0, "inserted a blank CD-R of 333000 blocks"},
      {{"insert", "BD-R"}, 2, "unknown medium \"BD-R\""},
      {{"insert", "CD-R", "--capacity", "12"}, 2, "--capacity takes"},
      {{"insert"}, 2, "takes one MEDIUM"},
      {{"speed", "4x"}, 0, "speed: 4x"},
      {{"speed", "2.4x"}, 0, "speed: 2.4x"},
      {{"speed", "slow"}, 2, "speed must be"},
      {{"fault", "add", "2A@300=03/0C/00"}, 0, ""},
      {{"fault", "add", "2A#4*2=02/04/08"}, 0, ""},
      {{"fault", "list"}, 0, "2A@300=03/0C/00 fired 0\n2A#4*2=02/04/08 fired 0\n"},
      {{"fault", "add", "nonsense"}, 2, "bad fault rule"},
      {{"fault", "clear"}, 0, ""},
      {{"fault", "list"}, 0, ""},
      {{"frobnicate"}, 2, "unknown vrec subcommand"},
      {{"status", "--target", "9"}, 2, "--target"},
      {{"dump"}, 2, "needs -o FILE"},
      {{"run"}, 2, "needs a COMMAND"},
  };
  for (const Case& c : cases) {
    RunResult r = Vrec(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << " " << r.err;
    const std::string& text = c.status == 0 ? r.out : r.err;
    if (*c.says == '\0' && c.status == 0) {
      EXPECT_EQ(text, "") << c.args[0];
    } else {
      EXPECT_NE(text.find(c.says), std::string::npos) << c.args[0] << ": " << text;
    }
  }
  RunResult s = Vrec({"status"});
  EXPECT_NE(s.out.find("speed: 2.4x"), std::string::npos) << s.out;
  EXPECT_NE(s.out.find("capacity: 333000 blocks"), std::string::npos) << s.out;
}

TEST_F(VrecCli, InsertImageAndDumpItBack) {
  std::string image = dir_.path() + "/in.iso", back = dir_.path() + "/out.iso";
  {
    std::ofstream f(image, std::ios::binary);
    for (int i = 0; i < 5 * 2048; ++i) f.put(static_cast<char>(i * 7));
  }
  RunResult in = Vrec({"insert-image", image});
  ASSERT_EQ(in.status, 0) << in.err;
  EXPECT_NE(in.out.find("inserted a CD-ROM of 5 blocks"), std::string::npos) << in.out;
  ASSERT_EQ(Vrec({"dump", "-o", back}).status, 0);
  std::ifstream a(image, std::ios::binary), b(back, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}),
            std::string(std::istreambuf_iterator<char>(b), {}));
  RunResult again = Vrec({"dump", "-o", back});
  EXPECT_EQ(again.status, 2);  // never replaced silently
  EXPECT_NE(again.err.find("--force"), std::string::npos);
  EXPECT_EQ(Vrec({"dump", "--force", "-o", back}).status, 0);
  EXPECT_EQ(Vrec({"dump", "--session", "2", "--force", "-o", back}).status, 1);
  EXPECT_EQ(Vrec({"insert-image", dir_.path() + "/missing.iso"}).status, 2);
  ASSERT_EQ(Vrec({"remove"}).status, 0);
  EXPECT_NE(Vrec({"status"}).out.find("medium: none"), std::string::npos);
  RunResult nothing = Vrec({"dump", "--force", "-o", back});
  EXPECT_EQ(nothing.status, 1);
  EXPECT_NE(nothing.err.find("no disc"), std::string::npos);
}

TEST_F(VrecCli, ForeignAndCorruptFolders) {
  std::filesystem::create_directories(folder_);
  { std::ofstream(folder_ + "/mine.txt") << "x"; }
  RunResult foreign = Vrec({"status"});
  EXPECT_EQ(foreign.status, 3);
  EXPECT_NE(foreign.err.find("not a virtual recorder state folder"), std::string::npos);
  EXPECT_EQ(Vrec({"reset"}).status, 1);  // not even a reset writes into someone's folder
  std::filesystem::remove(folder_ + "/mine.txt");

  ASSERT_EQ(Vrec({"status"}).status, 0);
  { std::ofstream(folder_ + "/recorder0/state", std::ios::trunc) << "garbage"; }
  RunResult corrupt = Vrec({"status"});
  EXPECT_EQ(corrupt.status, 3);
  EXPECT_NE(corrupt.err.find("corrupt"), std::string::npos) << corrupt.err;
  EXPECT_NE(corrupt.err.find("vrec reset"), std::string::npos);
  EXPECT_EQ(Vrec({"insert", "CD-R"}).status, 3);  // still not overwritten
  RunResult reset = Vrec({"reset"});
  ASSERT_EQ(reset.status, 0) << reset.err;
  EXPECT_NE(Vrec({"status"}).out.find("state: blank"), std::string::npos);
}

TEST_F(VrecCli, RunPassesTheExitStatusAndTheEnvironment) {
  RunResult r =
      Vrec({"run", "--", "sh", "-c",
            "echo $TIDEMARK_VREC_NODE $TIDEMARK_VREC_ADDRESS; test -n \"$LD_PRELOAD\"; exit 7"});
  EXPECT_EQ(r.status, 7) << r.err;
  EXPECT_EQ(r.out, "/dev/sr0 0:0:0:0\n");
  EXPECT_EQ(Vrec({"run", "--", "/nonexistent/program"}).status, 127);
}

TEST_F(VrecCli, TwoRecorders) {
  ASSERT_EQ(Vrec({"insert", "--target", "1", "DVD-RAM"}).status, 0);
  EXPECT_NE(Vrec({"status", "--target", "1"}).out.find("medium: DVD-RAM"), std::string::npos);
  EXPECT_NE(Vrec({"status"}).out.find("medium: CD-R"), std::string::npos);
  EXPECT_EQ(RecordersInFolder(folder_), (std::vector<int>{0, 1}));
}

}  // namespace
}  // namespace vrec::test
