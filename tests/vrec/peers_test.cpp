// Independent burning programs from Debian drive the virtual recorder
// through the SG_IO shim (`tidemark vrec run`) and read the result back.
// They report many failures with exit status 0, so their output is read.
// These programs are what makes the emulation believable: a missing one
// fails the test rather than skipping it.

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <tuple>

#include "process.h"
#include "vrec_fixture.h"

namespace vrec::test {
namespace {

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

class VrecPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"xorriso", "cdrskin", "growisofs", "cdrdao", "sg_inq", "sg_readcap",
                             "isoinfo", "genisoimage"}) {
      RunResult which = RunProgram({"sh", "-c", std::string("command -v ") + tool}, {});
      ASSERT_EQ(which.status, 0) << tool << " is missing (scripts/setup-deps.sh installs it)";
    }
    MakeTree(src1_, 1, 3);
    MakeTree(src2_, 2, 2);
  }

  // Files of pseudo-random bytes, a few hundred KiB each.
  static void MakeTree(const std::string& dir, unsigned seed, int files) {
    std::filesystem::create_directories(dir + "/sub");
    std::mt19937 gen(seed);
    for (int i = 0; i < files; ++i) {
      std::ofstream f(dir + (i % 2 ? "/sub/" : "/") + "file" + std::to_string(i) + ".bin",
                      std::ios::binary);
      std::size_t size = 100000 + gen() % 300000;
      for (std::size_t b = 0; b < size; ++b) f.put(static_cast<char>(gen()));
    }
  }

  std::vector<std::string> Env() const {
    return {"TIDEMARK_VREC_DIR=" + folder_, "TIDEMARK_VREC_SPEED=fast",
            "TIDEMARK_VREC_NODE=", "TIDEMARK_VREC_ADDRESS="};
  }
  RunResult Vrec(std::vector<std::string> args) {
    args.insert(args.begin(), {Tidemark(), "vrec"});
    return RunProgram(args, Env());
  }
  // A program run with the recorder as /dev/sr0; standard error joins the output.
  RunResult Shim(std::vector<std::string> command, std::vector<std::string> env = {}) {
    command.insert(command.begin(), {Tidemark(), "vrec", "run", "--"});
    std::vector<std::string> all = Env();
    all.insert(all.end(), env.begin(), env.end());
    RunResult r = RunProgram(command, all, 180);
    r.out += r.err;
    return r;
  }
  void Insert(const char* medium) { ASSERT_EQ(Vrec({"insert", medium}).status, 0); }
  std::string Status() { return Vrec({"status"}).out; }

  // xorriso reading the disc compares a session with the files on disk.
  void ExpectSessionMatches(const std::string& tree, const std::string& where,
                            const std::string& load = "") {
    std::vector<std::string> cmd = {"xorriso"};
    if (!load.empty()) cmd.insert(cmd.end(), {"-load", "sbsector", load});
    cmd.insert(cmd.end(), {"-indev", "/dev/sr0", "-compare_r", tree, where});
    RunResult r = Shim(cmd);
    EXPECT_TRUE(Has(r.out, "Both file objects match as far as expectable")) << r.out;
    EXPECT_FALSE(Has(r.out, "Differences detected")) << r.out;
    EXPECT_FALSE(Has(r.out, "differs")) << r.out;
  }
  std::string MakeImage(const std::string& tree, const std::string& name) {
    std::string image = dir_.path() + "/" + name;
    RunResult r =
        RunProgram({"xorriso", "-outdev", "stdio:" + image, "-map", tree, "/", "-commit"}, {});
    EXPECT_EQ(r.status, 0) << r.err;
    return image;
  }

  TempDir dir_;
  std::string folder_ = dir_.path() + "/state";
  std::string src1_ = dir_.path() + "/src1";
  std::string src2_ = dir_.path() + "/src2";
};

TEST_F(VrecPeers, TheRecorderLooksLikeALinuxDrive) {
  RunResult inq = Shim({"sg_inq", "/dev/sr0"});
  EXPECT_EQ(inq.status, 0) << inq.out;
  EXPECT_TRUE(Has(inq.out, "Vendor identification: TIDEMARK")) << inq.out;
  EXPECT_TRUE(Has(inq.out, "Product identification: VIRTUAL RECORDER"));
  EXPECT_TRUE(Has(inq.out, "Peripheral device type: cd/dvd"));

  std::string image = MakeImage(src1_, "one.iso");
  ASSERT_EQ(Vrec({"insert-image", image}).status, 0);
  std::uintmax_t blocks = std::filesystem::file_size(image) / 2048;
  RunResult cap = Shim({"sh", "-c", "sg_turs /dev/sr0; sg_readcap /dev/sr0"});
  EXPECT_TRUE(Has(cap.out, "Last LBA=" + std::to_string(blocks - 1))) << cap.out;
  EXPECT_TRUE(Has(cap.out, "Logical block length=2048 bytes"));

  RunResult sys = Shim({"sh", "-c",
                        "stat -c '%F %t:%T' /dev/sr3; ls /sys/class/block | grep '^sr'; "
                        "cat /sys/class/block/sr3/device/type /sys/class/block/sr3/device/vendor "
                        "/sys/class/block/sr3/device/model; readlink /sys/class/block/sr3/device; "
                        "cat /sys/bus/scsi/devices/10:0:0:0/rev"},
                       {"TIDEMARK_VREC_NODE=/dev/sr3", "TIDEMARK_VREC_ADDRESS=10:0:0:0"});
  EXPECT_EQ(sys.out,
            "block special file b:3\nsr3\n5\nTIDEMARK\nVIRTUAL RECORDER\n../../../10:0:0:0\n1.0 \n")
      << sys.out;

  // Readers take the node for a block device holding the image.
  RunResult iso = Shim({"isoinfo", "-d", "-i", "/dev/sr0"});
  EXPECT_TRUE(Has(iso.out, "Volume id: ISOIMAGE")) << iso.out;
  RunResult dd =
      Shim({"sh", "-c", "dd if=/dev/sr0 bs=2048 status=none | cmp - '" + image + "' && echo same"});
  EXPECT_TRUE(Has(dd.out, "same")) << dd.out;
}

TEST_F(VrecPeers, CdrskinAndXorrisoWriteAndAppendSessionsOnACdR) {
  std::string image = MakeImage(src1_, "one.iso");
  RunResult burn = Shim({"cdrskin", "-v", "dev=/dev/sr0", "-multi", image});
  EXPECT_EQ(burn.status, 0) << burn.out;
  EXPECT_FALSE(Has(burn.out, "FATAL")) << burn.out;
  EXPECT_TRUE(Has(Status(), "state: appendable"));

  RunResult append = Shim({"xorriso", "-dev", "/dev/sr0", "-map", src2_, "/second", "-commit"});
  EXPECT_EQ(append.status, 0) << append.out;
  EXPECT_TRUE(Has(append.out, "Writing to '/dev/sr0' completed successfully")) << append.out;
  std::string status = Status();
  EXPECT_TRUE(Has(status, "session 2: tracks 2-2")) << status;

  ExpectSessionMatches(src2_, "/second");  // the last session
  ExpectSessionMatches(src1_, "/", "0");   // the first one
  RunResult toc = Shim({"cdrskin", "dev=/dev/sr0", "-toc"});
  EXPECT_TRUE(Has(toc.out, "first: 1 last 2")) << toc.out;
  RunResult atip = Shim({"cdrskin", "dev=/dev/sr0", "-atip"});
  EXPECT_TRUE(Has(atip.out, "ATIP start of lead out: 359849")) << atip.out;
  EXPECT_TRUE(Has(atip.out, "Is not erasable"));

  // The whole disc as an image file keeps the sessions at their blocks.
  std::string dump = dir_.path() + "/disc.img";
  ASSERT_EQ(Vrec({"dump", "-o", dump}).status, 0);
  std::size_t at = status.find("session 2: tracks 2-2, blocks ");
  ASSERT_NE(at, std::string::npos);
  std::string second = status.substr(at + 30, status.find('-', at + 30) - (at + 30));
  for (const auto& [tree, where, load] : {std::tuple{src1_, std::string("/"), std::string("0")},
                                          std::tuple{src2_, std::string("/second"), second}}) {
    RunResult reread = RunProgram({"xorriso", "-load", "sbsector", load, "-indev", "stdio:" + dump,
                                   "-compare_r", tree, where},
                                  {});
    EXPECT_TRUE(Has(reread.out + reread.err, "Both file objects match")) << load << reread.err;
  }
}

TEST_F(VrecPeers, CdRwIsBlankedByCdrskinAndXorriso) {
  Insert("CD-RW");
  std::string image = MakeImage(src1_, "one.iso");
  ASSERT_EQ(Shim({"cdrskin", "dev=/dev/sr0", image}).status, 0);
  EXPECT_TRUE(Has(Status(), "state: complete"));
  RunResult fast = Shim({"cdrskin", "dev=/dev/sr0", "blank=fast"});
  EXPECT_EQ(fast.status, 0) << fast.out;
  EXPECT_TRUE(Has(Status(), "state: blank"));
  ASSERT_EQ(Shim({"xorriso", "-dev", "/dev/sr0", "-map", src2_, "/", "-commit"}).status, 0);
  RunResult all = Shim({"xorriso", "-dev", "/dev/sr0", "-blank", "all"});
  EXPECT_TRUE(Has(all.out, "Media status : is blank")) << all.out;
  EXPECT_TRUE(Has(Status(), "state: blank"));
}

TEST_F(VrecPeers, XorrisoWritesEveryKindOfDvd) {
  for (const char* medium : {"DVD-R", "DVD+R", "DVD+RW", "DVD-RW", "DVD-RAM"}) {
    Insert(medium);
    RunResult w = Shim({"xorriso", "-dev", "/dev/sr0", "-map", src1_, "/", "-commit"});
    EXPECT_TRUE(Has(w.out, "Writing to '/dev/sr0' completed successfully")) << medium << w.out;
    ExpectSessionMatches(src1_, "/");
  }
  // Appending to DVD+R makes a second session.
  Insert("DVD+R");
  ASSERT_EQ(Shim({"xorriso", "-dev", "/dev/sr0", "-map", src1_, "/", "-commit"}).status, 0);
  ASSERT_EQ(Shim({"xorriso", "-dev", "/dev/sr0", "-map", src2_, "/second", "-commit"}).status, 0);
  EXPECT_TRUE(Has(Status(), "session 2:"));
  ExpectSessionMatches(src2_, "/second");
}

TEST_F(VrecPeers, GrowisofsWritesAndAppendsDvds) {
  for (const char* medium : {"DVD+RW", "DVD-R", "DVD+R"}) {
    Insert(medium);
    RunResult z = Shim({"growisofs", "-Z", "/dev/sr0", "-R", "-J", src1_});
    EXPECT_EQ(z.status, 0) << medium << z.out;
    // isoinfo reads the node as a block device (through stdio).
    RunResult iso = Shim({"isoinfo", "-R", "-f", "-i", "/dev/sr0"});
    EXPECT_TRUE(Has(iso.out, "/sub/file1.bin")) << medium << iso.out;
    ExpectSessionMatches(src1_ + "/file0.bin", "/file0.bin");
    // growisofs -M runs genisoimage, which reads the previous session from
    // the device in a process of its own.
    RunResult m =
        Shim({"growisofs", "-M", "/dev/sr0", "-R", "-J", "-graft-points", "/second=" + src2_});
    EXPECT_EQ(m.status, 0) << medium << m.out;
    ExpectSessionMatches(src2_, "/second");
    ExpectSessionMatches(src1_ + "/file0.bin", "/file0.bin");
  }
}

TEST_F(VrecPeers, CdrdaoWritesADataCd) {
  std::string image = MakeImage(src1_, "one.iso");
  std::string toc = dir_.path() + "/one.toc";
  { std::ofstream(toc) << "CD_ROM\nTRACK MODE1\nDATAFILE \"" << image << "\"\n"; }
  RunResult w = Shim({"cdrdao", "write", "--device", "/dev/sr0", "-n", toc});
  EXPECT_EQ(w.status, 0) << w.out;
  EXPECT_TRUE(Has(w.out, "Writing finished successfully")) << w.out;
  EXPECT_TRUE(Has(Status(), "state: complete"));
  ExpectSessionMatches(src1_, "/");
}

}  // namespace
}  // namespace vrec::test
