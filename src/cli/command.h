#pragma once
// Subcommands of the tidemark command. Each cmd_*.cpp file registers its
// subcommands with TIDEMARK_COMMAND; main() dispatches on the first word.

#include <string>
#include <vector>

namespace cli {

// Exit statuses of every subcommand.
enum ExitStatus : int {
  kExitOk = 0,         // success
  kExitFailed = 1,     // the job failed; "tidemark: TEXT" on standard error
  kExitUsage = 2,      // bad usage or bad input; nothing written
  kExitNoRecorder = 3, // no transport or no recorder
};

using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
  const char* name;
  const char* summary;  // one line for `tidemark --help`
  CommandFn run;        // receives the arguments after the subcommand's name
};

const std::vector<Command>& Commands();

struct CommandRegistrar {
  CommandRegistrar(const char* name, const char* summary, CommandFn run);
};

}  // namespace cli

#define TIDEMARK_COMMAND_CAT2(a, b) a##b
#define TIDEMARK_COMMAND_CAT(a, b) TIDEMARK_COMMAND_CAT2(a, b)
#define TIDEMARK_COMMAND(name, summary, fn) \
  static ::cli::CommandRegistrar TIDEMARK_COMMAND_CAT(tidemark_command_, __LINE__)(name, summary, fn)
