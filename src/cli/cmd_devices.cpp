// tidemark devices, info, disc, eject, load: the recorders, the selected
// recorder's abilities and speeds, the loaded disc, and the tray. The texts
// are those of the window's drive bar and information dialogs.

#include <cstdio>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "cli/cli_compilation.h"
#include "cli/cli_device.h"
#include "cli/cli_json.h"
#include "cli/cli_options.h"
#include "cli/command.h"
#include "device/device_entry.h"
#include "device/session_list.h"
#include "device/speed_list.h"
#include "platform/utf8.h"

namespace {

struct Shared {
  cli::Options opts;
  bool json = false;
};

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

void Line(const std::string& Text) {
  std::printf("%s\n", Shown(Text).c_str());
}

int Fail(const Shared& s, int Status, const std::string& Error) {
  if (s.json) cli::JsonObject().Add("event", "result").Add("ok", false).Add("error", Error).Print();
  std::fprintf(stderr, "tidemark: %s\n", Shown(Error).c_str());
  return Status;
}

// Parses the subcommand's options; a status to return at once (help or a
// usage error), or -1 to go on.
int Parse(Shared& s, const char* Name, const char* Usage, bool SelectsRecorder,
          const std::vector<std::string>& Args) {
  if (SelectsRecorder) {
    cli::AddRecorderOptions(s.opts);
  } else {
    cli::AddTransportOption(s.opts);
  }
  s.opts.Add("--json", "", "one JSON object a line on standard output instead of text")
      .Add("-v,--verbose", "", "progress and trace lines of the component's log")
      .Add("-h,--help", "", "this help");
  const bool parsed = s.opts.Parse(Args);
  s.json = s.opts.Has("--json");
  if (!parsed) {
    return Fail(s, cli::kExitUsage, s.opts.Error() + " (see tidemark " + Name + " --help)");
  }
  if (s.opts.Has("--help")) {
    std::printf("%s\n%s", Usage, s.opts.HelpText().c_str());
    return cli::kExitOk;
  }
  if (!s.opts.Positional().empty()) {
    return Fail(s, cli::kExitUsage,
                std::string(Name) + " takes no arguments (see tidemark " + Name + " --help)");
  }
  return -1;
}

// The component with its log on standard error, the transport started and
// (with SelectsRecorder) the recorder selected; -1 to go on, else a status.
int Open(Shared& s, TzqCDBurner& Burner, bool SelectsRecorder) {
  cli::AttachLog(Burner, s.opts.Has("--verbose"));
  Burner.DoDebug = s.opts.Has("--verbose");
  std::string error;
  int status = cli::kExitOk;
  if (SelectsRecorder) {
    status = cli::OpenRecorder(Burner, s.opts, error);
  } else {
    cli::TransportKind kind = cli::TransportKind::Auto;
    if (const auto text = s.opts.Value("--transport")) {
      const auto parsed = cli::ParseTransport(*text);
      if (!parsed) {
        return Fail(s, cli::kExitUsage, "--transport takes auto, sgio or library, not " + *text);
      }
      kind = *parsed;
    }
    status = cli::StartTransport(Burner, kind, error);
  }
  return status == cli::kExitOk ? -1 : Fail(s, status, error);
}

// ---- devices ---------------------------------------------------------------

int RunDevices(const std::vector<std::string>& Args) {
  Shared s;
  if (int st = Parse(s, "devices",
                     "usage: tidemark devices [OPTIONS]\n\n"
                     "Lists the recorders, one entry a line, as the window's recorder list "
                     "shows them.\n",
                     false, Args);
      st >= 0) {
    return st;
  }
  TzqCDBurner burner;
  if (int st = Open(s, burner, false); st >= 0) return st;
  const std::vector<std::string>& list = burner.DeviceList;
  for (size_t i = 0; i < list.size(); ++i) {
    if (s.json) {
      cli::JsonObject()
          .Add("event", "device")
          .Add("index", static_cast<int64_t>(i))
          .Add("entry", list[i])
          .Add("drive", device::EntryDrive(list[i]))
          .Print();
    } else {
      Line(list[i]);
    }
  }
  if (list.empty()) return Fail(s, cli::kExitNoRecorder, "no recorder found");
  if (s.json) {
    cli::JsonObject()
        .Add("event", "result")
        .Add("ok", true)
        .Add("devices", static_cast<int64_t>(list.size()))
        .Print();
  }
  return cli::kExitOk;
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
  Shared s;
  if (int st = Parse(s, "info",
                     "usage: tidemark info [OPTIONS]\n\n"
                     "Shows the recorder: its entry, maximum speeds, abilities and the write "
                     "speeds it takes\nfor the loaded medium, as the burner information dialog "
                     "and the speed list show them.\n",
                     true, Args);
      st >= 0) {
    return st;
  }
  TzqCDBurner burner;
  if (int st = Open(s, burner, true); st >= 0) return st;
  const uint16_t divisor = device::MediaDivisor(burner.GetMediaType());
  const std::vector<std::string> speeds = device::BuildWriteSpeedList(burner, divisor);
  const std::string max_write = std::to_string(burner.DeviceMaxWriteSpeed) + "x";
  const std::string max_read = std::to_string(burner.DeviceMaxReadSpeed) + "x";

  if (s.json) {
    cli::JsonObject o;
    o.Add("event", "result")
        .Add("ok", true)
        .Add("entry", burner.DeviceId)
        .Add("description", burner.DeviceDescription)
        .Add("max_write_speed", int64_t{burner.DeviceMaxWriteSpeed})
        .Add("max_read_speed", int64_t{burner.DeviceMaxReadSpeed});
    for (const CapabilityRow& row : kCapabilityRows) {
      o.Add(row.caption, burner.Capabilities.Has(row.element));
    }
    for (size_t i = 0; i < speeds.size(); ++i) o.Add("speed " + std::to_string(i), speeds[i]);
    o.Print();
    return cli::kExitOk;
  }
  Line(burner.DeviceId);
  Line("Max Write Speed:  " + max_write);
  Line("Max Read Speed:  " + max_read);
  for (const CapabilityRow& row : kCapabilityRows) {
    Line(std::string(row.caption) + ": " + (burner.Capabilities.Has(row.element) ? "yes" : "no"));
  }
  Line("Speed:");
  for (const std::string& entry : speeds) Line(entry);
  return cli::kExitOk;
}

// ---- disc ------------------------------------------------------------------

int RunDisc(const std::vector<std::string>& Args) {
  Shared s;
  if (int st = Parse(s, "disc",
                     "usage: tidemark disc [OPTIONS]\n\n"
                     "Shows the loaded disc: its medium, total and used size, then one line per "
                     "session and the\nfree space, as the session dialog shows them.\n",
                     true, Args);
      st >= 0) {
    return st;
  }
  TzqCDBurner burner;
  if (int st = Open(s, burner, true); st >= 0) return st;
  const device::SessionList list = device::ReadSessionList(burner);
  if (!list.Ready) {
    const std::string why = burner.LastError.empty() ? "" : " (" + burner.LastError + ")";
    if (!s.json) Line(device::kNoDiscLine);
    return Fail(s, cli::kExitFailed, "no disc, or the recorder is not ready" + why);
  }
  if (s.json) {
    for (const std::string& line : list.Lines) {
      cli::JsonObject().Add("event", "line").Add("text", line).Print();
    }
    cli::JsonObject()
        .Add("event", "result")
        .Add("ok", true)
        .Add("medium", list.Medium)
        .Add("disc_size", list.DiscSize)
        .Add("used_space", list.UsedSpace)
        .Add("capacity_blocks", int64_t{list.CapacityBlocks})
        .Add("used_blocks", int64_t{list.UsedBlocks})
        .Add("free_blocks", int64_t{list.FreeBlocks})
        .Add("first_session", int64_t{list.FirstSession})
        .Add("last_session", int64_t{list.LastSession})
        .Print();
    return cli::kExitOk;
  }
  Line("Media: " + list.Medium);
  Line("Total Size: " + list.DiscSize);
  Line("Used Size: " + list.UsedSpace);
  Line(device::kSessionListHeader);
  for (const std::string& line : list.Lines) Line(line);
  return cli::kExitOk;
}

// ---- eject, load -----------------------------------------------------------

int Tray(const std::vector<std::string>& Args, bool Eject) {
  Shared s;
  const char* name = Eject ? "eject" : "load";
  const char* usage = Eject ? "usage: tidemark eject [OPTIONS]\n\nOpens the recorder's tray.\n"
                            : "usage: tidemark load [OPTIONS]\n\nCloses the recorder's tray.\n";
  if (int st = Parse(s, name, usage, true, Args); st >= 0) return st;
  TzqCDBurner burner;
  if (int st = Open(s, burner, true); st >= 0) return st;
  bool done = false;
  if (Eject) {
    // What was written is flushed and the tray unlocked first.
    burner.SynchronizeCache(300000, false);
    burner.PreventAllowRemoval(true);
    done = burner.StartStopUnit(true);
  } else {
    done = burner.StartStopUnit(false);
  }
  if (!done) return Fail(s, cli::kExitFailed, burner.LastError);
  burner.DebugMsg(Eject ? ">>> EJECT MEDIUM COMMAND DONE." : ">>> LOAD MEDIUM COMMAND DONE.", 1);
  if (s.json) cli::JsonObject().Add("event", "result").Add("ok", true).Print();
  return cli::kExitOk;
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
