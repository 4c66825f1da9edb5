#pragma once
// Where the program finds its settings file and writes its error log. Both
// live beside the program; when the program's folder holds no settings file,
// or cannot take the log, the user's XDG folders stand in for it.

#include <string>

namespace platform {

struct AppPaths {
  std::string program_dir;  // folder holding the running program
  std::string config_home;  // $XDG_CONFIG_HOME, else ~/.config
  std::string state_home;   // $XDG_STATE_HOME, else ~/.local/state

  static AppPaths FromEnvironment();

  // program_dir/zqcb.ini when that file exists, else
  // config_home/tidemark/zqcb.ini (which may not exist either).
  std::string SettingsFile() const;
  // program_dir/Log/Log.txt when the program's folder takes it, else
  // state_home/tidemark/Log/Log.txt.
  std::string ErrorLogFile() const;
};

// The folder of the running executable (from /proc/self/exe); "." when
// that cannot be read.
std::string ProgramFolder();

}  // namespace platform
