// What the disc writers do when the drive does not simply take the data:
// busy and not-ready retries, write errors, a tray opened mid-burn, a
// failed synchronisation or close, a lead-out that never ends, and the
// user's abort.

#include "burn_fixture.h"

namespace burn_test {
namespace {

class BurnFaults : public VrecBurn {
 protected:
  void SetUp() override {
    VrecBurn::SetUp();
    tree.File("src/a.bin", std::string(100000, 'a'));
    tree.File("src/b.bin", std::string(300000, 'b'));
  }
  // A fresh disc with these fault rules, and the compilation of src.
  void Prepare(const std::string& medium, const std::vector<std::string>& rules) {
    Insert(medium);
    for (const std::string& r : rules) ASSERT_EQ(Vrec("fault add '" + r + "'"), 0) << r;
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    AddTree();
    reports.Reset(*burner);
    burner->slept = 0;
    burner->sleeps = 0;
  }
};

TEST_F(BurnFaults, ADriveThatIsBusyForAWhileGetsEveryBlockOnceAtItsAddress) {
  for (const char* rule : {"2A#3*2=02/04/08", "2A#2*3=busy", "2A#4*1=0B/00/00"}) {
    SCOPED_TRACE(rule);
    Prepare("CD-R", {rule});
    std::vector<uint8_t> image;
    ASSERT_EQ(Burn(&image), "");
    EXPECT_GE(burner->slept.load(), 600) << "a retry waits 600 ms";
    const std::vector<uint8_t> disc = Dump(1);
    ASSERT_GE(disc.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), disc.begin()));
  }
}

TEST_F(BurnFaults, ADriveThatStaysBusyEndsTheJobAfterTenThousandAttempts) {
  Prepare("CD-R", {"2A#2=02/04/08"});
  EXPECT_EQ(Burn(), "WRITER BUSY/BUFFER FULL");
  EXPECT_GE(burner->slept.load(), 10000 * 600);
  EXPECT_EQ(reports.finalizing, 1) << "the drive's cache is still synchronised";
  EXPECT_EQ(burner->BytesWritten.load(), 31 * 2048);
  EXPECT_EQ(State(), "appendable") << "the open session is not closed";
  EXPECT_EQ(Count("sessions"), 1);
  EXPECT_NE(Status().find("\"closed\":false"), std::string::npos);
}

TEST_F(BurnFaults, WriteErrorsAndAnOpenedTrayEndTheJobWithTheDrivesReason) {
  struct Case {
    const char* rule;
    const char* error;
  } cases[] = {
      {"2A@200=03/0C/00", "WRITER ERROR [MEDIUM ERROR"},
      {"2A#5=eject", "WRITER ERROR [NOT READY"},
      {"2A#2=05/21/02", "WRITER ERROR [ILLEGAL REQUEST"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    Prepare("CD-R", {c.rule});
    const std::string error = Burn();
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    EXPECT_EQ(reports.finalizing, 1);
    EXPECT_EQ(burner->sleeps.load(), 0) << "not retried";
  }
}

TEST_F(BurnFaults, ADeferredWriteErrorAtTheEndFailsTheJob) {
  for (const char* medium : {"CD-R", "DVD-R", "DVD+RW"}) {
    SCOPED_TRACE(medium);
    Prepare(medium, {"35=03/0C/00"});
    const std::string error = Burn();
    EXPECT_EQ(error.rfind("WRITER ERROR [MEDIUM ERROR", 0), 0u) << error;
    EXPECT_EQ(burner->BytesWritten.load(), burner->ImageSectors() * 2048);
  }
}

TEST_F(BurnFaults, ASessionThatCannotBeClosedIsAFailure) {
  // A drive that keeps saying it is busy is asked a thousand times.
  Prepare("CD-R", {"5B=02/04/08"});
  std::string error = Burn();
  EXPECT_EQ(error.rfind("SESSION NOT CLOSED [NOT READY", 0), 0u) << error;
  EXPECT_GE(burner->slept.load(), 999 * 1000);
  // One that refuses is asked once more.
  Prepare("CD-R", {"5B=03/72/00"});
  error = Burn();
  EXPECT_EQ(error.rfind("SESSION NOT CLOSED [MEDIUM ERROR", 0), 0u) << error;
  EXPECT_EQ(Field(Status(), "faults").empty(), false);
  EXPECT_NE(Status().find("\"fired\":2"), std::string::npos) << Status();
  // One that is busy for a moment closes the session.
  Prepare("CD-R", {"5B*3=02/04/08"});
  EXPECT_EQ(Burn(), "");
  EXPECT_EQ(burner->slept.load() >= 3000, true);
}

TEST_F(BurnFaults, ALeadOutThatNeverEndsIsGivenUpAfterThirtyMinutes) {
  // Disc information stays "long write in progress" once the data is sent.
  Insert("DVD-R");
  burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  AddTree();
  ASSERT_TRUE(burner->Prepare(false));
  ASSERT_EQ(Vrec("fault add '51=02/04/08'"), 0);
  reports.Reset(*burner);
  burner->slept = 0;
  EXPECT_EQ(Start([this] { return burner->BurnCD(); }),
            "THE RECORDER DID NOT FINISH THE LEAD-OUT IN 30 MINUTES");
  EXPECT_GE(burner->slept.load(), 30 * 60 * 1000);
  EXPECT_LT(burner->slept.load(), 31 * 60 * 1000 + 60000);
}

TEST_F(BurnFaults, AnAbortEndsTheJobOnceWithTheUsersReason) {
  // Pressed while the drive reports a long write in progress: seen at the
  // next attempt, pressed again while the job ends.
  Prepare("CD-R", {"2A#3=02/04/08"});
  burner->abort_at_sleep = 1;
  burner->OnFinalizingTrack = [this](TzqCDBurner*) { burner->AbortWrite(); };
  EXPECT_EQ(Burn(), "OPERATION ABORTED BY USER");
  EXPECT_EQ(burner->sleeps.load(), 1);
  EXPECT_EQ(burner->BytesWritten.load(), 2 * 31 * 2048);
  // An abort while no job runs does not reach the next job.
  burner->AbortWrite();
  Prepare("CD-R", {});
  burner->abort_at_sleep = 0;
  EXPECT_EQ(Burn(), "");
}

TEST_F(BurnFaults, AnImageBurnRetriesEveryTenthOfASecond) {
  Prepare("CD-R", {"2A#2=02/04/08"});
  ASSERT_TRUE(burner->Prepare(true));
  Reports saved;
  saved.Attach(*burner);
  burner->SaveISO(tree.Path("x.iso"), true);
  ASSERT_EQ(saved.error, "");
  reports.Reset(*burner);
  EXPECT_EQ(BurnImage(tree.Path("x.iso")), "WRITER BUSY/BUFFER FULL");
  EXPECT_EQ(burner->slept.load(), 10000 * 100);
}

}  // namespace
}  // namespace burn_test
