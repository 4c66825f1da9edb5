#include "platform/app_paths.h"

#include <limits.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/settings.h"

namespace platform {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  // The XDG rules ignore relative values.
  if (v != nullptr && v[0] == '/') return v;
  return fallback;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

bool Exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}
bool Writable(const std::string& path) {
  return ::access(path.c_str(), W_OK) == 0;
}

}  // namespace

std::string ProgramFolderOrEmpty() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, static_cast<std::size_t>(n));
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || path[0] != '/') return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ProgramFolder() {
  std::string folder = ProgramFolderOrEmpty();
  return folder.empty() ? "." : folder;
}

std::string PrivateLibraryFolder() {
  std::string folder = ProgramFolderOrEmpty();
  if (folder.empty()) return {};
  return Join(folder, TIDEMARK_PRIVATE_LIBDIR_FROM_BINDIR);
}

AppPaths AppPaths::FromEnvironment() {
  AppPaths p;
  p.program_dir = ProgramFolder();
  const std::string private_libs = PrivateLibraryFolder();
  p.installed = !private_libs.empty() && Exists(private_libs);
  std::string home = EnvOr("HOME", "/tmp");
  p.config_home = EnvOr("XDG_CONFIG_HOME", Join(home, ".config"));
  p.state_home = EnvOr("XDG_STATE_HOME", Join(home, ".local/state"));
  return p;
}

std::string AppPaths::SettingsFile() const {
  std::string beside = Join(program_dir, kSettingsFileName);
  if (Exists(beside)) return beside;
  return Join(Join(config_home, "tidemark"), kSettingsFileName);
}

std::string AppPaths::ErrorLogFile() const {
  std::string folder = Join(program_dir, "Log");
  std::string file = Join(folder, "Log.txt");
  bool takes_it = Exists(file)     ? Writable(file)
                  : Exists(folder) ? Writable(folder)
                                   : Writable(program_dir);
  if (takes_it && !installed) return file;
  return Join(Join(Join(state_home, "tidemark"), "Log"), "Log.txt");
}

}  // namespace platform
