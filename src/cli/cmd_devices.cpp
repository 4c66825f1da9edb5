// tidemark devices, info, disc, eject, load: the recorders, the selected
// recorder's abilities and speeds, the loaded disc, and the tray. The texts
// are those of the window's drive bar and information dialogs.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_device.h"
#include "cli/cli_frame.h"
#include "cli/cli_system.h"
#include "cli/command.h"
#include "device/device_entry.h"
#include "device/drive_mounts.h"
#include "device/session_list.h"
#include "device/speed_list.h"
#include "platform/utf8.h"

namespace {

// Parses the subcommand's options (the recorder options when it selects a
// recorder, else only --transport); a status to return at once, or
// nullopt to go on.
std::optional<int> Parse(cli::Frame& F, bool SelectsRecorder,
                         const std::vector<std::string>& Args) {
  if (SelectsRecorder)
    cli::AddRecorderOptions(F.Opts());
  else
    cli::AddTransportOption(F.Opts());
  if (const auto status = F.Parse(Args, false)) return status;
  if (!F.Opts().Positional().empty()) return F.Usage(F.Name() + " takes no arguments");
  return std::nullopt;
}

// The component with its log on standard error, the transport started and
// (with SelectsRecorder) the recorder selected; nullopt to go on.
std::optional<int> Open(const cli::Frame& F, TzqCDBurner& Burner, bool SelectsRecorder) {
  F.AttachLog(Burner);
  std::string error;
  int status = cli::kExitOk;
  if (SelectsRecorder) {
    status = cli::OpenRecorder(Burner, F.Opts(), error);
  } else {
    cli::TransportKind kind = cli::TransportKind::Auto;
    if (const auto text = F.Opts().Value("--transport")) {
      const auto parsed = cli::ParseTransport(*text);
      if (!parsed) return F.Usage("--transport takes auto, sgio or library, not " + *text);
      kind = *parsed;
    }
    status = cli::StartTransport(Burner, kind, error);
  }
  if (status == cli::kExitOk) return std::nullopt;
  return F.Fail(status, error);
}

// A disc the desktop has mounted, beside the text output.
void MountNote(const std::string& Text) {
  std::fprintf(stderr, "tidemark: note: %s\n", platform::SanitizeUtf8(Text).c_str());
}

// ---- devices ---------------------------------------------------------------

int RunDevices(const std::vector<std::string>& Args) {
  cli::Frame f(
      "devices",
      "usage: tidemark devices [OPTIONS]\n\n"
      "Lists the recorders, one entry a line, as the window's recorder list shows them.\n\n");
  if (const auto st = Parse(f, false, Args)) return *st;
  TzqCDBurner burner;
  if (const auto st = Open(f, burner, false)) return *st;
  const std::vector<std::string>& list = burner.DeviceList;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string mounted = device::MountedDiscOf(list[i]).Text();
    if (f.Json()) {
      platform::JsonObject o;
      o.Add("event", "device")
          .Add("index", static_cast<int64_t>(i))
          .Add("entry", list[i])
          .Add("drive", device::EntryDrive(list[i]));
      if (!mounted.empty()) o.Add("mounted", mounted);
      cli::EmitJson(o);
    } else {
      f.Line(list[i]);
      if (!mounted.empty()) MountNote(mounted);
    }
  }
  if (list.empty()) return f.Fail(cli::kExitNoRecorder, "no recorder found");
  return f.Report(jobs::Succeeded(),
                  platform::JsonObject().Add("devices", static_cast<int64_t>(list.size())), "");
}

// ---- info ------------------------------------------------------------------

struct CapabilityRow {
  const char* caption;
  TCapability element;
};
// In the order of the burner information dialog.
constexpr CapabilityRow kCapabilityRows[] = {
    {"Read CDR", TCapability::ReadCDR},
    {"Read CDRW", TCapability::ReadCDRW},
    {"Read DVD", TCapability::ReadDVD},
    {"Read DVD-R", TCapability::ReadDVDR},
    {"Read DVD-RW", TCapability::ReadDVDRW},
    {"Read DVD-RAM", TCapability::ReadDVDRAM},
    {"Read DVD+R", TCapability::ReadDVDPR},
    {"Read DVD+RW", TCapability::ReadDVDPRW},
    {"Write CDR", TCapability::WriteCDR},
    {"Write CDRW", TCapability::WriteCDRW},
    {"Write DVD-R", TCapability::WriteDVDR},
    {"Write DVD-RW", TCapability::WriteDVDRW},
    {"Write DVD-RAM", TCapability::WriteDVDRAM},
    {"Write DVD+R", TCapability::WriteDVDPR},
    {"Write DVD+RW", TCapability::WriteDVDPRW},
    {"Write Test", TCapability::WriteTest},
    {"Underrun Protection", TCapability::UnderrunProtection},
};

int RunInfo(const std::vector<std::string>& Args) {
  cli::Frame f("info",
               "usage: tidemark info [OPTIONS]\n\n"
               "Shows the recorder: its entry, maximum speeds, abilities and the write speeds it "
               "takes\nfor the loaded medium, as the burner information dialog and the speed list "
               "show them.\n\n");
  if (const auto st = Parse(f, true, Args)) return *st;
  TzqCDBurner burner;
  if (const auto st = Open(f, burner, true)) return *st;
  const uint16_t divisor = device::MediaDivisor(burner.GetMediaType());
  const std::vector<std::string> speeds = device::BuildWriteSpeedList(burner, divisor);
  const std::string max_write = std::to_string(burner.DeviceMaxWriteSpeed) + "x";
  const std::string max_read = std::to_string(burner.DeviceMaxReadSpeed) + "x";
  const std::string mounted = device::MountedDiscOf(burner.DeviceId).Text();

  if (f.Json()) {
    platform::JsonObject o;
    o.Add("entry", burner.DeviceId)
        .Add("description", burner.DeviceDescription)
        .Add("max_write_speed", int64_t{burner.DeviceMaxWriteSpeed})
        .Add("max_read_speed", int64_t{burner.DeviceMaxReadSpeed});
    if (!mounted.empty()) o.Add("mounted", mounted);
    platform::JsonArray capabilities;
    for (const CapabilityRow& row : kCapabilityRows)
      capabilities.Push(platform::JsonObject()
                            .Add("name", row.caption)
                            .Add("supported", burner.Capabilities.Has(row.element)));
    platform::JsonArray list;
    for (const std::string& entry : speeds) list.Push(entry);
    o.Add("capabilities", capabilities).Add("speeds", list);
    return f.Report(jobs::Succeeded(), o, "");
  }
  f.Line(burner.DeviceId);
  if (!mounted.empty()) MountNote(mounted);
  f.Line("Max Write Speed:  " + max_write);
  f.Line("Max Read Speed:  " + max_read);
  for (const CapabilityRow& row : kCapabilityRows) {
    f.Line(std::string(row.caption) + ": " + (burner.Capabilities.Has(row.element) ? "yes" : "no"));
  }
  f.Line("Speed:");
  for (const std::string& entry : speeds) f.Line(entry);
  return cli::kExitOk;
}

// ---- disc ------------------------------------------------------------------

int RunDisc(const std::vector<std::string>& Args) {
  cli::Frame f("disc",
               "usage: tidemark disc [OPTIONS]\n\n"
               "Shows the loaded disc: its medium, total and used size, then one line per session "
               "and the\nfree space, as the session dialog shows them.\n\n");
  if (const auto st = Parse(f, true, Args)) return *st;
  TzqCDBurner burner;
  if (const auto st = Open(f, burner, true)) return *st;
  const device::SessionList list = device::ReadSessionList(burner);
  if (!list.Ready) {
    const std::string why = burner.LastError.empty() ? "" : " (" + burner.LastError + ")";
    if (!f.Json()) f.Line(device::kNoDiscLine);
    return f.Fail(cli::kExitFailed, "no disc, or the recorder is not ready" + why);
  }
  if (f.Json()) {
    platform::JsonArray lines;
    for (const std::string& line : list.Lines) lines.Push(line);
    platform::JsonObject o;
    o.Add("medium", list.Medium)
        .Add("disc_size", list.DiscSize)
        .Add("used_space", list.UsedSpace)
        .Add("capacity_blocks", int64_t{list.CapacityBlocks})
        .Add("used_blocks", int64_t{list.UsedBlocks})
        .Add("free_blocks", int64_t{list.FreeBlocks})
        .Add("first_session", int64_t{list.FirstSession})
        .Add("last_session", int64_t{list.LastSession})
        .Add("lines", lines);
    return f.Report(jobs::Succeeded(), o, "");
  }
  f.Line("Media: " + list.Medium);
  f.Line("Total Size: " + list.DiscSize);
  f.Line("Used Size: " + list.UsedSpace);
  f.Line(device::kSessionListHeader);
  for (const std::string& line : list.Lines) f.Line(line);
  return cli::kExitOk;
}

// ---- eject, load -----------------------------------------------------------

int Tray(const std::vector<std::string>& Args, bool Eject) {
  cli::Frame f(Eject ? "eject" : "load",
               Eject ? "usage: tidemark eject [OPTIONS]\n\nOpens the recorder's tray.\n\n"
                     : "usage: tidemark load [OPTIONS]\n\nCloses the recorder's tray.\n\n");
  if (Eject) cli::AddUnmountOption(f.Opts());
  if (const auto st = Parse(f, true, Args)) return *st;
  TzqCDBurner burner;
  if (const auto st = Open(f, burner, true)) return *st;
  // The tray of a mounted disc stays shut: the file system would vanish
  // under whatever uses it.
  if (Eject) {
    if (const auto st = cli::ReleaseMountedDisc(burner, f)) return *st;
  }
  bool done = false;
  if (Eject) {
    // What was written is flushed and the tray unlocked first.
    burner.SynchronizeCache(300000, false);
    burner.PreventAllowRemoval(true);
    done = burner.StartStopUnit(true);
  } else {
    done = burner.StartStopUnit(false);
  }
  if (!done) return f.Fail(cli::kExitFailed, burner.LastError);
  burner.DebugMsg(Eject ? ">>> EJECT MEDIUM COMMAND DONE." : ">>> LOAD MEDIUM COMMAND DONE.", 1);
  return f.Report(jobs::Succeeded(), platform::JsonObject(), "");
}

int RunEject(const std::vector<std::string>& Args) {
  return Tray(Args, true);
}
int RunLoad(const std::vector<std::string>& Args) {
  return Tray(Args, false);
}

}  // namespace

TIDEMARK_COMMAND("devices", "lists the recorders", RunDevices);
TIDEMARK_COMMAND("info", "shows the recorder's abilities and write speeds", RunInfo);
TIDEMARK_COMMAND("disc", "shows the loaded disc and its sessions", RunDisc);
TIDEMARK_COMMAND("eject", "opens the recorder's tray", RunEject);
TIDEMARK_COMMAND("load", "closes the recorder's tray", RunLoad);
