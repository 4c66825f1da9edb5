#include "device/transport_note.h"

#include "device/aspi_loader.h"
#include "device/sgio_drive_map.h"

namespace device {

std::string PassedOverDrivesNote() {
  if (!ASPILoaded || ASPIName == kBuiltInTransportName) return {};
  const std::vector<std::string> nodes = ListedDriveNodes();
  if (nodes.empty()) return {};
  std::string names;
  for (const std::string& node : nodes) names += (names.empty() ? "" : ", ") + node;
  return names + (nodes.size() == 1 ? " exists but does not" : " exist but do not") +
         " answer through SG_IO; the recorders shown are those of " + ASPIName +
         " (the library transport)";
}

}  // namespace device
