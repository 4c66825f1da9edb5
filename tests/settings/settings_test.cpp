#include "platform/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/app_paths.h"

namespace fs = std::filesystem;
using platform::IniFile;
using platform::ProgramSettings;
using platform::ReadProgramSettings;

TEST(ProgramSettings, MissingFileKeepsEveryValue) {
  ProgramSettings current;
  current.VolumeLable = "AS CREATED";
  ProgramSettings s = ReadProgramSettings(IniFile(), current);
  EXPECT_FALSE(s.ArchiveFiles);
  EXPECT_FALSE(s.CloseDisc);
  EXPECT_FALSE(s.TestWrite);
  EXPECT_FALSE(s.PerformOPC);
  EXPECT_FALSE(s.QuickSaveISO);
  EXPECT_FALSE(s.ShowFiles);
  EXPECT_EQ(s.VolumeLable, "AS CREATED");
  EXPECT_EQ(s.CacheSize, 4194304);
}

TEST(ProgramSettings, EveryKey) {
  IniFile ini = IniFile::FromBytes(
      "[Options]\r\nArchiveFiles=1\r\nCloseDisc=2\r\nTestWrite=yes\r\nPerformOPC=-1\r\n"
      "QuickSaveISO=0x1\r\nShowFiles=0\r\nVolumeLable=BACKUP\r\nVolumeLabel=misspelt on "
      "purpose\r\nCacheSize=$800000\r\n");
  ProgramSettings current;
  current.ShowFiles = true;
  ProgramSettings s = ReadProgramSettings(ini, current);
  EXPECT_TRUE(s.ArchiveFiles);
  EXPECT_TRUE(s.CloseDisc);
  EXPECT_FALSE(s.TestWrite);  // "yes" is not a number: the value stays
  EXPECT_TRUE(s.PerformOPC);
  EXPECT_TRUE(s.QuickSaveISO);
  EXPECT_FALSE(s.ShowFiles);
  EXPECT_EQ(s.VolumeLable, "BACKUP");
  EXPECT_EQ(s.CacheSize, 0x800000);
}

class AppPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("tidemark-paths-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "prog");
    paths_.program_dir = (root_ / "prog").string();
    paths_.config_home = (root_ / "config").string();
    paths_.state_home = (root_ / "state").string();
  }
  void TearDown() override {
    fs::permissions(root_ / "prog", fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(root_);
  }
  fs::path root_;
  platform::AppPaths paths_;
};

TEST_F(AppPathsTest, SettingsBesideTheProgramFirst) {
  EXPECT_EQ(paths_.SettingsFile(), (root_ / "config/tidemark/zqcb.ini").string());
  std::ofstream(root_ / "prog/zqcb.ini") << "[Options]\n";
  EXPECT_EQ(paths_.SettingsFile(), (root_ / "prog/zqcb.ini").string());
}

TEST_F(AppPathsTest, LogBesideTheProgramWhenWritable) {
  EXPECT_EQ(paths_.ErrorLogFile(), (root_ / "prog/Log/Log.txt").string());
  if (::geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
  fs::permissions(root_ / "prog", fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_EQ(paths_.ErrorLogFile(), (root_ / "state/tidemark/Log/Log.txt").string());
}

// An installed program's folder is the shared bin folder: never its log's.
TEST_F(AppPathsTest, InstalledProgramLogsInTheStateFolder) {
  paths_.installed = true;
  EXPECT_EQ(paths_.ErrorLogFile(), (root_ / "state/tidemark/Log/Log.txt").string());
}

TEST(AppPaths, ProgramFolderIsThisTestsFolder) {
  EXPECT_EQ(fs::path(platform::ProgramFolder()), fs::path(TIDEMARK_BINARY_DIR) / "tests");
  EXPECT_EQ(platform::ProgramFolderOrEmpty(), platform::ProgramFolder());
  // The private library folder as an installed tree lays it out, from
  // here; this build tree has none, so the program is not an installed one.
  const fs::path libs = platform::PrivateLibraryFolder();
  EXPECT_EQ(libs.filename(), "tidemark") << libs;
  EXPECT_EQ(libs.string().rfind(platform::ProgramFolder() + "/", 0), 0u) << libs;
  EXPECT_FALSE(platform::AppPaths::FromEnvironment().installed);
}
