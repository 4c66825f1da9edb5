// Erasing rewritable discs: blanking and formatting, the estimated
// progress, the end report, and a burn on the erased disc.

#include "burn_fixture.h"

namespace burn_test {
namespace {

class BurnErase : public VrecBurn {
 protected:
  // A disc with one session on it.
  void Used(const std::string& medium) {
    Insert(medium);
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    AddTree();
    reports.Reset(*burner);
    ASSERT_EQ(Burn(), "");
    reports.Reset(*burner);
    burner->slept = 0;
    burner->sleeps = 0;
    log->lines.clear();
  }
  // Erases; OnEraseDone's WithError.
  bool EraseWithError(int32_t type) {
    const bool started = burner->EraseDisc(type);
    if (started) {
      EXPECT_TRUE(reports.WaitErase());
    }
    EXPECT_EQ(reports.erase_done, 1) << "OnEraseDone exactly once";
    EXPECT_FALSE(burner->Erasing());
    EXPECT_EQ(burner->EraseProgress(), 0);
    return reports.erase_error;
  }
};

TEST_F(BurnErase, EveryRewritableDiscIsErasedAndTakesANewSession) {
  tree.File("src/a.bin", std::string(300000, 'a'));
  struct Case {
    const char* medium;
    int32_t type;
    const char* line;
    const char* state;
  } cases[] = {
      {"CD-RW", 1, "CD-RW AT", "blank"},   {"CD-RW", 0, "CD-RW AT", "blank"},
      {"DVD-RW", 1, "DVD-RW AT", "blank"}, {"DVD-RW", 0, "DVD-RW AT", "blank"},
      {"DVD+RW", 1, "DVD+RW AT", ""},      {"DVD-RAM", 1, "DVD-RAM AT 1X", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.medium) + " " + std::to_string(c.type));
    Used(c.medium);
    EXPECT_FALSE(EraseWithError(c.type));
    EXPECT_TRUE(log->Has(">>> STARTING ERASE PROCESS ON " + std::string(c.line), 1));
    if (*c.state) {
      EXPECT_EQ(State(), c.state);
      EXPECT_FALSE(Recorded());
    }
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    AddTree();
    reports.Reset(*burner);
    std::vector<uint8_t> image;
    ASSERT_EQ(Burn(&image), "");
    const std::vector<uint8_t> disc = Dump(0);
    ASSERT_GE(disc.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), disc.begin()));
  }
}

TEST_F(BurnErase, TheProgressRisesWithTheTimeTheDriveTakes) {
  tree.File("src/a.bin", "a");
  Used("CD-RW");
  // The drive reports "operation in progress" for ten polls.
  ASSERT_EQ(Vrec("fault add '00#4*10=02/04/07'"), 0);
  // What the window's timer would show at each of the eraser's waits.
  std::vector<int32_t> seen;
  burner->on_sleep = [&] {
    if (burner->Erasing()) seen.push_back(burner->EraseProgress());
  };
  ASSERT_TRUE(burner->EraseDisc(1));
  ASSERT_TRUE(reports.WaitErase());
  burner->on_sleep = nullptr;
  EXPECT_FALSE(reports.erase_error);
  ASSERT_GE(seen.size(), 10u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_GT(seen.back(), seen.front());
  EXPECT_LT(seen.back(), 100);
  // Two seconds a poll against the 150 seconds a quick CD-RW erase takes.
  EXPECT_GE(burner->slept.load(), 10 * 2000);
}

TEST_F(BurnErase, ATrayOpenedWhenTheEraseEndsIsClosedByTheDriveReset) {
  tree.File("src/a.bin", "a");
  Used("CD-RW");
  bool ejected = false;
  burner->OnEraseDone = [this, &ejected](TzqCDBurner*, bool) {
    ejected = burner->StartStopUnit(true);
    std::lock_guard<std::mutex> g(reports.m);
    ++reports.erase_done;
    reports.cv.notify_all();
  };
  EXPECT_FALSE(EraseWithError(1));
  EXPECT_TRUE(ejected);
  EXPECT_NE(Status().find("\"tray\":\"closed\""), std::string::npos) << Status();
}

TEST_F(BurnErase, WhatTheDriveCannotEraseIsReported) {
  tree.File("src/a.bin", "a");
  // A write-once disc: the BLANK command fails, reported here.
  Used("CD-R");
  EXPECT_TRUE(EraseWithError(1));
  EXPECT_EQ(Count("sessions"), 1);
  // A drive that reports the erase failed once it has started.
  Used("CD-RW");
  ASSERT_EQ(Vrec("fault add '51*1=03/51/00'"), 0);
  EXPECT_TRUE(EraseWithError(1));
}

TEST_F(BurnErase, ADriveThatNeverFinishesIsAFailureAfterTwiceTheEstimate) {
  tree.File("src/a.bin", "a");
  Used("CD-RW");
  // The eraser's own readiness checks (three TEST UNIT READY) pass.
  ASSERT_EQ(Vrec("fault add '00#4=02/04/07'"), 0);
  ASSERT_EQ(Vrec("fault add '51=02/04/07'"), 0);
  ASSERT_EQ(Vrec("fault add '03=02/04/07'"), 0);
  EXPECT_TRUE(EraseWithError(1));
  EXPECT_GE(burner->slept.load(), 2 * 150 * 1000);
  EXPECT_LT(burner->slept.load(), 2 * 150 * 1000 + 20000);
}

}  // namespace
}  // namespace burn_test
