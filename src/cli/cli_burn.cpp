#include "cli/cli_burn.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "burner/disc_media.h"
#include "device/media_types.h"
#include "recording/disc_writer_rules.h"
#include "recording/recording_messages.h"

namespace cli {
namespace {

constexpr uint32_t kFirstVolumeDescriptor = 16;
constexpr uint32_t kDvdKbpsPerX = 1385;
constexpr uint32_t kKbpsPerSpeedX = 177;
constexpr char kStandardId[] = "CD001";

}  // namespace

std::optional<uint16_t> ParseSpeed(const std::string& Text, uint16_t MediaType) {
  if (Text == "max" || Text == "Max" || Text == "MAX") return uint16_t{0};
  if (Text.size() < 2 || (Text.back() != 'x' && Text.back() != 'X')) return std::nullopt;
  uint32_t v = 0;
  const char* end = Text.data() + Text.size() - 1;
  auto [at, ec] = std::from_chars(Text.data(), end, v);
  if (ec != std::errc() || at != end || v == 0 || v > 1000) return std::nullopt;
  if (MediaType < mtDVDROM) return static_cast<uint16_t>(v);
  // A DVD speed of N is N x 1,385 kB/s: the smallest CD x that the drive
  // takes as at least that much (SET CD SPEED sends 177 kB/s an x, and a
  // drive records at the fastest speed it has up to what it is asked).
  return static_cast<uint16_t>((v * kDvdKbpsPerX + kKbpsPerSpeedX - 1) / kKbpsPerSpeedX);
}

LoadedDisc InspectDisc(TzqCDBurner& Burner) {
  LoadedDisc d;
  // The first command after a disc change hears of the change.
  if (!Burner.TestUnitReady(recording::kPollTimeoutMs))
    Burner.TestUnitReady(recording::kPollTimeoutMs);
  d.MediaType = Burner.GetMediaType();
  d.Name = recording::MediaName(d.MediaType);
  d.Present = d.MediaType != mtUnknown || Burner.TestUnitReady(recording::kPollTimeoutMs) ||
              Burner.LastSense[recording::kSenseAsc] != recording::kAscNoMedium;
  const uint16_t profile = burner::CurrentProfile(Burner);
  const burner::TRecording recording = burner::RecordingOf(d.MediaType, profile);
  d.Writable = recording != burner::TRecording::None;
  d.Overwritable = recording == burner::TRecording::Overwritable;
  d.CanSimulate = burner::CanSimulate(d.MediaType, profile);
  // Only a disc recorded that far is asked for the sector (a read past
  // what is recorded would fail, and say so on standard error).
  uint32_t last = 0, block_length = 0;
  if (d.Overwritable && Burner.ReadCapacity(last, block_length) && last >= kFirstVolumeDescriptor) {
    std::array<uint8_t, 2048> sector{};
    d.HoldsFileSystem = Burner.Read10(kFirstVolumeDescriptor, 1, sector.size(), sector) &&
                        std::memcmp(sector.data() + 1, kStandardId, 5) == 0;
  }
  return d;
}

std::string RefusalFor(const LoadedDisc& Disc, const TzqCDBurner& Burner) {
  if (!Disc.Present) return recording::msg::kNoDisc;
  if (!Disc.Writable) return burner::msg::Fill(recording::msg::kNotWritable, {Disc.Name});
  if (Burner.TestWrite && !Disc.CanSimulate)
    return burner::msg::Fill(recording::msg::kNoTestWriteMedium, {Disc.Name});
  return "";
}

void EjectAfterJob(TzqCDBurner& Burner) {
  Burner.PreventAllowRemoval(true);
  if (!Burner.StartStopUnit(true))
    std::fprintf(stderr, "tidemark: the tray did not open: %s\n", Burner.LastError.c_str());
}

}  // namespace cli
