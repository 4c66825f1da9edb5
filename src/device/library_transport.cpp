#include "device/library_transport.h"

#include <dlfcn.h>

#include <cstdlib>

namespace device {
namespace {

constexpr const char* kAspiSupport = "GetASPI32SupportInfo";
constexpr const char* kAspiSend = "SendASPI32Command";
constexpr const char* kAsapiSupport = "GetASAPI32SupportInfo";
constexpr const char* kAsapiSend = "SendASAPI32Command";

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

}  // namespace

bool OpenAspiLibrary(AspiLibrary& lib) {
  if (lib.handle != nullptr) return true;
  const char* explicit_path = std::getenv("TIDEMARK_ASPI_LIBRARY");
  if (explicit_path != nullptr && *explicit_path != '\0') {
    return TryOpen({explicit_path, explicit_path, true, true}, lib);
  }
  const Candidate search[] = {
      {"./libwnaspi32.so", "libwnaspi32.so", true, false},
      {"libwnaspi32.so", "libwnaspi32.so", true, false},
      {"libasapi.so", "libasapi.so", false, true},
  };
  for (const auto& c : search) {
    if (TryOpen(c, lib)) return true;
  }
  return false;
}

bool CloseAspiLibrary(AspiLibrary& lib) {
  if (lib.handle == nullptr) return true;
  bool ok = dlclose(lib.handle) == 0;
  lib = AspiLibrary{};
  return ok;
}

}  // namespace device
