#pragma once
// The library transport: a shared object with the two ASPI entry points,
// loaded at run time. Looked up as TIDEMARK_ASPI_LIBRARY alone when that is
// set, otherwise as libwnaspi32.so in the program's own folder, then in the
// private library folder of an installed tree (platform/app_paths.h), then
// through the dynamic loader's search, then libasapi.so there. Never in the
// current folder: a library planted where the user happens to be would run
// with the user's rights.

#include <string>

#include "device/aspi_loader.h"

namespace device {

struct AspiLibrary {
  void* handle = nullptr;
  std::string name;  // what ASPIName becomes
  ASPISupportInfoFn support = nullptr;
  ASPISendCommandFn send = nullptr;
};

// Opens the first library the lookup finds. False when none loads. A library
// that loads but lacks an entry point is closed again and EAssertionFailed
// is thrown.
bool OpenAspiLibrary(AspiLibrary& lib);
// dlclose; true when it succeeded (or nothing was open).
bool CloseAspiLibrary(AspiLibrary& lib);

}  // namespace device
