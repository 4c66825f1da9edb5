#pragma once
// Recorder selection for every subcommand that drives a recorder:
// --transport auto|sgio|library chooses how commands reach it, --device
// picks one by its entry text (as `tidemark devices` lists it), its
// 0-based index, or its device node (/dev/sr0). Without --device the first
// recorder is used.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TSCSIDevice;

namespace cli {

class Options;

enum class TransportKind {
  Auto,     // the built-in SG_IO transport when a real recorder answers, else a library
  SgIo,     // the built-in transport only
  Library,  // an ASPI library only (the virtual recorder ships as one)
};

std::optional<TransportKind> ParseTransport(std::string_view Text);

// Declares --device and --transport.
void AddRecorderOptions(Options& Opts);
// Declares --transport only (for commands that list recorders).
void AddTransportOption(Options& Opts);

// Starts the transport and lists the recorders into DeviceList. Returns an
// exit status (kExitOk, or kExitNoRecorder with Error).
int StartTransport(TSCSIDevice& Device, TransportKind Kind, std::string& Error);

// The entry of List that Device names: the entry itself (trailing blanks
// do not matter), an index, or a device node (a symbolic link such as
// /dev/cdrom is followed). nullopt, with Error, when none matches.
std::optional<size_t> FindRecorder(const std::vector<std::string>& List, const std::string& Device,
                                   std::string& Error);

// Everything the options ask for: the transport, the recorder, and its
// selection. Returns an exit status: kExitOk with the recorder selected,
// kExitUsage for a bad option value, kExitNoRecorder when there is no
// transport, no such recorder, or the recorder cannot be selected; Error
// says why.
int OpenRecorder(TSCSIDevice& Device, const Options& Opts, std::string& Error);

}  // namespace cli
