// Burning an existing image file: byte for byte from sector 0, only on an
// empty disc, and the starter's own failures.

#include <fcntl.h>
#include <sys/stat.h>

#include "burn_fixture.h"

namespace burn_test {
namespace {

// An image whose size is not a multiple of a sector.
std::string MakeImage(TempTree& tree, int64_t bytes) {
  std::string data(static_cast<size_t>(bytes), '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 13 + 1);
  return tree.File("image.iso", data);
}

TEST_F(VrecBurn, AnImageIsWrittenByteForByteFromSectorZero) {
  const std::string file = MakeImage(tree, 10 * 2048 + 100);
  const std::vector<uint8_t> bytes = image_bytes::ReadFile(file);
  for (const char* medium : {"CD-R", "CD-RW", "DVD-R", "DVD-RW", "DVD+R", "DVD+RW", "DVD-RAM"}) {
    SCOPED_TRACE(medium);
    Insert(medium);
    reports.Reset(*burner);
    ASSERT_EQ(BurnImage(file), "");
    EXPECT_NE(reports.thread, std::this_thread::get_id());
    EXPECT_EQ(reports.finalizing, 1);
    // Progress is measured against the whole sectors; the last, partly
    // filled one is written too, completed with zero bytes.
    EXPECT_EQ(burner->SessionSectors, 10);
    EXPECT_EQ(burner->BytesWritten.load(), 11 * 2048);
    const std::vector<uint8_t> disc = Dump(0);
    ASSERT_GE(disc.size(), 11u * 2048);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), disc.begin()));
    EXPECT_TRUE(image_bytes::AllZero(std::span(disc).subspan(bytes.size())));
  }
}

TEST_F(VrecBurn, AnImageIsBurnedOnlyOnAnEmptyDisc) {
  const std::string file = MakeImage(tree, 400 * 2048);
  Insert("CD-R");
  burner->FinalizeDisc = false;
  ASSERT_EQ(BurnImage(file), "");
  EXPECT_EQ(State(), "appendable");
  reports.Reset(*burner);
  EXPECT_EQ(BurnImage(file), "NEED EMPTY DISC FOR ISO BURNING");
  EXPECT_EQ(burner->BytesWritten.load(), 0);
  EXPECT_EQ(reports.finalizing, 0) << "no closing steps";
  EXPECT_EQ(Count("sessions"), 1);
  // An overwritable disc is empty enough: the image replaces its contents.
  Insert("DVD+RW");
  reports.Reset(*burner);
  ASSERT_EQ(BurnImage(file), "");
  reports.Reset(*burner);
  EXPECT_EQ(BurnImage(MakeImage(tree, 30 * 2048)), "");
}

TEST_F(VrecBurn, AnImageThatCannotBeReadIsReportedByTheStarter) {
  Insert("CD-R");
  const std::string missing = tree.Path("missing.iso");
  EXPECT_FALSE(burner->BurnISO(missing));
  EXPECT_EQ(reports.write_done, 1);
  EXPECT_EQ(reports.thread, std::this_thread::get_id());
  EXPECT_EQ(reports.error,
            "CAN'T OPEN FILE \"" + missing + "\" OR FILE IS IN USES BY OTHER SOFTWARE");
  EXPECT_FALSE(recording::JobRunning());
  reports.Reset(*burner);
  const std::string empty = tree.File("empty.iso", "");
  EXPECT_FALSE(burner->BurnISO(empty));
  EXPECT_EQ(reports.error, "IMAGE FILE \"" + empty + "\" IS EMPTY");
  reports.Reset(*burner);
  EXPECT_FALSE(burner->BurnISO(tree.Dir("folder.iso")));
  EXPECT_EQ(reports.error.rfind("CAN'T OPEN FILE", 0), 0u);
  EXPECT_EQ(State(), "blank");
}

}  // namespace
}  // namespace burn_test
