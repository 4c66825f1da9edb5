#pragma once
// Where the program finds its settings file, writes its error log and
// finds its private libraries. The settings file and the log live beside
// the program; when the program's folder holds no settings file, or cannot
// take the log, or is an installed tree's shared bin folder, the user's XDG
// folders stand in for it.

#include <string>

namespace platform {

struct AppPaths {
  std::string program_dir;  // folder holding the running program
  std::string config_home;  // $XDG_CONFIG_HOME, else ~/.config
  std::string state_home;   // $XDG_STATE_HOME, else ~/.local/state
  // The program runs from an installed tree (its private library folder
  // exists): its folder is shared with other programs and takes no log.
  bool installed = false;

  static AppPaths FromEnvironment();

  // program_dir/zqcb.ini when that file exists, else
  // config_home/tidemark/zqcb.ini (which may not exist either).
  std::string SettingsFile() const;
  // program_dir/Log/Log.txt when the program's folder takes it and is not
  // an installed tree's, else state_home/tidemark/Log/Log.txt.
  std::string ErrorLogFile() const;
};

// The folder of the running executable (from /proc/self/exe); "." when
// that cannot be read.
std::string ProgramFolder();
// The same, but "" when it cannot be read: for callers that load code from
// the folder, which must never fall back to the current one.
std::string ProgramFolderOrEmpty();
// The installed tree's folder of the programs' private libraries (the
// recorder library, the shim), found from the program's own folder as
// GNUInstallDirs laid it out (bin/ -> lib/tidemark/); "" when the
// program's folder is unknown. The folder need not exist.
std::string PrivateLibraryFolder();

}  // namespace platform
