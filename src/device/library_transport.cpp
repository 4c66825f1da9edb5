#include "device/library_transport.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/app_paths.h"

namespace device {
namespace {

constexpr const char* kAspiSupport = "GetASPI32SupportInfo";
constexpr const char* kAspiSend = "SendASPI32Command";
constexpr const char* kAsapiSupport = "GetASAPI32SupportInfo";
constexpr const char* kAsapiSend = "SendASAPI32Command";
constexpr const char* kAspiFile = "libwnaspi32.so";
constexpr const char* kAsapiFile = "libasapi.so";

struct Candidate {
  std::string path;  // as handed to dlopen
  std::string name;  // ASPIName
  bool aspi_names;   // try the ASPI entry-point names
  bool asapi_names;  // try the ASAPI names
};

// Binds one pair of names; true only when both exist, so that no command
// can ever go through a missing entry point.
bool Bind(AspiLibrary& lib, const char* support_name, const char* send_name) {
  void* support = dlsym(lib.handle, support_name);
  void* send = dlsym(lib.handle, send_name);
  if (support == nullptr || send == nullptr) return false;
  lib.support = reinterpret_cast<ASPISupportInfoFn>(support);
  lib.send = reinterpret_cast<ASPISendCommandFn>(send);
  return true;
}

bool TryOpen(const Candidate& c, AspiLibrary& lib) {
  void* handle = dlopen(c.path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return false;
  lib.handle = handle;
  lib.name = c.name;
  bool bound = (c.aspi_names && Bind(lib, kAspiSupport, kAspiSend)) ||
               (c.asapi_names && Bind(lib, kAsapiSupport, kAsapiSend));
  if (!bound) {
    dlclose(handle);
    lib = AspiLibrary{};
    throw EAssertionFailed("Assertion failure: " + c.path +
                           " lacks the ASPI entry points (aspi_loader)");
  }
  return true;
}

bool IsAbsolute(const std::string& folder) {
  return !folder.empty() && folder[0] == '/';
}

// `file` in `folder`, when it is there; the candidate's name stays.
bool TryInFolder(const std::string& folder, const char* file, Candidate c, AspiLibrary& lib) {
  c.path = folder + (folder.back() == '/' ? "" : "/") + file;
  if (::access(c.path.c_str(), F_OK) != 0) return false;
  return TryOpen(c, lib);
}

// The folders the dynamic loader searches for this program, as it reports
// them ($LD_LIBRARY_PATH, the run path, the system's folders); false when
// it cannot say.
bool LoaderSearchFolders(std::vector<std::string>& folders) {
  void* self = dlopen(nullptr, RTLD_NOW);
  if (self == nullptr) return false;
  Dl_serinfo size{};
  bool ok = dlinfo(self, RTLD_DI_SERINFOSIZE, &size) == 0;
  std::unique_ptr<Dl_serinfo, decltype(&std::free)> info(
      ok ? static_cast<Dl_serinfo*>(std::malloc(size.dls_size)) : nullptr, &std::free);
  ok = ok && info != nullptr && dlinfo(self, RTLD_DI_SERINFOSIZE, info.get()) == 0 &&
       dlinfo(self, RTLD_DI_SERINFO, info.get()) == 0;
  for (unsigned i = 0; ok && i < info->dls_cnt; ++i)
    folders.emplace_back(info->dls_serpath[i].dls_name);
  dlclose(self);
  return ok;
}

// The library on the dynamic loader's path. Its folders are tried one by
// one by absolute path; an empty or relative one (an empty entry in
// $LD_LIBRARY_PATH or in a run path stands for the current folder) is
// passed over. Only when every folder is absolute is the loader asked by
// name as well, for the libraries its cache knows.
bool TryOnLoaderPath(const Candidate& c, AspiLibrary& lib) {
  std::vector<std::string> folders;
  if (!LoaderSearchFolders(folders)) return false;
  bool all_absolute = true;
  for (const std::string& folder : folders) {
    if (!IsAbsolute(folder)) {
      all_absolute = false;
      continue;
    }
    if (TryInFolder(folder, c.path.c_str(), c, lib)) return true;
  }
  return all_absolute && TryOpen(c, lib);
}

}  // namespace

bool OpenAspiLibrary(AspiLibrary& lib) {
  if (lib.handle != nullptr) return true;
  const char* explicit_path = std::getenv("TIDEMARK_ASPI_LIBRARY");
  if (explicit_path != nullptr && *explicit_path != '\0') {
    return TryOpen({explicit_path, explicit_path, true, true}, lib);
  }
  // Folders are named by absolute paths only: a relative name would make
  // the current folder, which may be a downloads folder, a place to run
  // code from.
  for (const std::string& folder :
       {platform::ProgramFolderOrEmpty(), platform::PrivateLibraryFolder()}) {
    if (IsAbsolute(folder) &&
        TryInFolder(folder, kAspiFile, {kAspiFile, kAspiFile, true, false}, lib))
      return true;
  }
  return TryOnLoaderPath({kAspiFile, kAspiFile, true, false}, lib) ||
         TryOnLoaderPath({kAsapiFile, kAsapiFile, false, true}, lib);
}

bool CloseAspiLibrary(AspiLibrary& lib) {
  if (lib.handle == nullptr) return true;
  bool ok = dlclose(lib.handle) == 0;
  lib = AspiLibrary{};
  return ok;
}

}  // namespace device
