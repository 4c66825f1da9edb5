#include "cli/cli_recorder.h"

#include <unistd.h>

#include <cstdio>

#include "burner/cd_burner.h"
#include "cli/cli_device.h"
#include "cli/cli_frame.h"
#include "cli/command.h"
#include "platform/date_time.h"

namespace cli {
namespace {

constexpr size_t kSenseKey = 2;
constexpr size_t kAsc = 12;
constexpr uint8_t kUnitAttention = 0x06;
constexpr uint8_t kAscNotReady = 0x04;
constexpr int kReadyAttempts = 60;  // of 500 ms: a drive spinning a disc up
constexpr int32_t kReadyTimeoutMs = 5000;

}  // namespace

int OpenDisc(TzqCDBurner& Burner, const Frame& F, std::string& Error) {
  if (const int status = OpenRecorder(Burner, F.Opts(), Error); status != kExitOk) return status;
  for (int i = 0; i < kReadyAttempts; ++i) {
    if (Burner.TestUnitReady(kReadyTimeoutMs)) return kExitOk;
    if ((Burner.LastSense[kSenseKey] & 0x0F) == kUnitAttention) continue;
    if (Burner.LastSense[kAsc] != kAscNotReady || Burner.TransportError) break;
    usleep(500000);
  }
  Error = Burner.LastError.empty() ? "the recorder is not ready" : Burner.LastError;
  return kExitFailed;
}

void EjectAfterJob(const Frame& F, TzqCDBurner& Burner) {
  Burner.PreventAllowRemoval(true);
  if (!Burner.StartStopUnit(true)) F.Warn("the tray did not open: " + Burner.LastError);
}

std::string DateText(double Value) {
  const platform::DateTimeParts p = platform::DecodeDateTime(Value);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                p.Minute, p.Second);
  return text;
}

}  // namespace cli
