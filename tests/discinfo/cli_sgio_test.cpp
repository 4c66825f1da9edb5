// tidemark devices, disc and eject through the built-in SG_IO transport:
// the virtual recorder as /dev/sr0 under `tidemark vrec run`, at the
// default address and on a high host number (a USB recorder).

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/peer_tools.h"
#include "support/temp_tree.h"
#include "vrec/process.h"

namespace {

using vrec::test::RunProgram;
using vrec::test::RunResult;

class SgioCli : public ::testing::Test {
 protected:
  RunResult UnderShim(std::vector<std::string> args, const std::string& address = "") {
    args.insert(args.begin(),
                {vrec::test::Tidemark(), "vrec", "run", "--", vrec::test::Tidemark()});
    std::vector<std::string> env = {"TIDEMARK_VREC_DIR=" + tree.Path("state")};
    if (!address.empty()) env.push_back("TIDEMARK_VREC_ADDRESS=" + address);
    return RunProgram(args, env, 120);
  }
  // A peer program under the shim, in a UTF-8 locale.
  RunResult UnderShimPeer(std::vector<std::string> args) {
    args.insert(args.begin(), {vrec::test::Tidemark(), "vrec", "run", "--"});
    return RunProgram(args, {"TIDEMARK_VREC_DIR=" + tree.Path("state"), "LC_ALL=C.UTF-8"}, 120);
  }
  TempTree tree;
};

TEST_F(SgioCli, TheRecorderAsADeviceNode) {
  for (const auto& [address, host] : {std::pair<std::string, std::string>{"", "0"},
                                      std::pair<std::string, std::string>{"10:0:0:0", "10"}}) {
    SCOPED_TRACE(host);
    const std::string entry = host + ":0:0,sr0: TIDEMARKVIRTUAL RECORDER1.0 ";
    RunResult r = UnderShim({"devices", "--transport", "sgio"}, address);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, entry + "\n");
    // Selected by its node, by its entry and by its index alike.
    for (const std::string& device : {std::string("/dev/sr0"), entry, std::string("0")}) {
      r = UnderShim({"disc", "--transport", "sgio", "--device", device}, address);
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.out.rfind("Media: CD-R\nTotal Size: 703.12 MB\n", 0), 0u) << r.out;
    }
    r = UnderShim({"info"}, address);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(entry + "\nMax Write Speed:  48x\n", 0), 0u) << r.out;
  }
  RunResult r = UnderShim({"eject", "--device", "/dev/sr0"});
  EXPECT_EQ(r.status, 0) << r.err;
  r = UnderShim({"disc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "     -------\n");
  EXPECT_EQ(UnderShim({"load"}).status, 0);
}

// A disc two sessions of which another program wrote: what tidemark reads
// from it matches what cdrskin reports (session starts, next writable
// address, remaining size), through either transport.
TEST_F(SgioCli, ADiscAPeerWroteReadsAsThePeerReadsIt) {
  if (!peers::Have("xorriso") || !peers::Have("cdrskin"))
    GTEST_SKIP() << "xorriso or cdrskin missing";
  tree.File("src/a.txt", std::string(100000, 'a'));
  ASSERT_EQ(RunProgram({vrec::test::Tidemark(), "vrec", "speed", "fast"},
                       {"TIDEMARK_VREC_DIR=" + tree.Path("state")})
                .status,
            0);
  for (const char* folder : {"/first", "/second"}) {
    RunResult r = UnderShimPeer({"xorriso", "-abort_on", "NEVER", "-dev", "/dev/sr0", "-map",
                                 tree.Path("src"), folder, "-close", "off", "-commit"});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const RunResult minfo = UnderShimPeer({"cdrskin", "dev=/dev/sr0", "-minfo"});
  ASSERT_EQ(minfo.status, 0) << minfo.err;
  // The peer's figures.
  std::vector<long> starts;
  long next = -1, remaining = -1;
  std::istringstream in(minfo.out);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    long track = 0, session = 0, start = 0;
    std::string type;
    if ((words >> track >> session >> type >> start) && type == "Data") starts.push_back(start);
    if (line.rfind("Next writable address:", 0) == 0) next = std::stol(line.substr(22));
    if (line.rfind("Remaining writable size:", 0) == 0) remaining = std::stol(line.substr(24));
  }
  ASSERT_EQ(starts.size(), 2u) << minfo.out;
  ASSERT_GT(next, 0) << minfo.out;

  for (bool sgio : {false, true}) {
    SCOPED_TRACE(sgio ? "sgio" : "library");
    RunResult r =
        sgio ? UnderShim({"disc", "--json", "--transport", "sgio"})
             : RunProgram({vrec::test::Tidemark(), "disc", "--json", "--transport", "library"},
                          {"TIDEMARK_VREC_DIR=" + tree.Path("state")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (size_t i = 0; i < starts.size(); ++i) {
      const long frames = starts[i] + 150;
      char line[64];
      std::snprintf(line, sizeof line, "  %03zu      %03ld:%02ld:%02ld", i + 1, frames / 4500,
                    frames / 75 % 60, frames % 75);
      EXPECT_NE(r.out.find(std::string("\"") + line), std::string::npos) << line << "\n" << r.out;
    }
    EXPECT_NE(r.out.find("\"used_blocks\":" + std::to_string(next) + ","), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"free_blocks\":" + std::to_string(remaining) + ","), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"first_session\":1,\"last_session\":2"), std::string::npos) << r.out;
  }
}

}  // namespace
