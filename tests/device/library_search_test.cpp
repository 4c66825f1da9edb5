// Where the library transport looks: ./libwnaspi32.so in the current
// folder, then libwnaspi32.so and libasapi.so through the dynamic loader's
// search. This program's RUNPATH holds a folder with only libasapi.so.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "device/aspi_loader.h"
#include "fake_sg_system.h"

namespace fs = std::filesystem;

namespace {

class SearchTest : public ::testing::Test {
 protected:
  SearchTest() {
    unsetenv("TIDEMARK_ASPI_LIBRARY");
    char tmpl[] = "/tmp/tidemark-aspi-XXXXXX";
    dir_ = mkdtemp(tmpl);
    old_ = fs::current_path();
    fs::current_path(dir_);
  }
  ~SearchTest() override {
    RemoveASPI();
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  fs::path dir_, old_;
  FakeSysfs sysfs;
};

TEST_F(SearchTest, CurrentFolderFirst) {
  fs::create_symlink(TEST_ASPI_SEARCH_LIB, dir_ / "libwnaspi32.so");
  ASSERT_TRUE(LoadASPI(false));
  EXPECT_EQ(ASPIName, "libwnaspi32.so");
  EXPECT_EQ(GetASPI32SupportInfo() & 0xFF, 1u) << "the ASPI-named library answers";
}

TEST_F(SearchTest, AsapiLibraryThroughTheLoadersSearch) {
  ASSERT_TRUE(LoadASPI(false));
  EXPECT_EQ(ASPIName, "libasapi.so");
  EXPECT_EQ(GetASPI32SupportInfo() & 0xFF, 2u) << "the ASAPI-named library answers";
}

TEST_F(SearchTest, ExplicitLibraryOverridesTheSearch) {
  fs::create_symlink(TEST_ASPI_SEARCH_LIB, dir_ / "libwnaspi32.so");
  setenv("TIDEMARK_ASPI_LIBRARY", TEST_ASAPI_LIB, 1);
  ASSERT_TRUE(LoadASPI(false));
  EXPECT_EQ(ASPIName, TEST_ASAPI_LIB);
  EXPECT_EQ(GetASPI32SupportInfo() & 0xFF, 2u) << "ASAPI names accepted for a named library";
  unsetenv("TIDEMARK_ASPI_LIBRARY");
}

}  // namespace
