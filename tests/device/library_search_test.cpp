// Where the library transport looks: libwnaspi32.so in the program's own
// folder, then in the installed tree's private library folder, then through
// the dynamic loader's search, then libasapi.so; never in the current
// folder. This program's RUNPATH holds a folder with only libasapi.so.
//
// The program's own folder is where this program runs from, so the cases
// that place libraries there run a copy of this program from a folder of
// their own (a child that finds the case in its environment and reports
// the file it loaded, as the process's mappings show it).

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "device/aspi_loader.h"
#include "fake_sg_system.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kChildCase = "TIDEMARK_SEARCH_TEST_CHILD";

// The mapped file whose name is `name`, as /proc/self/maps shows it; "".
std::string MappedFile(const std::string& name) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    const auto slash = line.find('/');
    if (slash == std::string::npos) continue;
    const fs::path path = line.substr(slash);
    if (path.filename() == name) return path.string();
  }
  return {};
}

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

// A library planted in the current folder is never loaded, whatever else
// is found or not.
TEST_F(SearchTest, CurrentFolderIsIgnored) {
  fs::copy_file(TEST_ASPI_SEARCH_LIB, dir_ / "libwnaspi32.so");
  ASSERT_TRUE(LoadASPI(false));
  EXPECT_EQ(ASPIName, "libasapi.so");
  EXPECT_EQ(GetASPI32SupportInfo() & 0xFF, 2u) << "the ASAPI-named library answers";
  EXPECT_EQ(MappedFile("libwnaspi32.so"), "");
}

TEST_F(SearchTest, ExplicitLibraryOverridesTheSearch) {
  fs::create_symlink(TEST_ASPI_SEARCH_LIB, dir_ / "libwnaspi32.so");
  setenv("TIDEMARK_ASPI_LIBRARY", TEST_ASAPI_LIB, 1);
  ASSERT_TRUE(LoadASPI(false));
  EXPECT_EQ(ASPIName, TEST_ASAPI_LIB);
  EXPECT_EQ(GetASPI32SupportInfo() & 0xFF, 2u) << "ASAPI names accepted for a named library";
  unsetenv("TIDEMARK_ASPI_LIBRARY");
}

// The program's folder and the private folder, each case run by a copy of
// this program in an installed-looking tree: bin/ for the program,
// bin/<private folder> for the private libraries, and a current folder
// that always holds a planted library.
TEST_F(SearchTest, ProgramFolderThenPrivateFolder) {
  struct Case {
    bool beside_program;
    bool in_private_folder;
    const char* expect;  // the folder whose copy is loaded: "bin", "private", or "" for libasapi
    const char* ld_library_path;  // for the child; an empty entry stands for the current folder
  };
  const Case cases[] = {
      {true, true, "bin", nullptr},
      {false, true, "private", ":"},
      {false, false, "", nullptr},
      {false, false, "", ":/nonexistent:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.expect) + " LD_LIBRARY_PATH=" +
                 (c.ld_library_path != nullptr ? c.ld_library_path : "(as given)"));
    const fs::path tree = dir_ / "tree";
    fs::remove_all(tree);
    fs::create_directories(tree / "bin");
    const fs::path bin = fs::canonical(tree / "bin");
    const fs::path private_dir = fs::weakly_canonical(bin / TIDEMARK_PRIVATE_LIBDIR_FROM_BINDIR);
    fs::create_directories(private_dir);
    fs::create_directories(tree / "downloads");
    fs::copy_file("/proc/self/exe", bin / "search_test");
    fs::permissions(bin / "search_test", fs::perms::owner_all);
    fs::copy_file(TEST_ASPI_SEARCH_LIB, tree / "downloads" / "libwnaspi32.so");
    if (c.beside_program) fs::copy_file(TEST_ASPI_SEARCH_LIB, bin / "libwnaspi32.so");
    if (c.in_private_folder) fs::copy_file(TEST_ASPI_SEARCH_LIB, private_dir / "libwnaspi32.so");

    const std::string where = c.expect;
    const std::string expected = where == "bin"       ? (bin / "libwnaspi32.so").string()
                                 : where == "private" ? (private_dir / "libwnaspi32.so").string()
                                                      : std::string();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (chdir((tree / "downloads").c_str()) != 0) _exit(120);
      setenv(kChildCase, expected.c_str(), 1);
      if (c.ld_library_path != nullptr) {
        const char* old = std::getenv("LD_LIBRARY_PATH");
        setenv("LD_LIBRARY_PATH", (std::string(c.ld_library_path) + (old ? old : "")).c_str(), 1);
      }
      const std::string exe = (bin / "search_test").string();
      execl(exe.c_str(), exe.c_str(), "--gtest_filter=SearchChild.*", nullptr);
      _exit(121);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's case failed (its output is above)";
  }
}

// The child side of the case above: loads, and reports what it loaded.
TEST(SearchChild, LoadsTheExpectedCopy) {
  const char* expected = std::getenv(kChildCase);
  if (expected == nullptr) GTEST_SKIP() << "run by ProgramFolderThenPrivateFolder";
  unsetenv("TIDEMARK_ASPI_LIBRARY");
  ASSERT_TRUE(LoadASPI(false));
  if (*expected == '\0') {
    EXPECT_EQ(ASPIName, "libasapi.so");
    EXPECT_EQ(MappedFile("libwnaspi32.so"), "") << "nothing named libwnaspi32.so is loaded";
  } else {
    EXPECT_EQ(ASPIName, "libwnaspi32.so");
    EXPECT_EQ(MappedFile("libwnaspi32.so"), expected);
  }
  RemoveASPI();
}

}  // namespace
