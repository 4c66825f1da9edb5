#pragma once
// What the reader tests share: images written by the system's own layout
// (a compilation saved with the quick save), images made by peer programs,
// a disc in memory holding them, and the entries an import produced.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "compilation_paths.h"
#include "memory_disc.h"
#include "temp_tree.h"

namespace reader_test {

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Saves the laid-out compilation of Writer as an image file (quick save).
inline bool SaveImage(TzqCDBurner& Writer, const std::string& Path) {
  std::string error = "not reported";
  Writer.OnWriteDone = [&](TzqCDBurner*, const std::string& e) { error = e; };
  if (!Writer.Prepare(true)) return false;
  Writer.SaveISO(Path, true);
  Writer.OnWriteDone = nullptr;
  EXPECT_EQ(error, "");
  return error.empty();
}

// A compilation laid out for a session that begins at Start on a disc.
struct SessionWriter : TzqCDBurner {
  int32_t Start = 0;
  int32_t NextSessionStart() override { return Start; }
};

// Lays Writer's compilation out at its start and puts the whole session
// (header and the new files' data) onto Disc there, as a burn would.
inline void PlaceSession(MemoryDisc& Disc, SessionWriter& Writer, TempTree& Scratch) {
  ASSERT_TRUE(Writer.Prepare(false));
  ASSERT_EQ(Writer.SessionStart, Writer.Start);
  const std::string file = Scratch.Path("session-" + std::to_string(Writer.Start) + ".bin");
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const auto header = Writer.HeaderStream.Bytes();
  ASSERT_EQ(write(fd, header.data(), header.size()), static_cast<ssize_t>(header.size()));
  ASSERT_EQ(Writer.WriteImageData(fd, file), "");
  close(fd);
  const std::vector<uint8_t> bytes = ReadBytes(file);
  const uint32_t start = static_cast<uint32_t>(Writer.Start);
  Disc.Sector(start + static_cast<uint32_t>(bytes.size() / MemoryDisc::kSector));
  std::copy(bytes.begin(), bytes.end(),
            Disc.bytes.begin() + static_cast<ptrdiff_t>(start) * MemoryDisc::kSector);
  if (Disc.sessions.empty() || Disc.sessions.back() < start) Disc.sessions.push_back(start);
}

// A component reading the disc, with its log collected.
struct Reader {
  TzqCDBurner b;
  LogLines log{b};
  explicit Reader(MemoryDisc& disc, int32_t files = TzqCDBurner::kAppMaxFiles,
                  int32_t dirs = TzqCDBurner::kAppMaxDirs) {
    b.ClearAll(files, dirs);
    disc.Insert(b);
  }
};

}  // namespace reader_test
