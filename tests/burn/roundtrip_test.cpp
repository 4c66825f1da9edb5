// What a burn wrote, read back by the component itself: the session import
// gives every entry with the name, size, date, hidden flag and sector it was
// burned with, and extraction gives the source bytes back. A second session
// that continues the first holds the old entries at their old sectors.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "burn_fixture.h"
#include "compilation_paths.h"
#include "platform/file_attr.h"

namespace {

using namespace burn_test;

struct Expected {
  bool dir = false;
  bool hidden = false;
  int64_t size = 0;
  TDateTime date = 0;
  int32_t sector = 0;  // absolute; files with data only
  std::string source;
};

// What the laid-out compilation promises; taken after Prepare.
std::map<std::string, Expected> Promised(TzqCDBurner& b) {
  std::map<std::string, Expected> out;
  for (const auto& [path, e] : EntriesByPath(b)) {
    Expected x;
    x.dir = e->Dir != nullptr;
    x.hidden = (e->Attr & platform::faHidden) != 0;
    x.size = x.dir ? 0 : e->Size;
    x.date = e->DateTime;
    if (!x.dir && e->Size > 0) {
      x.sector = e->Imported != 0 ? e->IsoSector : b.FirstFileSector + e->IsoSector;
    }
    x.source = e->SourcePath;
    out[path] = x;
  }
  return out;
}

void MakeSources(TempTree& tree, const std::string& top, char fill) {
  tree.File(top + "/My Document.doc", "document\n");
  tree.File(top + "/.hidden.txt", "hidden\n");
  tree.File(top + "/empty.txt", "");
  tree.Dir(top + "/empty folder");
  std::string big(300000, fill);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 13 + fill);
  tree.File(top + "/a/deep/er/big.bin", big);
  tree.File(top + "/a/after the deep one.txt", std::string(4097, fill));
  tree.Touch(top + "/My Document.doc", 1089901805);  // 2004-07-15 14:30:05 UTC
}

class BurnRoundTrip : public VrecBurn {
 protected:
  // Imports the disc's last session into an emptied compilation and checks
  // it against what was promised; then extracts every file.
  void CheckDisc(const std::map<std::string, Expected>& want, const std::string& out) {
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    ASSERT_TRUE(burner->ImportSession(-1, nullptr));
    const auto got = EntriesByPath(*burner);
    ASSERT_EQ(got.size(), want.size());
    int extracted = 0;
    std::filesystem::create_directories(tree.Path(out));
    for (const auto& [path, x] : want) {
      SCOPED_TRACE(path);
      ASSERT_TRUE(got.contains(path));
      const PFileEntry g = got.at(path);
      EXPECT_EQ(g->Dir != nullptr, x.dir);
      EXPECT_EQ((g->Attr & platform::faHidden) != 0, x.hidden);
      EXPECT_EQ(g->DateTime, x.date);
      if (x.dir) continue;
      EXPECT_EQ(g->Size, x.size);
      if (x.size == 0) continue;
      EXPECT_EQ(g->IsoSector, x.sector);
      const std::string target = tree.Path(out + "/" + std::to_string(extracted++));
      ASSERT_TRUE(burner->ExtractFile(g, target));
      EXPECT_EQ(image_bytes::ReadFile(target), image_bytes::ReadFile(x.source));
    }
    EXPECT_GT(extracted, 3);
  }
};

TEST_F(BurnRoundTrip, TwoSessionsComeBackAsTheyWereBurned) {
  ScopedTimeZone tz("UTC");
  MakeSources(tree, "one", 'a');
  MakeSources(tree, "two", 'b');
  for (const char* medium : {"CD-R", "DVD+R"}) {
    SCOPED_TRACE(medium);
    Insert(medium);
    burner->FinalizeDisc = false;
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    AddTree("one");
    ASSERT_TRUE(burner->Prepare(false));
    const auto first = Promised(*burner);
    reports.Reset(*burner);
    ASSERT_EQ(Start([this] { return burner->BurnCD(); }), "");
    CheckDisc(first, "out-1");

    // The next session: the first one imported, a folder added beside it.
    burner->ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    ASSERT_TRUE(burner->ImportSession(-1, nullptr));
    PDirEntry added = burner->CreateDir(burner->RootDir(), "second", platform::faDirectory);
    ASSERT_NE(added, nullptr);
    ASSERT_EQ(burner->InsertDir(added, tree.Path("two") + "/", false, true, true, 63, "*.*"), 1);
    ASSERT_TRUE(burner->Prepare(false));
    EXPECT_GT(burner->SessionStart, 0);
    auto both = Promised(*burner);
    // Imported entries have no source; their bytes are the first session's.
    for (auto& [path, x] : both) {
      if (x.source.empty() && first.contains(path)) x.source = first.at(path).source;
    }
    reports.Reset(*burner);
    ASSERT_EQ(Start([this] { return burner->BurnCD(); }), "");
    EXPECT_EQ(Count("sessions"), 2);
    CheckDisc(both, "out-2");
    for (const auto& [path, x] : first) {
      if (!x.dir && x.size > 0) {
        EXPECT_EQ(both.at(path).sector, x.sector) << path;
      }
    }
  }
}

}  // namespace
