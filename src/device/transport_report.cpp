#include "device/transport_report.h"

#include <cctype>
#include <cstring>

namespace device {

TransportReport& LastTransportReport() {
  static TransportReport report;
  return report;
}

std::string ErrnoText(int err) {
  const char* desc = strerrordesc_np(err);
  std::string text = desc != nullptr ? desc : "ERROR " + std::to_string(err);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace device
