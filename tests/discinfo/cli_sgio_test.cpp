// tidemark devices, disc and eject through the built-in SG_IO transport:
// the virtual recorder as /dev/sr0 under `tidemark vrec run`, at the
// default address and on a high host number (a USB recorder).

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
