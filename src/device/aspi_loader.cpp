#include "device/aspi_loader.h"

#include "device/aspi_blocks.h"
#include "device/library_transport.h"
#include "device/outstanding_requests.h"
#include "device/sgio_transport.h"

bool ASPILoaded = false;
std::string ASPIName;

namespace {

ASPISupportInfoFn g_support = nullptr;
ASPISendCommandFn g_send = nullptr;
device::AspiLibrary g_library;
bool g_use_internal_first = false;

void Install(std::string_view name, ASPISupportInfoFn support, ASPISendCommandFn send) {
  g_support = support;
  g_send = send;
  ASPIName = name;
  ASPILoaded = true;
}

// The built-in transport is offered when the map holds at least one drive.
bool BuiltInHasDrives() {
  SPTIInit();
  return !SPTIDriveMap.Drives.empty();
}

// At exit a loaded library is left mapped: one of its threads may still be
// running. (The built-in transport closes its device nodes itself.)

}  // namespace

bool LoadASPI(bool UseInternalFirst) {
  g_use_internal_first = UseInternalFirst;
  if (UseInternalFirst && BuiltInHasDrives()) {
    Install(kBuiltInTransportName, SPTISupportInfo, SPTISendCommand);
  }
  if (!ASPILoaded && device::OpenAspiLibrary(g_library)) {
    Install(g_library.name, g_library.support, g_library.send);
  }
  if (!ASPILoaded && BuiltInHasDrives()) {
    Install(kBuiltInTransportName, SPTISupportInfo, SPTISendCommand);
  }
  if (ASPILoaded) g_support();
  return ASPILoaded;
}

bool ReloadASPI() {
  if (ASPIName == kBuiltInTransportName) {
    ASPILoaded = false;
    SPTIDone();
  } else {
    UnloadASPI();
  }
  try {
    LoadASPI(g_use_internal_first);
  } catch (const EAssertionFailed&) {
    ASPILoaded = false;
  }
  return true;
}

bool UnloadASPI() {
  if (!ASPILoaded || g_library.handle == nullptr) return true;
  ASPILoaded = false;
  g_support = nullptr;
  g_send = nullptr;
  if (device::ReapOutstanding() > 0) return true;  // stays mapped; see the header
  return device::CloseAspiLibrary(g_library);
}

uint32_t GetASPI32SupportInfo() {
  if (!ASPILoaded || g_support == nullptr) return uint32_t{SS_NO_ADAPTERS} << 8;
  return g_support();
}

uint32_t SendASPI32Command(void* srb) {
  if (!ASPILoaded || g_send == nullptr) return SS_ERR;
  return g_send(srb);
}

void InstallASPI(std::string_view name, ASPISupportInfoFn support, ASPISendCommandFn send) {
  Install(name, support, send);
}

void RemoveASPI() {
  UnloadASPI();
  if (device::ReapOutstanding() == 0) device::CloseAspiLibrary(g_library);
  SPTIDone();
  ASPILoaded = false;
  ASPIName.clear();
  g_support = nullptr;
  g_send = nullptr;
}
