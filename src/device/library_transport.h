#pragma once
// The library transport: a shared object with the two ASPI entry points,
// loaded at run time. Looked up as TIDEMARK_ASPI_LIBRARY alone when that is
// set, otherwise as ./libwnaspi32.so (current folder), libwnaspi32.so (the
// dynamic loader's search; the programs carry RUNPATH $ORIGIN) and
// libasapi.so, in that order.

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
