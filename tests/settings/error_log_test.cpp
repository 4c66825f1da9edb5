#include "platform/error_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

TEST(ErrorLog, EntryText) {
  EXPECT_EQ(platform::FormatErrorLogEntry("01/02/24 10:11:12", "Creating.", "boom"),
            " ********* ----------------------------------- ********* \r\n"
            "Time: 01/02/24 10:11:12\r\n"
            "Error Position: Creating.\r\n"
            "Error: boom\r\n");
  EXPECT_FALSE(platform::LocalTimeText().empty());
}

TEST(ErrorLog, AppendsEntriesAndMakesTheFolder) {
  fs::path root = fs::temp_directory_path() / ("tidemark-log-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::path log = root / "a/b/Log/Log.txt";
  std::string e1 = platform::FormatErrorLogEntry("t1", "p1", "first");
  std::string e2 = platform::FormatErrorLogEntry("t2", "p2", "second");
  ASSERT_TRUE(platform::AppendErrorLogEntry(log.string(), e1));
  ASSERT_TRUE(platform::AppendErrorLogEntry(log.string(), e2));
  EXPECT_EQ(ReadAll(log), e1 + "\r\n" + e2 + "\r\n");
  fs::remove_all(root);
}

TEST(ErrorLog, UnwritablePlaceWritesNothing) {
  fs::path root = fs::temp_directory_path() / ("tidemark-log-bad-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root);
  std::ofstream(root / "file") << "x";
  // The log's folder would have to be made below a plain file.
  EXPECT_FALSE(platform::AppendErrorLogEntry((root / "file/Log/Log.txt").string(), "entry\r\n"));
  EXPECT_EQ(ReadAll(root / "file"), "x");
  fs::remove_all(root);
}
