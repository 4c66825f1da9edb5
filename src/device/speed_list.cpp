#include "device/speed_list.h"

#include <algorithm>
#include <charconv>

#include "device/media_types.h"
#include "device/scsi_device.h"

namespace device {
namespace {

constexpr uint16_t kDvdDivisor = 7;
constexpr uint32_t kKbpsPerX = 150;  // the rate shown beside a speed

// "#,##0": groups of three digits separated by commas.
std::string Grouped(uint32_t v) {
  std::string digits = std::to_string(v);
  std::string out;
  const size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    out += digits[i];
    const size_t left = n - i - 1;
    if (left != 0 && left % 3 == 0) out += ',';
  }
  return out;
}

}  // namespace

uint16_t MediaDivisor(uint16_t media_type) {
  return media_type < mtDVDROM ? 1 : kDvdDivisor;
}

std::string SpeedEntry(uint16_t x, uint16_t divisor) {
  const uint32_t q = divisor == 0 ? x : x / divisor;
  std::string text = (q < 10 ? "0" : "") + std::to_string(q) + "X ";
  return text + "(" + Grouped(uint32_t{x} * kKbpsPerX) + " KB/s)";
}

std::vector<std::string> BuildWriteSpeedList(TSCSIDevice& device, uint16_t divisor) {
  std::vector<std::string> list{std::string(kMaxSpeedEntry)};
  const uint16_t fastest = device.GetMaxWriteSpeedX();
  for (uint32_t v = fastest; v >= 1; --v) {
    device.SetWriteSpeed(static_cast<uint16_t>(v));
    std::string entry = SpeedEntry(device.GetCurrentWriteSpeedX(), divisor);
    if (std::find(list.begin(), list.end(), entry) == list.end()) list.push_back(std::move(entry));
  }
  return list;
}

uint16_t SpeedFromText(std::string_view text, uint16_t media_type) {
  if (text == kMaxSpeedEntry) return 0;
  const std::string_view number = text.substr(0, text.find('X'));
  uint32_t v = 0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
  if (ec != std::errc() || end != number.data() + number.size()) return 0;
  return static_cast<uint16_t>(v * (media_type < mtDVDROM ? 1 : kDvdDivisor));
}

}  // namespace device
