#pragma once
// Independent programs (isoinfo, xorriso, 7z, bsdtar) as checkers of what
// the system writes. Each runs under `timeout`, in a UTF-8 locale, with its
// output and exit status captured.

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace peers {

struct Result {
  int status = -1;     // exit status; -1 when the program could not run
  std::string output;  // standard output and standard error
};

inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

inline bool Have(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs Command (a shell command line) with a time limit.
inline Result Run(const std::string& command, int seconds = 120) {
  Result r;
  const std::string line =
      "LC_ALL=C.UTF-8 timeout " + std::to_string(seconds) + " " + command + " 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace peers
