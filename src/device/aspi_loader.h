#pragma once
// The transport layer: which of the two transports answers the two ASPI
// entry points, chosen once per process and re-initialised after jobs.
//
// Built-in transport: SG_IO on the recorders' device nodes (sgio_transport.h),
// calling itself "QXASPI32". Library transport: a shared object exporting
// the ASPI entry points (library_transport.h), named after the file it was
// loaded from.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

using ASPISupportInfoFn = uint32_t (*)();
using ASPISendCommandFn = uint32_t (*)(void* srb);

inline constexpr std::string_view kBuiltInTransportName = "QXASPI32";

// A library was found but lacks an entry point. Raised by LoadASPI after it
// has closed the library again; nothing is installed.
class EAssertionFailed : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// A transport is installed.
extern bool ASPILoaded;
// "QXASPI32", the loaded library's name, or empty before loading.
extern std::string ASPIName;

// Chooses and installs a transport; the result is ASPILoaded. Throws
// EAssertionFailed for a library with a missing entry point.
bool LoadASPI(bool UseInternalFirst);
// Tears the current transport down and loads again with the remembered
// argument. Always true; never throws (it runs at the end of worker jobs).
bool ReloadASPI();
// Frees a loaded library. A library that still owns a timed-out request
// stays mapped (its thread may still complete it).
bool UnloadASPI();

// The installed entry points. Without a transport they answer "no adapters"
// and SS_ERR without touching the block.
uint32_t GetASPI32SupportInfo();
uint32_t SendASPI32Command(void* srb);

// Installs a pair of entry points directly: an in-process front end, or a
// scripted drive in tests. RemoveASPI tears everything down (library,
// built-in drive map, installed pair).
void InstallASPI(std::string_view name, ASPISupportInfoFn support, ASPISendCommandFn send);
void RemoveASPI();
