// The capability set and speeds from mode page 2Ah and the DVD+ and DVD-
// features of GET CONFIGURATION.

#include <algorithm>

#include "device/mmc_block.h"
#include "device/mode_pages.h"

using namespace device;

namespace {

// Page 2Ah fields (byte offsets within the page).
constexpr size_t kReadCaps = 2;
constexpr size_t kWriteCaps = 3;
constexpr size_t kFeatureCaps = 4;
constexpr size_t kMaxReadSpeed = 8;
constexpr size_t kBufferSize = 12;
constexpr size_t kCurrentReadSpeed = 14;
constexpr size_t kMaxWriteSpeed = 18;
constexpr size_t kCurrentWriteSpeed = 20;
constexpr size_t kKeptPageBytes = 22;
constexpr uint8_t kWriteDvdRam = 0x20;  // write caps bit 5
constexpr uint8_t kBufferUnderrunFree = 0x80;
// What a DVD-RAM writer's write speeds read as (one x when sent).
constexpr uint16_t kDvdRamWriteKbps = 177;

constexpr uint16_t kFeatureDvdPlusRw = 0x002A;
constexpr uint16_t kFeatureDvdMinusRw = 0x002F;
constexpr uint8_t kFeatureWritable = 0x01;  // first data byte of the feature
constexpr uint16_t kConfigLength = 114;

// Which element each bit of bytes 2, 3 and 4 of the page stands for.
struct CapBit {
  size_t byte;
  uint8_t mask;
  TCapability element;
};
constexpr CapBit kPageBits[] = {
    {kReadCaps, 0x01, TCapability::ReadCDR},
    {kReadCaps, 0x02, TCapability::ReadCDRW},
    {kReadCaps, 0x04, TCapability::ReadMode2},
    {kReadCaps, 0x08, TCapability::ReadDVD},
    {kReadCaps, 0x10, TCapability::ReadDVDR},
    {kReadCaps, 0x10, TCapability::ReadDVDRW},
    {kReadCaps, 0x20, TCapability::ReadDVDRAM},
    {kWriteCaps, 0x01, TCapability::WriteCDR},
    {kWriteCaps, 0x02, TCapability::WriteCDRW},
    {kWriteCaps, 0x04, TCapability::WriteTest},
    {kWriteCaps, 0x10, TCapability::WriteDVDR},
    {kWriteCaps, 0x10, TCapability::WriteDVDRW},
    {kWriteCaps, 0x20, TCapability::WriteDVDRAM},
    {kFeatureCaps, kBufferUnderrunFree, TCapability::UnderrunProtection},
};

uint16_t Be16(const std::array<uint8_t, 255>& page, size_t offset) {
  return static_cast<uint16_t>(page[offset] << 8 | page[offset + 1]);
}

}  // namespace

bool TSCSIDevice::ReadCapabilities() {
  Capabilities.Clear();
  DeviceMaxWriteSpeed = 0;
  DeviceMaxReadSpeed = 0;
  CapabilitiesPage = TCapabilitiesPage{};

  std::array<uint8_t, 255> page{};
  // Where the page was found; kept for a second reply that does not show it.
  size_t offset = 15;
  const auto move_page_to_front = [&page](size_t from) {
    std::copy(page.begin() + static_cast<std::ptrdiff_t>(from), page.end(), page.begin());
    std::fill(page.end() - static_cast<std::ptrdiff_t>(from), page.end(), 0);
  };

  // First pass: the default values give the capability set and maxima.
  if (ModeSense10(kPageCapabilities, page, true, 128, page.size() - 1)) {
    offset = LocateModePage(page, kPageCapabilities);
    move_page_to_front(offset);
    std::copy_n(page.begin(), kKeptPageBytes, CapabilitiesPage.Raw.begin());
    for (const CapBit& b : kPageBits) {
      if (page[b.byte] & b.mask) Capabilities.Add(b.element);
    }
    if (HasVendorPage30() || ForceUnderrunCapability) {
      Capabilities.Add(TCapability::UnderrunProtection);
    }
    const bool dvd_ram_writer = (page[kWriteCaps] & kWriteDvdRam) != 0;
    const auto maximum = [dvd_ram_writer](uint16_t kbps) -> uint16_t {
      if (kbps != 0) return ReportedSpeedX(kbps);
      return dvd_ram_writer ? 1 : 0;
    };
    DeviceMaxWriteSpeed = maximum(Be16(page, kMaxWriteSpeed));
    DeviceMaxReadSpeed = maximum(Be16(page, kMaxReadSpeed));

    struct FeatureCaps {
      uint16_t code;
      TCapability read1, read2, write1, write2;
    };
    constexpr FeatureCaps kFeatures[] = {
        {kFeatureDvdPlusRw, TCapability::ReadDVDPR, TCapability::ReadDVDPRW,
         TCapability::WriteDVDPR, TCapability::WriteDVDPRW},
        {kFeatureDvdMinusRw, TCapability::ReadDVDR, TCapability::ReadDVDRW, TCapability::WriteDVDR,
         TCapability::WriteDVDRW},
    };
    for (const FeatureCaps& f : kFeatures) {
      if (!GetConfiguration(2, f.code, kConfigLength, config_buffer_)) continue;
      ReplyReader r = Arrived(config_buffer_, kConfigLength, LastResidual);
      if (r.be16(8) != f.code) continue;
      Capabilities.Add(f.read1);
      Capabilities.Add(f.read2);
      // The DVD+RW feature says in its first data byte whether the drive
      // writes; the DVD-R/-RW Write feature is listed only by drives that
      // write (its first data byte holds other flags).
      if (f.code == kFeatureDvdMinusRw || r.u8(12) == kFeatureWritable) {
        Capabilities.Add(f.write1);
        Capabilities.Add(f.write2);
      }
    }
  }

  // Second pass: the current values give the speeds and the buffer size.
  page.fill(0);
  if (!ModeSense10(kPageCapabilities, page, false, 128, page.size() - 1)) return false;
  offset = LocateModePage(page, kPageCapabilities, offset);
  move_page_to_front(offset);
  std::copy_n(page.begin(), kKeptPageBytes, CapabilitiesPage.Raw.begin());
  TCapabilitiesPage& c = CapabilitiesPage;
  c.CurrentWriteSpeed = Be16(page, kCurrentWriteSpeed);
  c.MaxWriteSpeed = Be16(page, kMaxWriteSpeed);
  // A DVD-RAM writer that leaves its write speeds empty writes at one x.
  // Most DVD writers also write DVD-RAM and do report their CD speeds:
  // those are kept, or the speed list would shrink to one entry.
  if (page[kWriteCaps] & kWriteDvdRam) {
    if (c.CurrentWriteSpeed == 0) c.CurrentWriteSpeed = kDvdRamWriteKbps;
    if (c.MaxWriteSpeed == 0) c.MaxWriteSpeed = kDvdRamWriteKbps;
  }
  c.CurrentReadSpeed = Be16(page, kCurrentReadSpeed);
  c.MaxReadSpeed = Be16(page, kMaxReadSpeed);
  c.BufferSize = Be16(page, kBufferSize);
  DeviceMaxWriteSpeed = std::max(DeviceMaxWriteSpeed, ReportedSpeedX(c.MaxWriteSpeed));
  DeviceMaxReadSpeed = std::max(DeviceMaxReadSpeed, ReportedSpeedX(c.MaxReadSpeed));
  return true;
}

bool TSCSIDevice::HasVendorPage30() {
  std::array<uint8_t, 128> reply{};
  if (!ModeSense10(kPageVendor30, reply, false, 128, reply.size() - 1)) return false;
  return reply[16] == kPageVendor30 || reply[8] == kPageVendor30 || reply[7] == kPageVendor30;
}

uint16_t TSCSIDevice::GetMaxWriteSpeedX() {
  return ReadCapabilities() ? ReportedSpeedX(CapabilitiesPage.MaxWriteSpeed) : 0;
}

uint16_t TSCSIDevice::GetMaxReadSpeedX() {
  return ReadCapabilities() ? ReportedSpeedX(CapabilitiesPage.MaxReadSpeed) : 0;
}

uint16_t TSCSIDevice::GetCurrentWriteSpeedX() {
  return ReadCapabilities() ? ReportedSpeedX(CapabilitiesPage.CurrentWriteSpeed) : 0;
}

void TSCSIDevice::SetWriteSpeed(uint16_t Value) {
  SetCDSpeed(ReadSpeed, Value);
  write_speed_ = Value;
}
