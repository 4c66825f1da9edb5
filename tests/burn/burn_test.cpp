// Burning a compilation on every medium of the virtual recorder: what
// reaches the disc, sessions, test writes, the checks before writing.

#include "burn_fixture.h"

namespace burn_test {
namespace {

// A tree with the sizes that matter: empty, one byte, one byte over a
// sector, several blocks, and a folder of its own.
void MakeTree(TempTree& tree, const std::string& folder = "src", char fill = 'a') {
  tree.File(folder + "/empty.txt", "");
  tree.File(folder + "/one.txt", std::string(1, fill));
  tree.File(folder + "/over.bin", std::string(2049, fill));
  std::string big(200000, fill);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + fill);
  tree.File(folder + "/sub/big.bin", big);
  tree.File(folder + "/sub/Long file name.txt", "long\n");
}

struct Medium {
  const char* name;
  const char* state;  // the disc state after one session with FinalizeDisc false
};

TEST_F(VrecBurn, EveryMediumHoldsTheImageThatASaveOfTheLayoutGives) {
  MakeTree(tree);
  for (const Medium m :
       {Medium{"CD-R", "appendable"}, Medium{"CD-RW", "appendable"}, Medium{"DVD-R", "complete"},
        Medium{"DVD-RW", "complete"}, Medium{"DVD+R", "appendable"}, Medium{"DVD+RW", ""},
        Medium{"DVD-RAM", ""}}) {
    SCOPED_TRACE(m.name);
    Insert(m.name);
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    AddTree();
    reports.Reset(*burner);
    std::vector<uint8_t> image;
    ASSERT_EQ(Burn(&image), "");
    EXPECT_EQ(burner->SessionStart, 0);
    EXPECT_EQ(reports.finalizing, 1);
    EXPECT_NE(reports.thread, std::this_thread::get_id()) << "reported on the writer thread";
    EXPECT_EQ(burner->BytesWritten.load(), burner->ImageSectors() * 2048);
    EXPECT_TRUE(log->Has(">>> STARTING WRITE PROCESS ON " + std::string(m.name) + " AT", 1));
    const std::vector<uint8_t> disc = Dump(0);
    ASSERT_GE(disc.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), disc.begin()));
    EXPECT_TRUE(image_bytes::AllZero(std::span(disc).subspan(image.size())));
    if (*m.state) {
      EXPECT_NE(Status().find("\"state\":\"" + std::string(m.state) + "\""), std::string::npos)
          << Status();
    }
  }
}

TEST_F(VrecBurn, SessionsOnACdrFollowOneAnotherUntilTheDiscIsClosed) {
  Insert("CD-R");
  burner->FinalizeDisc = false;
  MakeTree(tree, "one", 'a');
  MakeTree(tree, "two", 'b');
  MakeTree(tree, "three", 'c');
  AddTree("one");
  ASSERT_EQ(Burn(), "");
  EXPECT_EQ(State(), "appendable");
  const int64_t second = NextWritable();
  EXPECT_GT(second, burner->SessionEnd) << "after the session and its gap";

  // The second session is laid out where the disc continues: its volume
  // descriptor is 16 sectors in, and its records give absolute sectors.
  burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  AddTree("two");
  reports.Reset(*burner);
  std::vector<uint8_t> image;
  ASSERT_EQ(Burn(&image), "");
  EXPECT_EQ(burner->SessionStart, second);
  EXPECT_EQ(burner->PvdSector, second + 16);
  const std::vector<uint8_t> session = Dump(2);
  ASSERT_GE(session.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), session.begin()));
  uint32_t root = 0;
  ASSERT_TRUE(image_bytes::Both32(image, 16 * 2048 + 156 + 2, root));
  EXPECT_EQ(root, static_cast<uint32_t>(burner->IsoDirsSector));
  EXPECT_EQ(State(), "appendable");
  EXPECT_EQ(Count("sessions"), 2);

  // With FinalizeDisc the third session closes the disc.
  burner->FinalizeDisc = true;
  burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  AddTree("three");
  reports.Reset(*burner);
  ASSERT_EQ(Burn(), "");
  EXPECT_EQ(State(), "complete");
  EXPECT_EQ(Count("sessions"), 3);

  // A closed disc takes nothing more, and the job says so before writing.
  burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  AddTree("one");
  reports.Reset(*burner);
  EXPECT_EQ(Burn(), "THE DISC IN THE RECORDER CANNOT BE WRITTEN (CD-R)");
  EXPECT_EQ(burner->BytesWritten.load(), 0);
  EXPECT_EQ(Count("sessions"), 3);
}

TEST_F(VrecBurn, ADvdIsRecordedAtTheSpeedChosenNotTheSlowest) {
  MakeTree(tree);
  // What the drive records at once the data is sent (asked on the writer's
  // own thread, the only one that sends commands meanwhile), in CD x as
  // drives report it: 16x DVD is 126, 6x is 47, 4x is 31.
  uint16_t recorded = 0;
  struct Case {
    const char* medium;
    uint16_t speed;  // CD x; 0 the fastest
    uint16_t recorded;
  } cases[] = {{"DVD-R", 0, 126}, {"DVD-R", 32, 31}, {"DVD-RW", 0, 47}, {"DVD-RW", 32, 31}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.medium) + " " + std::to_string(c.speed));
    Insert(c.medium);
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    AddTree();
    burner->SetWriteSpeed(c.speed);
    reports.Reset(*burner);
    burner->OnFinalizingTrack = [this, &recorded](TzqCDBurner*) {
      recorded = burner->GetCurrentWriteSpeedX();
    };
    ASSERT_EQ(Burn(), "");
    EXPECT_EQ(recorded, c.recorded);
  }
}

TEST_F(VrecBurn, WithoutClosingTheTrackTheSessionStaysOpen) {
  Insert("CD-R");
  MakeTree(tree);
  AddTree();
  burner->FinalizeTrack = false;
  ASSERT_EQ(Burn(), "");
  EXPECT_EQ(Count("sessions"), 1);
  EXPECT_NE(Status().find("\"sessions\":[{\"number\":1,\"start\":0,"), std::string::npos);
  EXPECT_NE(Status().find("\"closed\":false}],\"tracks\""), std::string::npos) << Status();
}

TEST_F(VrecBurn, ADvdPlusRTakesASecondSessionAndIsFinalizedWhenAsked) {
  Insert("DVD+R");
  burner->FinalizeDisc = false;
  MakeTree(tree, "one", 'a');
  MakeTree(tree, "two", 'b');
  AddTree("one");
  ASSERT_EQ(Burn(), "");
  EXPECT_EQ(State(), "appendable");
  const int64_t second = NextWritable();
  ASSERT_GT(second, 0);
  burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  AddTree("two");
  burner->FinalizeDisc = true;
  reports.Reset(*burner);
  std::vector<uint8_t> image;
  ASSERT_EQ(Burn(&image), "");
  EXPECT_EQ(burner->SessionStart, second);
  const std::vector<uint8_t> session = Dump(2);
  ASSERT_GE(session.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), session.begin()));
  EXPECT_EQ(State(), "complete") << "closing a DVD+R session leaves it open; finalizing closes it";
}

TEST_F(VrecBurn, AnOverwritableDiscTakesEverySessionAtSectorZero) {
  for (const char* medium : {"DVD+RW", "DVD-RAM"}) {
    SCOPED_TRACE(medium);
    Insert(medium);
    MakeTree(tree, "one", 'a');
    MakeTree(tree, "two", 'b');
    for (const char* folder : {"one", "two"}) {
      burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
      AddTree(folder);
      reports.Reset(*burner);
      std::vector<uint8_t> image;
      ASSERT_EQ(Burn(&image), "");
      EXPECT_EQ(burner->SessionStart, 0);
      const std::vector<uint8_t> disc = Dump(0);
      ASSERT_GE(disc.size(), image.size());
      EXPECT_TRUE(std::equal(image.begin(), image.end(), disc.begin()));
    }
  }
}

TEST_F(VrecBurn, RestrictedOverwriteIsWrittenInWholeEccBlocks) {
  Insert("DVD-RW");
  // A quick format into restricted overwrite, as another program leaves it.
  const std::array<uint8_t, 16> quick = {0x00, 0x82, 0x00, 0x08, 0x00, 0x00,
                                         0x00, 0x00, 0x54, 0x00, 0x00, 0x10};
  ASSERT_TRUE(burner->FormatUnit(0x11, quick)) << burner->LastError;
  ASSERT_TRUE(burner->WaitReady(60000, 100));
  ASSERT_EQ(Field(Status(), "profile"), "19") << "restricted overwrite";
  MakeTree(tree);
  AddTree();
  std::vector<uint8_t> image;
  ASSERT_EQ(Burn(&image), "");
  ASSERT_NE(image.size() % (16 * 2048), 0u) << "the test needs a session that ends inside a block";
  const std::vector<uint8_t> disc = Dump(0);
  ASSERT_GE(disc.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), disc.begin()));
  EXPECT_EQ(burner->BytesWritten.load(), static_cast<int64_t>(image.size()));
}

TEST_F(VrecBurn, ATestWriteRecordsNothingWhereTheMediumCanSimulate) {
  MakeTree(tree);
  for (const char* medium : {"CD-R", "CD-RW", "DVD-R", "DVD-RW"}) {
    SCOPED_TRACE(medium);
    Insert(medium);
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    AddTree();
    burner->TestWrite = true;
    reports.Reset(*burner);
    log->lines.clear();
    EXPECT_EQ(Burn(), "");
    EXPECT_EQ(burner->BytesWritten.load(), burner->ImageSectors() * 2048);
    EXPECT_TRUE(log->Has(">>> TEST/DUMMY WRITE", 1));
    EXPECT_EQ(State(), "blank");
    EXPECT_EQ(Count("tracks"), 0);
  }
  // Elsewhere the drive would record for real: refused before writing.
  for (const char* medium : {"DVD+R", "DVD+RW", "DVD-RAM"}) {
    SCOPED_TRACE(medium);
    Insert(medium);
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    AddTree();
    burner->TestWrite = true;
    reports.Reset(*burner);
    EXPECT_EQ(Burn(), "TEST WRITE IS NOT POSSIBLE ON " + std::string(medium));
    EXPECT_EQ(burner->BytesWritten.load(), 0);
    EXPECT_EQ(reports.finalizing, 0) << "nothing to close";
    EXPECT_FALSE(Recorded());
  }
  // Nor on a drive that has no simulation mode.
  Insert("CD-R");
  burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  AddTree();
  burner->TestWrite = true;
  burner->Capabilities.Remove(TCapability::WriteTest);
  reports.Reset(*burner);
  EXPECT_EQ(Start([this] {
              // The capabilities as the drive reports them stay removed.
              return burner->Prepare(false) && burner->BurnCD();
            }),
            "THE RECORDER CANNOT TEST WRITE");
}

TEST_F(VrecBurn, ASessionIsNeverWrittenAnywhereButWhereItWasLaidOut) {
  Insert("CD-R");
  MakeTree(tree);
  AddTree();
  ASSERT_EQ(Burn(), "");
  const int64_t next = NextWritable();
  // A layout for sector 0 (as if the disc had been blank then).
  burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  AddTree();
  burner->forced_start = 0;
  reports.Reset(*burner);
  EXPECT_EQ(Burn(), "THE DISC CONTINUES AT SECTOR " + std::to_string(next) +
                        ", BUT THE SESSION WAS LAID OUT FOR SECTOR 0");
  EXPECT_EQ(burner->BytesWritten.load(), 0);
  EXPECT_EQ(Count("sessions"), 1);
}

TEST_F(VrecBurn, ACompilationThatDoesNotFitIsRefusedBeforeWriting) {
  ASSERT_EQ(Vrec("fault clear"), 0);
  ASSERT_EQ(Vrec("insert CD-R --capacity 1000"), 0);
  burner->TestUnitReady(5000);
  tree.SizedFile("src/large.bin", 1000 * 2048);
  AddTree();
  const std::string error = Burn();
  EXPECT_EQ(error.rfind("THE SESSION NEEDS " + std::to_string(burner->ImageSectors()) +
                            " SECTORS, THE DISC HAS ",
                        0),
            0u)
      << error;
  EXPECT_EQ(burner->BytesWritten.load(), 0);
  EXPECT_EQ(State(), "blank");
}

TEST_F(VrecBurn, NoDiscIsReportedAsSuch) {
  Insert("CD-R");
  MakeTree(tree);
  AddTree();
  ASSERT_EQ(Vrec("remove"), 0);
  EXPECT_EQ(Burn(), "NO DISC IN THE RECORDER");
  EXPECT_EQ(burner->BytesWritten.load(), 0);
}

TEST_F(VrecBurn, ASourceThatChangedSinceItWasAddedFailsTheJobNamingIt) {
  Insert("CD-R");
  MakeTree(tree);
  AddTree();
  const std::string changed = tree.File("src/sub/big.bin", std::string(1000, 'z'));
  const std::string error = Burn();
  EXPECT_EQ(error, "FILE \"" + changed + "\" HAS CHANGED SINCE IT WAS ADDED");
  EXPECT_EQ(reports.write_done, 1);
}

}  // namespace
}  // namespace burn_test
