#pragma once
// What the commands that write or erase the disc in the recorder (burn,
// burn-image, erase) share: the speed option in the medium's own units,
// the look at the loaded disc before a job, and the tray after it.

#include <cstdint>
#include <optional>
#include <string>

class TzqCDBurner;

namespace cli {

// --speed: "max", or "Nx" in the loaded medium's units (8x on a DVD is 8x
// DVD speed, 8 x 1,385 kB/s); the component's write speed (CD x, 0 = the
// maximum). nullopt for any other text.
std::optional<uint16_t> ParseSpeed(const std::string& Text, uint16_t MediaType);

// What is in the recorder, as a job about to write to it needs to know.
struct LoadedDisc {
  uint16_t MediaType = 0;
  bool Present = false;          // a disc is in the drive
  bool Writable = false;         // written once or overwritable
  bool Overwritable = false;     // a session replaces the disc from sector 0
  bool CanSimulate = false;      // a test write records nothing
  bool HoldsFileSystem = false;  // an ISO 9660 volume begins at sector 16
  std::string Name;              // the media name
};
LoadedDisc InspectDisc(TzqCDBurner& Burner);

// Why a job cannot start on this disc (the component's own words); empty
// when it can.
std::string RefusalFor(const LoadedDisc& Disc, const TzqCDBurner& Burner);

// Opens the tray after a job that succeeded; a tray that stays shut is a
// warning only.
void EjectAfterJob(TzqCDBurner& Burner);

}  // namespace cli
