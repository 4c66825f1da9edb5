#include "device/device_entry.h"

#include <charconv>

namespace device {
namespace {

constexpr size_t kVendor = 8;
constexpr size_t kIdentificationEnd = 36;  // vendor 8, product 16, revision 4
constexpr std::string_view kNotSupported = " (not supported)";
constexpr std::string_view kNoDrive = "?";

// A control character in an identification string would reach terminals
// and lists as it is; it is shown as a blank instead. Drives report
// printable ASCII, which is kept unchanged.
char Shown(uint8_t b) {
  return b < 0x20 || b == 0x7F ? ' ' : static_cast<char>(b);
}

// One decimal number below 256 followed by `separator` (or, with
// `or_end`, by nothing); advances past both.
std::optional<uint8_t> NumberThen(std::string_view& rest, char separator, bool or_end = false) {
  unsigned v = 0;
  const char* begin = rest.data();
  const char* end = begin + rest.size();
  auto [q, ec] = std::from_chars(begin, end, v);
  if (ec != std::errc() || q == begin || v > 0xFF) return std::nullopt;
  if (q == end && or_end) {
    rest = {};
    return static_cast<uint8_t>(v);
  }
  if (q == end || *q != separator) return std::nullopt;
  rest.remove_prefix(static_cast<size_t>(q - begin) + 1);
  return static_cast<uint8_t>(v);
}

}  // namespace

std::string DeviceEntryText(const DeviceAddress& address, std::string_view drive,
                            std::span<const uint8_t> inquiry) {
  std::string s = std::to_string(address.adapter) + ":" + std::to_string(address.target) + ":" +
                  std::to_string(address.lun) + ",";
  s += drive.empty() ? kNoDrive : drive;
  s += ": ";
  for (size_t i = kVendor; i < kIdentificationEnd; ++i) {
    s += Shown(i < inquiry.size() ? inquiry[i] : 0);
  }
  if (!inquiry.empty() && inquiry[0] == kDeviceTypeWriteOnce) s += kNotSupported;
  return s;
}

std::optional<DeviceAddress> ParseDeviceAddress(std::string_view entry) {
  DeviceAddress a;
  auto adapter = NumberThen(entry, ':');
  if (!adapter) return std::nullopt;
  auto target = NumberThen(entry, ':');
  if (!target) return std::nullopt;
  auto lun = NumberThen(entry, ',', true);
  if (!lun) return std::nullopt;
  a.adapter = *adapter;
  a.target = *target;
  a.lun = *lun;
  return a;
}

std::string EntryDrive(std::string_view entry) {
  const size_t comma = entry.find(',');
  if (comma == std::string_view::npos) return {};
  const size_t colon = entry.find(':', comma + 1);
  if (colon == std::string_view::npos) return {};
  return std::string(entry.substr(comma + 1, colon - comma - 1));
}

}  // namespace device
