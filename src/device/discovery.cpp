// Starting the transport, the adapter inquiry, listing the recorders and
// the drive column of their entries.

#include <algorithm>

#include "device/aspi_loader.h"
#include "device/device_entry.h"
#include "device/scsi_device.h"
#include "device/sgio_transport.h"

namespace {

constexpr uint8_t kAdapterCountUnknown = 7;  // what a count of 0 stands for
constexpr uint8_t kTargets = 8;
constexpr uint8_t kLuns = 8;
constexpr uint8_t kDriveLetters = 26;

// A fixed-width text field of a request block: up to its first NUL.
std::string Field(const uint8_t* p, size_t n) {
  const auto* end = std::find(p, p + n, uint8_t{0});
  return std::string(p, end);
}

std::string Trimmed(std::string s) {
  auto blank = [](unsigned char c) { return c <= ' '; };
  while (!s.empty() && blank(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t i = 0;
  while (i < s.size() && blank(static_cast<unsigned char>(s[i]))) ++i;
  return s.substr(i);
}

}  // namespace

bool TSCSIDevice::InitializeASPI(bool UseInternalFirst) {
  bool loaded = false;
  try {
    loaded = LoadASPI(UseInternalFirst);
  } catch (...) {
    // A library without its entry points counts as no transport.
    loaded = false;
  }
  if (loaded) {
    HostAdapterInquiry(0);
    ScanDevices();
  }
  return loaded;
}

// Sent straight to the transport: the adapter inquiry is not a SCSI command.
void TSCSIDevice::HostAdapterInquiry(uint8_t Adapter) {
  ha_inquiry_ = SRB_HAInquiry{};
  ha_inquiry_.SRB_Cmd = SC_HA_INQUIRY;
  ha_inquiry_.SRB_HaId = Adapter;
  SendASPI32Command(&ha_inquiry_);
  if (ha_inquiry_.SRB_Status != SS_COMP) {
    AdapterCount = -1;
    return;
  }
  const uint8_t count = ha_inquiry_.HA_Count == 0 ? kAdapterCountUnknown : ha_inquiry_.HA_Count;
  AdapterCount = static_cast<int8_t>(count);
}

void TSCSIDevice::ScanDevices() {
  DeviceList.clear();
  const uint8_t adapter = HostAdapter, target = TargetId, lun = Lun;
  Lun = 0;
  if (DoDebug) DebugMsg(">>> " + ASPIName, 1);
  // The bound is taken once: each adapter's inquiry refreshes the count.
  const int adapters = AdapterCount;
  for (int a = 0; a < adapters; ++a) {
    HostAdapterInquiry(static_cast<uint8_t>(a));
    const std::string identifier =
        Trimmed(Field(ha_inquiry_.HA_Identifier, sizeof ha_inquiry_.HA_Identifier));
    if (DoDebug) {
      DebugMsg(">>> " + Field(ha_inquiry_.HA_ManagerId, sizeof ha_inquiry_.HA_ManagerId) + " (" +
                   identifier + ")",
               1);
    }
    for (uint8_t t = 0; t < kTargets; ++t) {
      for (uint8_t l = 0; l < kLuns; ++l) {
        HostAdapter = static_cast<uint8_t>(a);
        TargetId = t;
        Lun = l;
        if (!Inquiry()) continue;
        const uint8_t type = InquiryData[0];
        if (type != device::kDeviceTypeCdDvd && type != device::kDeviceTypeWriteOnce) continue;
        const std::string drive = GetDriveLetter();
        DeviceList.push_back(
            device::DeviceEntryText({HostAdapter, TargetId, Lun}, drive, InquiryData));
      }
    }
  }
  HostAdapter = adapter;
  TargetId = target;
  Lun = lun;
  LastError.clear();
}

// The built-in transport's drive map knows each drive's node; a drive is
// matched by adapter and target (the LUN is not compared). Other drives
// may be known to the library as a drive number.
std::string TSCSIDevice::GetDriveLetter() {
  SPTIInit();
  for (const TSPTIDrive& d : SPTIDriveMap.Drives) {
    if (d.Present && d.Adapter == HostAdapter && d.Target == TargetId) return d.Name;
  }
  SRB_GetDiskInfo srb{};
  srb.SRB_Cmd = SC_GET_DISK_INFO;
  srb.SRB_HaId = HostAdapter;
  srb.SRB_Target = TargetId;
  srb.SRB_Lun = Lun;
  SendASPI32Command(&srb);
  if (srb.SRB_Status == SS_COMP && srb.SRB_Int13HDriveInfo < kDriveLetters) {
    return std::string(1, static_cast<char>('A' + srb.SRB_Int13HDriveInfo));
  }
  return {};
}
