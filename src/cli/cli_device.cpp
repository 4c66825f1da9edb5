#include "cli/cli_device.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

#include "cli/cli_options.h"
#include "cli/command.h"
#include "device/aspi_loader.h"
#include "device/device_entry.h"
#include "device/scsi_device.h"
#include "device/sgio_transport.h"
#include "device/transport_note.h"

namespace cli {
namespace {

std::string_view TrimmedRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::optional<size_t> Index(const std::string& Text) {
  size_t v = 0;
  auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), v);
  if (Text.empty() || ec != std::errc() || end != Text.data() + Text.size()) return std::nullopt;
  return v;
}

// The node's name as the drive column shows it: "sr0" for /dev/sr0, also
// when the path is a link to it.
std::vector<std::string> NodeNames(const std::string& Node) {
  namespace fs = std::filesystem;
  std::vector<std::string> names{fs::path(Node).filename().string()};
  std::error_code ec;
  const fs::path target = fs::canonical(Node, ec);
  if (!ec && target.filename() != names.front()) names.push_back(target.filename().string());
  return names;
}

}  // namespace

std::optional<TransportKind> ParseTransport(std::string_view Text) {
  if (Text == "auto") return TransportKind::Auto;
  if (Text == "sgio") return TransportKind::SgIo;
  if (Text == "library") return TransportKind::Library;
  return std::nullopt;
}

void AddTransportOption(Options& Opts) {
  Opts.Add("--transport", "auto|sgio|library",
           "how commands reach the recorder (default auto: SG_IO when a real recorder answers, "
           "else the library, which finds the virtual recorder)");
}

void AddRecorderOptions(Options& Opts) {
  Opts.Add("--device", "D",
           "the recorder: an entry of tidemark devices, its index from 0, or a device node "
           "such as /dev/sr0 (default: the first)");
  AddTransportOption(Opts);
}

int StartTransport(TSCSIDevice& Device, TransportKind Kind, std::string& Error) {
  switch (Kind) {
    case TransportKind::Auto:
      if (!Device.InitializeASPI(true)) {
        Error = "no recorder answers through SG_IO and no ASPI library was found";
        return kExitNoRecorder;
      }
      // Never a silent switch from a real drive to the virtual recorder.
      if (const std::string note = device::PassedOverDrivesNote(); !note.empty())
        std::fprintf(stderr, "tidemark: note: %s\n", note.c_str());
      break;
    case TransportKind::SgIo:
      SPTIInit();
      if (SPTIDriveMap.Drives.empty() || !Device.InitializeASPI(true) ||
          ASPIName != kBuiltInTransportName) {
        RemoveASPI();
        Error = "no recorder answers through SG_IO";
        return kExitNoRecorder;
      }
      break;
    case TransportKind::Library:
      if (!Device.InitializeASPI(false) || ASPIName == kBuiltInTransportName) {
        RemoveASPI();
        Error = "no ASPI library was found (libwnaspi32.so, libasapi.so, or TIDEMARK_ASPI_LIBRARY)";
        return kExitNoRecorder;
      }
      break;
  }
  return kExitOk;
}

std::optional<size_t> FindRecorder(const std::vector<std::string>& List, const std::string& Device,
                                   std::string& Error) {
  for (size_t i = 0; i < List.size(); ++i) {
    if (List[i] == Device) return i;
  }
  for (size_t i = 0; i < List.size(); ++i) {
    if (TrimmedRight(List[i]) == TrimmedRight(Device)) return i;
  }
  if (const auto index = Index(Device)) {
    if (*index < List.size()) return *index;
    Error = "there is no recorder " + Device + " (" + std::to_string(List.size()) +
            " found; tidemark devices lists them)";
    return std::nullopt;
  }
  if (Device.find('/') != std::string::npos) {
    for (const std::string& name : NodeNames(Device)) {
      for (size_t i = 0; i < List.size(); ++i) {
        if (device::EntryDrive(List[i]) == name) return i;
      }
    }
  }
  Error = "no recorder is " + Device + " (tidemark devices lists them)";
  return std::nullopt;
}

int OpenRecorder(TSCSIDevice& Device, const Options& Opts, std::string& Error) {
  TransportKind kind = TransportKind::Auto;
  if (const auto text = Opts.Value("--transport")) {
    const auto parsed = ParseTransport(*text);
    if (!parsed) {
      Error = "--transport takes auto, sgio or library, not " + *text;
      return kExitUsage;
    }
    kind = *parsed;
  }
  if (const int status = StartTransport(Device, kind, Error); status != kExitOk) return status;
  if (Device.DeviceList.empty()) {
    Error = "no recorder found";
    return kExitNoRecorder;
  }
  size_t index = 0;
  if (const auto wanted = Opts.Value("--device")) {
    const auto found = FindRecorder(Device.DeviceList, *wanted, Error);
    if (!found) return kExitNoRecorder;
    index = *found;
  }
  Device.SelectDevice(Device.DeviceList[index]);
  if (Device.DeviceId.empty()) {
    Error = "the recorder cannot be selected: " + Device.DeviceList[index];
    return kExitNoRecorder;
  }
  return kExitOk;
}

}  // namespace cli
