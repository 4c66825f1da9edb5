// Adds a folder from disk the way the application's Add command does
// (InsertDir with path, recursive, StripSourcePath on, the application's
// table sizes), then reports what went in.
//
//   tidemark-bench-add FOLDER            add, print counts and peak memory
//   tidemark-bench-add FOLDER files      add the folder's files one by one by
//                                        path, as a drop of many files does
//   tidemark-bench-add FOLDER delete     add, then time taking it out again:
//                                        half the files of the largest folder
//                                        one by one from the last (as a
//                                        selection is), every other subfolder
//                                        one by one, then the whole folder

#include <dirent.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "burner/cd_burner.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakRssKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tidemark-bench-add FOLDER [delete]\n");
    return 2;
  }
  std::string folder = argv[1];
  if (folder.back() != '/') folder += '/';
  const std::string mode = argc > 2 ? argv[2] : "";
  const bool deletes = mode == "delete";

  TzqCDBurner burner;
  long log_lines = 0;
  burner.OnDebugMessage = [&](TSCSIDevice*, const std::string& m, uint8_t) {
    if (++log_lines <= 5) std::fprintf(stderr, "log: %s\n", m.c_str());
  };
  burner.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  burner.StripSourcePath = true;

  auto start = std::chrono::steady_clock::now();
  int32_t result = 0;
  if (mode == "files") {
    std::vector<std::string> paths;
    if (DIR* d = opendir(folder.c_str())) {
      while (const dirent* e = readdir(d))
        if (e->d_type == DT_REG) paths.push_back(folder + e->d_name);
      closedir(d);
    }
    start = std::chrono::steady_clock::now();
    result = 1;
    for (const std::string& p : paths)
      if (burner.InsertFile("\\", p, false) != 1) result = 0;
  } else {
    result = burner.InsertDir("\\", folder, false, true, true, 63, "*.*");
  }
  const double add_seconds = Seconds(start);
  std::printf("result %d\ndirs %d\nfiles %d\nbytes %lld\nlog_lines %ld\nadd_seconds %.4f\n", result,
              burner.DirsCount(), burner.FilesCount(),
              static_cast<long long>(burner.TotalAddedBytes()), log_lines, add_seconds);

  if (deletes) {
    // The largest folder, emptied file by file from its end.
    PDirEntry largest = burner.RootDir();
    size_t most = 0;
    for (PDirEntry d : burner.DirTable()) {
      size_t n = 0;
      for (PFileEntry e = d->FirstChild; e != nullptr; e = e->Next) n += IsFolderEntry(e) ? 0 : 1;
      if (n > most) most = n, largest = d;
    }
    std::vector<std::string> names;
    for (PFileEntry e = largest->FirstChild; e != nullptr; e = e->Next)
      if (!IsFolderEntry(e)) names.push_back(e->LongName);
    const std::string path = largest->Path;
    // Half of them, so that a folder remains for the whole-tree delete.
    start = std::chrono::steady_clock::now();
    for (size_t i = names.size(); i-- > names.size() / 2;) burner.DeleteEntry(path, names[i]);
    const size_t left = burner.FileTable().size();  // the table as a layout would read it next
    std::printf("delete_each_count %zu\ndelete_each_seconds %.4f\n",
                names.size() - names.size() / 2, Seconds(start));
    // Every other subfolder of the added folder, one by one from the last.
    const PDirEntry top_dir = burner.RootDir()->FirstChild->Dir;
    std::vector<std::string> folders;
    for (PFileEntry e = top_dir->FirstChild; e != nullptr; e = e->Next)
      if (IsFolderEntry(e)) folders.push_back(e->Dir->Path);
    start = std::chrono::steady_clock::now();
    size_t taken = 0;
    for (size_t i = folders.size(); i-- > 0;)
      if (i % 2 == 1) taken += burner.DeleteDir(folders[i]) ? 1 : 0;
    burner.FileTable();
    std::printf("delete_folders_count %zu\ndelete_folders_seconds %.4f\n", taken, Seconds(start));
    start = std::chrono::steady_clock::now();
    const std::string top = top_dir->Path;
    burner.DeleteDir(top);
    const size_t remaining = burner.FileTable().size();
    std::printf("delete_tree_seconds %.4f\nleft_after_each %zu\nleft_after_tree %zu\n",
                Seconds(start), left, remaining);
  }
  std::printf("maxrss_kb %ld\n", PeakRssKb());
  return result == 1 ? 0 : 1;
}
