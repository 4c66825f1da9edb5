#pragma once
// The entries of a compilation by their path below the root ("\A\b.txt"),
// for tests that compare two compilations or a compilation and a disc.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "burner/cd_burner.h"

inline std::map<std::string, PFileEntry> EntriesByPath(TzqCDBurner& b) {
  std::map<std::string, PFileEntry> out;
  std::vector<std::pair<PDirEntry, std::string>> todo{{b.RootDir(), ""}};
  while (!todo.empty()) {
    auto [dir, prefix] = todo.back();
    todo.pop_back();
    for (PFileEntry e = dir->FirstChild; e != nullptr; e = e->Next) {
      const std::string path = prefix + "\\" + e->LongName;
      out[path] = e;
      if (e->Dir != nullptr) todo.push_back({e->Dir, path});
    }
  }
  return out;
}
