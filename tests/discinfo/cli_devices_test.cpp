// tidemark devices, info, disc, eject and load against the virtual recorder
// through the library transport, and the --device/--transport helper.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_device.h"
#include "cli/command.h"
#include "support/temp_tree.h"
#include "vrec/process.h"

namespace {

using vrec::test::RunProgram;
using vrec::test::RunResult;

const std::string kEntry = "0:0:0,?: TIDEMARKVIRTUAL RECORDER1.0 ";

class DevicesCli : public ::testing::Test {
 protected:
  RunResult Tidemark(std::vector<std::string> args, std::vector<std::string> env = {}) {
    args.insert(args.begin(), vrec::test::Tidemark());
    env.push_back("TIDEMARK_VREC_DIR=" + tree.Path("state"));
    // No recorder of the machine running the tests takes part.
    env.push_back("TIDEMARK_SYSFS_ROOT=" + tree.Dir("sys"));
#ifdef LIBRARY_FOLDER_FOR_THE_LOADER
    env.push_back(std::string("LD_LIBRARY_PATH=") + LIBRARY_FOLDER_FOR_THE_LOADER);
#endif
    return RunProgram(args, env, 120);
  }
  TempTree tree;
};

TEST_F(DevicesCli, DevicesListsTheEntries) {
  RunResult r = Tidemark({"devices"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kEntry + "\n");
  EXPECT_EQ(r.err, "");

  ASSERT_EQ(Tidemark({"vrec", "insert", "--target", "1", "DVD-R"}).status, 0);
  r = Tidemark({"devices", "--json"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "{\"event\":\"device\",\"index\":0,\"entry\":\"" + kEntry +
                       "\",\"drive\":\"?\"}\n"
                       "{\"event\":\"device\",\"index\":1,\"entry\":\"0:1:0,?: TIDEMARKVIRTUAL "
                       "RECORDER1.0 \",\"drive\":\"?\"}\n"
                       "{\"event\":\"result\",\"ok\":true,\"devices\":2}\n");
}

TEST_F(DevicesCli, InfoShowsTheRecorderAndItsSpeeds) {
  RunResult r = Tidemark({"info"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string want = kEntry + "\nMax Write Speed:  48x\nMax Read Speed:  48x\n";
  for (const char* cap :
       {"Read CDR", "Read CDRW", "Read DVD", "Read DVD-R", "Read DVD-RW", "Read DVD-RAM",
        "Read DVD+R", "Read DVD+RW", "Write CDR", "Write CDRW", "Write DVD-R", "Write DVD-RW",
        "Write DVD-RAM", "Write DVD+R", "Write DVD+RW", "Write Test", "Underrun Protection"}) {
    want += std::string(cap) + ": yes\n";
  }
  want +=
      "Speed:\nMax\n48X (7,200 KB/s)\n40X (6,000 KB/s)\n32X (4,800 KB/s)\n24X (3,600 KB/s)\n"
      "16X (2,400 KB/s)\n08X (1,200 KB/s)\n04X (600 KB/s)\n";
  EXPECT_EQ(r.out, want);
}

TEST_F(DevicesCli, DiscShowsTheSessionDialogsLines) {
  RunResult r = Tidemark({"disc"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Media: CD-R\n"
            "Total Size: 703.12 MB\n"
            "Used Size: 0.00 MB\n"
            "Session    Duration     Size\n"
            " Free      00:00:00   703 MB\n");

  // A read-only disc made from an image.
  tree.File("src/a.txt", std::string(3000000, 'a'));
  ASSERT_EQ(Tidemark({"mkiso", "-q", "-o", tree.Path("a.iso"), tree.Path("src")}).status, 0);
  ASSERT_EQ(Tidemark({"vrec", "insert-image", tree.Path("a.iso")}).status, 0);
  r = Tidemark({"disc", "--json"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"lines\":[\"  001      000:02:00     3 MB\","), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"medium\":\"CD-ROM\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"first_session\":1,\"last_session\":1"), std::string::npos) << r.out;
}

TEST_F(DevicesCli, EjectAndLoad) {
  RunResult r = Tidemark({"eject", "-v"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(">>> EJECT MEDIUM COMMAND DONE."), std::string::npos) << r.err;
  EXPECT_NE(Tidemark({"vrec", "status"}).out.find("tray: open"), std::string::npos);
  r = Tidemark({"disc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "     -------\n");
  EXPECT_EQ(r.err.rfind("tidemark: no disc, or the recorder is not ready (NOT READY (MEDIUM NOT "
                        "PRESENT",
                        0),
            0u)
      << r.err;
  r = Tidemark({"load"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(Tidemark({"vrec", "status"}).out.find("tray: closed"), std::string::npos);
  EXPECT_EQ(Tidemark({"disc"}).status, 0);

  // A locked tray stays shut when the recorder refuses.
  ASSERT_EQ(Tidemark({"vrec", "fault", "add", "1B=05/53/02"}).status, 0);
  r = Tidemark({"eject", "--json"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tidemark: ILLEGAL REQUEST (MEDIUM REMOVAL PREVENTED)\n");
  EXPECT_EQ(r.out,
            "{\"event\":\"result\",\"ok\":false,\"error\":\"ILLEGAL REQUEST (MEDIUM "
            "REMOVAL PREVENTED)\"}\n");
}

TEST_F(DevicesCli, ChoosingTheRecorder) {
  ASSERT_EQ(Tidemark({"vrec", "insert", "--target", "1", "DVD+RW"}).status, 0);
  for (const std::string& device :
       {std::string("1"), std::string("0:1:0,?: TIDEMARKVIRTUAL RECORDER1.0 "),
        std::string("0:1:0,?: TIDEMARKVIRTUAL RECORDER1.0")}) {
    SCOPED_TRACE(device);
    RunResult r = Tidemark({"disc", "--device", device, "--transport", "library"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Media: DVD+RW\n", 0), 0u) << r.out;
  }
  struct Bad {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Bad bad[] = {
      {{"disc", "--device", "2"},
       3,
       "tidemark: there is no recorder 2 (2 found; tidemark devices lists them)\n"},
      {{"info", "--device", "/dev/sr7"},
       3,
       "tidemark: no recorder is /dev/sr7 (tidemark devices lists them)\n"},
      {{"disc", "--transport", "scsi"},
       2,
       "tidemark: --transport takes auto, sgio or library, not scsi\n"},
      {{"devices", "--transport", "sgio"}, 3, "tidemark: no recorder answers through SG_IO\n"},
      {{"devices", "sr0"},
       2,
       "tidemark: devices takes no arguments (see tidemark devices --help)\n"},
      {{"load", "--device"}, 2, ""},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.args[0] + " " + b.args[1]);
    RunResult r = Tidemark(b.args);
    EXPECT_EQ(r.status, b.status);
    if (!b.err.empty()) {
      EXPECT_EQ(r.err, b.err);
    }
    EXPECT_EQ(r.out, "");
  }
  RunResult r = Tidemark({"devices", "--transport", "library"},
                         {"TIDEMARK_ASPI_LIBRARY=" + tree.Path("missing.so")});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("no ASPI library was found"), std::string::npos) << r.err;
  EXPECT_EQ(Tidemark({"devices", "--help"}).status, 0);
}

TEST(RecorderChoice, FindRecorder) {
  const std::vector<std::string> list = {"0:0:0,sr0: TIDEMARKVIRTUAL RECORDER1.0 ",
                                         "10:0:0,sr1: ACME    DVD WRITER      2.00",
                                         "1:0:0,?: ACME    OLD DRIVE       0001"};
  struct Case {
    std::string device;
    int want;  // -1: none
  };
  const Case cases[] = {
      {list[1], 1},
      {"10:0:0,sr1: ACME    DVD WRITER      2.00  ", 1},
      {"2", 2},
      {"0", 0},
      {"3", -1},
      {"/dev/sr1", 1},
      {"/dev/sr0", 0},
      {"/dev/sr9", -1},
      {"/some/where/sr1", 1},
      {"?", -1},
      {"", -1},
      {"-1", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    std::string error;
    const auto found = cli::FindRecorder(list, c.device, error);
    if (c.want < 0) {
      EXPECT_FALSE(found.has_value());
      EXPECT_FALSE(error.empty());
    } else {
      ASSERT_TRUE(found.has_value()) << error;
      EXPECT_EQ(*found, static_cast<size_t>(c.want));
    }
  }
  // A link to a node names the node it points to.
  TempTree tree;
  const std::string node = tree.File("dev/sr1");
  const std::string link = tree.Link("dev/cdrom", node);
  std::string error;
  EXPECT_EQ(cli::FindRecorder(list, link, error), std::optional<size_t>(1));

  EXPECT_EQ(cli::ParseTransport("auto"), cli::TransportKind::Auto);
  EXPECT_EQ(cli::ParseTransport("sgio"), cli::TransportKind::SgIo);
  EXPECT_EQ(cli::ParseTransport("library"), cli::TransportKind::Library);
  EXPECT_FALSE(cli::ParseTransport("SGIO").has_value());
}

}  // namespace
