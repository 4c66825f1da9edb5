#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"

namespace cli {
namespace {

std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

void PrintUsage(std::FILE* out) {
  std::fputs(
      "usage: tidemark SUBCOMMAND [OPTIONS] [ARGS]\n"
      "       tidemark SUBCOMMAND --help   (or tidemark help SUBCOMMAND)\n"
      "       tidemark --version\n\n"
      "Records ISO 9660 + Joliet data discs, saves and burns images, blanks rewritable\n"
      "discs, continues multisession discs and extracts files from them.\n\n"
      "Subcommands:\n",
      out);
  std::vector<Command> sorted = Registry();
  std::sort(sorted.begin(), sorted.end(),
            [](const Command& a, const Command& b) { return std::string(a.name) < b.name; });
  for (const Command& c : sorted) std::fprintf(out, "  %-12s %s\n", c.name, c.summary);
}

// The edit distance between two words (insertions, deletions, changes and
// swaps of neighbours each count one).
size_t Distance(const std::string& A, const std::string& B) {
  std::vector<std::vector<size_t>> d(A.size() + 1, std::vector<size_t>(B.size() + 1));
  for (size_t i = 0; i <= A.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= B.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= A.size(); ++i) {
    for (size_t j = 1; j <= B.size(); ++j) {
      d[i][j] = std::min(
          {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (A[i - 1] == B[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && A[i - 1] == B[j - 2] && A[i - 2] == B[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[A.size()][B.size()];
}

// The subcommand a mistyped word most likely meant; empty when none is
// close (at most two edits, and fewer than half the word's letters).
std::string Closest(const std::string& Word) {
  std::string best;
  size_t best_distance = 3;
  for (const Command& c : Registry()) {
    const size_t d = Distance(Word, c.name);
    if (d < best_distance && d * 2 < std::max<size_t>(Word.size(), 2)) {
      best = c.name;
      best_distance = d;
    }
  }
  return best;
}

const Command* Find(const std::string& Name) {
  for (const Command& c : Registry())
    if (Name == c.name) return &c;
  return nullptr;
}

int Unknown(const std::string& Word) {
  const std::string closest = Closest(Word);
  if (closest.empty())
    std::fprintf(stderr, "tidemark: unknown subcommand \"%s\" (see tidemark --help)\n",
                 Word.c_str());
  else
    std::fprintf(stderr,
                 "tidemark: unknown subcommand \"%s\"; did you mean \"%s\"? (see tidemark "
                 "--help)\n",
                 Word.c_str(), closest.c_str());
  return kExitUsage;
}

}  // namespace

const std::vector<Command>& Commands() {
  return Registry();
}

CommandRegistrar::CommandRegistrar(const char* name, const char* summary, CommandFn run) {
  Registry().push_back(Command{name, summary, run});
}

}  // namespace cli

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    cli::PrintUsage(stderr);
    return cli::kExitUsage;
  }
  const std::string& first = args[0];
  if (first == "--version") {
    std::puts("tidemark 1.1.7");
    return cli::kExitOk;
  }
  if (first == "help" && args.size() >= 2) {
    // tidemark help SUB is tidemark SUB --help.
    const cli::Command* c = cli::Find(args[1]);
    return c != nullptr ? c->run({"--help"}) : cli::Unknown(args[1]);
  }
  if (first == "--help" || first == "-h" || first == "help") {
    cli::PrintUsage(stdout);
    return cli::kExitOk;
  }
  if (const cli::Command* c = cli::Find(first))
    return c->run(std::vector<std::string>(args.begin() + 1, args.end()));
  return cli::Unknown(first);
}
