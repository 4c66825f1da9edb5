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
      "       tidemark SUBCOMMAND --help\n"
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

}  // namespace

const std::vector<Command>& Commands() { return Registry(); }

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
  if (first == "--help" || first == "-h" || first == "help") {
    cli::PrintUsage(stdout);
    return cli::kExitOk;
  }
  for (const cli::Command& c : cli::Commands()) {
    if (first == c.name) {
      return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
    }
  }
  std::fprintf(stderr, "tidemark: unknown subcommand \"%s\" (see tidemark --help)\n", first.c_str());
  return cli::kExitUsage;
}
