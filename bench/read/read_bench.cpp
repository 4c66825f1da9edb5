// The session import timed on its own, for bench/read/run.sh.
//
//   tidemark-bench-read make-image --files N --folders M -o IMAGE
//       lays out a compilation of N one-byte files spread over M folders
//       (names of 12 to 20 characters) and writes its image: the header as
//       the layout made it, the data area left as a hole (nothing reads it).
//   tidemark-bench-read import [--runs R]
//       imports the last session of the disc in the first recorder of the
//       library transport, with the application's limits, R times; prints
//       one line per run and "import: SECONDS s (ENTRIES entries, FOLDERS
//       folders)" for the median.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "device/aspi_loader.h"
#include "platform/date_time.h"

namespace {

using Clock = std::chrono::steady_clock;

int Usage() {
  std::fprintf(stderr,
               "usage: tidemark-bench-read make-image --files N --folders M -o IMAGE\n"
               "       tidemark-bench-read import [--runs R]\n");
  return 2;
}

int MakeImage(long files, long folders, const std::string& out) {
  TzqCDBurner b;
  b.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  const int32_t when = static_cast<int32_t>(platform::EncodeDosDateTime({2024, 5, 6, 7, 8, 10, 0}));
  std::vector<PDirEntry> dirs;
  for (long d = 0; d < folders; ++d) {
    TSearchRec rec;
    rec.Name = "folder " + std::to_string(d);
    rec.Attr = 0x10;
    rec.Time = when;
    // A tree of some depth: every tenth folder holds the next nine.
    PDirEntry parent = d < 10 ? b.RootDir() : dirs[static_cast<size_t>(d / 10)];
    dirs.push_back(b.CreateDir(parent, rec));
    if (dirs.back() == nullptr) return std::fprintf(stderr, "folder %ld refused\n", d), 1;
  }
  for (long f = 0; f < files; ++f) {
    TSearchRec rec;
    rec.Name = "file " + std::to_string(f) + ".data";
    rec.Size = 1;
    rec.SizeLow = 1;
    rec.Time = when;
    rec.Attr = 0x20;
    if (b.InsertFile(dirs[static_cast<size_t>(f % folders)], rec, false, 0, "/nonexistent") != 1)
      return std::fprintf(stderr, "file %ld refused\n", f), 1;
  }
  if (!b.Prepare(true)) return std::fprintf(stderr, "layout failed\n"), 1;
  const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto header = b.HeaderStream.Bytes();
  if (fd < 0 || write(fd, header.data(), header.size()) != static_cast<ssize_t>(header.size()) ||
      ftruncate(fd, static_cast<off_t>(b.SessionEnd) * 2048) != 0)
    return std::perror(out.c_str()), 1;
  close(fd);
  std::printf("%s: %d entries, %d folders, %d sectors\n", out.c_str(), b.FileCount(), b.DirsCount(),
              b.SessionEnd);
  return 0;
}

int Import(int runs) {
  if (!LoadASPI(false)) return std::fprintf(stderr, "no transport\n"), 3;
  std::vector<double> times;
  int32_t entries = 0, folders = 0;
  for (int i = 0; i < runs; ++i) {
    TzqCDBurner b;
    b.HostAdapter = b.TargetId = b.Lun = 0;
    for (int tries = 0; tries < 10 && !b.TestUnitReady(5000); ++tries) {
    }
    b.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    const auto start = Clock::now();
    const bool ok = b.ImportSession(-1, nullptr);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    if (!ok) return std::fprintf(stderr, "import failed\n"), 1;
    entries = b.FileCount();
    folders = b.DirsCount();
    std::printf("run %d: %.3f s\n", i + 1, s);
    times.push_back(s);
  }
  std::sort(times.begin(), times.end());
  std::printf("import: %.3f s (%d entries, %d folders)\n", times[times.size() / 2], entries,
              folders);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string what = argv[1];
  long files = 0, folders = 0;
  int runs = 5;
  std::string out;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--files")
      files = std::atol(argv[i + 1]);
    else if (opt == "--folders")
      folders = std::atol(argv[i + 1]);
    else if (opt == "-o")
      out = argv[i + 1];
    else if (opt == "--runs")
      runs = std::max(1, std::atoi(argv[i + 1]));
    else
      return Usage();
  }
  if (what == "make-image" && files > 0 && folders > 0 && !out.empty())
    return MakeImage(files, folders, out);
  if (what == "import") return Import(runs);
  return Usage();
}
