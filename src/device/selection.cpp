// Selecting a recorder: its address from the entry, identification, the
// per-model quirks and the write types it accepts.

#include <algorithm>
#include <stdexcept>

#include "device/byte_order.h"
#include "device/device_entry.h"
#include "device/device_texts.h"
#include "device/mode_pages.h"
#include "device/scsi_device.h"

namespace {

constexpr size_t kMinEntryLength = 5;
constexpr size_t kVendor = 8, kVendorLength = 8;
constexpr size_t kProduct = 16, kProductLength = 16;
constexpr size_t kRevision = 32, kRevisionLength = 4;
constexpr size_t kIdentificationEnd = 56;  // control characters are blanked up to here

std::string Text(const std::array<uint8_t, 131>& inquiry, size_t offset, size_t length) {
  return std::string(inquiry.begin() + static_cast<std::ptrdiff_t>(offset),
                     inquiry.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

std::string Trimmed(std::string s) {
  auto blank = [](unsigned char c) { return c <= ' '; };
  while (!s.empty() && blank(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t i = 0;
  while (i < s.size() && blank(static_cast<unsigned char>(s[i]))) ++i;
  return s.substr(i);
}

bool StartsWith(const std::string& s, std::string_view prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

void TSCSIDevice::Deselect() {
  DeviceId.clear();
  DeviceDescription.clear();
  DeviceType = 0x7F;
  HostAdapter = TargetId = Lun = kNoDevice;
}

void TSCSIDevice::SelectDevice(const std::string& Entry) {
  const std::string invalid(texts::kInvalidDevice);
  if (Entry.size() < kMinEntryLength) {
    if (!Entry.empty()) DebugMsg(invalid, 0);
    Deselect();
    return;
  }
  try {
    const auto address = device::ParseDeviceAddress(Entry);
    if (!address) throw std::invalid_argument(invalid);
    HostAdapter = address->adapter;
    TargetId = address->target;
    Lun = address->lun;
    DeviceId = Entry;
    // A quirk of the drive selected before must not shape this one's
    // capabilities; this drive's own is decided below.
    ForceUnderrunCapability = false;

    IdentifyDevice();
    const uint8_t type = InquiryData[0];
    if (type != device::kDeviceTypeCdDvd && type != device::kDeviceTypeWriteOnce) {
      throw std::invalid_argument(invalid);
    }
    const std::string product16 = Text(InquiryData, kProduct, kProductLength);
    const std::string product = Trimmed(product16);
    std::string vendor = Trimmed(Text(InquiryData, kVendor, kVendorLength));
    if (vendor.size() < 3) vendor = "     ";

    ForceUnderrunCapability = product == "CD-W512EB";
    if (ForceUnderrunCapability) Capabilities.Add(TCapability::UnderrunProtection);
    LinkSizeValidQuirk = product == "CRX175E" || product == "CD-RW  CRX800E";
    SlowReadyQuirk = StartsWith(product, "UJDA") || StartsWith(vendor, "TDK");
    CloseImmediate = product != "CDRW321040X";
    DVRQuirk = product16 == "DVD-RW  DVR-103 " || product16 == "DVD-RW  DVR-104 ";
    if (DVRQuirk) CloseImmediate = true;

    if (OnDeviceChange) OnDeviceChange(this);
    ProbeWriteModes();
  } catch (...) {
    DebugMsg(invalid, 0);
    Deselect();
  }
}

void TSCSIDevice::IdentifyDevice() {
  ReadCapabilities();
  InquiryData.fill(0);
  if (!Inquiry()) {
    DeviceDescription = LastError;
    return;
  }
  DeviceType = InquiryData[0];
  for (size_t i = kVendor; i < kIdentificationEnd; ++i) {
    if (InquiryData[i] < 0x20) InquiryData[i] = ' ';
  }
  DeviceDescription = Text(InquiryData, kVendor, kVendorLength) + " " +
                      Text(InquiryData, kProduct, kProductLength) + " " +
                      Text(InquiryData, kRevision, kRevisionLength);
}

namespace {

// Page 05h fields (byte offsets within the page).
constexpr size_t kPageLength = 1;
constexpr size_t kWriteType = 2;
constexpr size_t kTrackMode = 3;
constexpr size_t kDataBlockType = 4;
constexpr size_t kSessionFormat = 8;
constexpr size_t kAudioPause = 14;
constexpr size_t kModeHeader = 8;
constexpr size_t kKeptPageBytes = 54;

constexpr uint8_t kWriteTypeTao = 0x01;
constexpr uint8_t kWriteTypeSao = 0x02;
constexpr uint8_t kWriteTypeRaw = 0x03;
constexpr uint8_t kBlockRaw2352 = 0;
constexpr uint8_t kBlockRaw2368 = 1;
constexpr uint16_t kPauseBlocks = 150;

}  // namespace

void TSCSIDevice::ProbeWriteModes() {
  WriteModes.Clear();
  for (TWriteMode mode : {TWriteMode::RAW, TWriteMode::SAO, TWriteMode::TAO}) {
    std::array<uint8_t, 512> reply{};
    if (!ModeSense10(device::kPageWriteParameters, reply, false, reply.size(), reply.size() - 1)) {
      continue;
    }
    const size_t off = reply[16] == device::kPageWriteParameters ? 16 : 8;

    // The page as the drive returned it, up to its own length (which may be
    // longer than the copy kept above) and never past the reply.
    const size_t page_bytes =
        std::min<size_t>(size_t{reply[off + kPageLength]} + 2, reply.size() - off);
    std::vector<uint8_t> list(kModeHeader + std::max(page_bytes, kKeptPageBytes), 0);
    std::copy_n(reply.begin() + static_cast<std::ptrdiff_t>(off), page_bytes,
                list.begin() + kModeHeader);
    uint8_t* p = list.data() + kModeHeader;
    p[0] &= static_cast<uint8_t>(~device::kPageSavable);
    p[kDataBlockType] = kBlockRaw2352;
    switch (mode) {
      case TWriteMode::TAO:
        p[kWriteType] = kWriteTypeTao;
        break;
      case TWriteMode::SAO:
        p[kWriteType] = kWriteTypeSao;
        break;
      case TWriteMode::RAW:
        p[kDataBlockType] = kBlockRaw2368;
        p[kWriteType] = kWriteTypeRaw;
        break;
    }
    p[kTrackMode] = 0;
    p[kSessionFormat] = 0;
    p[kSessionFormat + 1] = 0;
    device::put_be16(std::span<uint8_t, 2>(p + kAudioPause, 2), kPauseBlocks);
    std::copy_n(p, kKeptPageBytes, WriteParamsPage.begin());
    const auto length = static_cast<uint16_t>(kModeHeader + page_bytes);
    if (ModeSelect10(list, length)) WriteModes.Add(mode);
  }
}
