// Arbitrary answers of a recorder to discovery, selection, capabilities,
// speeds and disc information: the adapter inquiry, the drive-number query
// and every command take their outcome and reply bytes from the input. The
// device list, the entry texts, the capability set, the speed list, the
// media type, the space figures, the disc summary, the session lines and a
// burn's session start are built from whatever arrives.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "burner/cd_burner.h"
#include "device/aspi_blocks.h"
#include "device/aspi_loader.h"
#include "device/device_entry.h"
#include "device/session_list.h"
#include "device/speed_list.h"

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0;

uint8_t Take() {
  if (g_size == 0) return 0;
  --g_size;
  return *g_data++;
}

uint32_t Support() {
  return 0x0101;
}

uint32_t Exec(SRB_ExecSCSICmd& srb) {
  const uint8_t outcome = Take();
  const size_t n = std::min<size_t>(size_t{Take()} * 4, srb.SRB_BufLen);
  if ((srb.SRB_Flags & SRB_DIR_IN) && srb.SRB_BufPointer != nullptr) {
    auto* out = static_cast<uint8_t*>(srb.SRB_BufPointer);
    for (size_t i = 0; i < n; ++i) out[i] = Take();
  }
  switch (outcome >> 6) {
    case 0:
    case 1:
      srb.SRB_Status = SS_COMP;
      break;
    case 2:
      srb.SRB_Status = SS_ERR;
      srb.SRB_TargStat = STATUS_CHKCOND;
      for (uint8_t& b : srb.SenseArea) b = Take();
      break;
    default:
      srb.SRB_Status = (outcome & 1) ? SS_NO_DEVICE : SS_ERR;
      break;
  }
  return srb.SRB_Status;
}

uint32_t Send(void* p) {
  auto* bytes = static_cast<uint8_t*>(p);
  switch (bytes[0]) {
    case SC_HA_INQUIRY: {
      auto& srb = *static_cast<SRB_HAInquiry*>(p);
      srb.HA_Count = Take() % 3;  // a few adapters keep each input quick
      for (uint8_t& b : srb.HA_ManagerId) b = Take();
      for (uint8_t& b : srb.HA_Identifier) b = Take();
      srb.SRB_Status = (Take() & 7) != 0 ? SS_COMP : SS_INVALID_HA;
      return srb.SRB_Status;
    }
    case SC_GET_DISK_INFO: {
      auto& srb = *static_cast<SRB_GetDiskInfo*>(p);
      srb.SRB_Int13HDriveInfo = Take();
      srb.SRB_Status = (Take() & 1) ? SS_COMP : SS_ERR;
      return srb.SRB_Status;
    }
    case SC_EXEC_SCSI_CMD:
      return Exec(*static_cast<SRB_ExecSCSICmd*>(p));
    default:
      bytes[1] = SS_ERR;
      return SS_ERR;
  }
}

class FuzzBurner : public TzqCDBurner {
 protected:
  void Sleep(int32_t) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_data = data;
  g_size = size;
  static bool installed = [] {
    InstallASPI("FUZZ", Support, Send);
    return true;
  }();
  (void)installed;

  // The component lists the recorders when it is made (a transport runs).
  FuzzBurner b;
  b.OnDebugMessage = [](TSCSIDevice*, const std::string& m, uint8_t) {
    volatile size_t sink = m.size();
    (void)sink;
  };
  b.DoDebug = Take() & 1;
  b.HostAdapterInquiry(0);
  b.ScanDevices();
  for (const std::string& entry : b.DeviceList) {
    volatile bool parsed = device::ParseDeviceAddress(entry).has_value();
    (void)parsed;
  }
  // A listed entry, or one made of input bytes.
  std::string entry;
  if (!b.DeviceList.empty() && (Take() & 1)) {
    entry = b.DeviceList[Take() % b.DeviceList.size()];
  } else {
    for (size_t n = Take() % 24; n > 0; --n) entry += static_cast<char>(Take());
  }
  b.SelectDevice(entry);
  if (b.DeviceId.empty()) b.HostAdapter = b.TargetId = b.Lun = 0;

  b.GetMediaType();
  b.IsErasable();
  b.GetLastSession();
  b.GetUsedSpace();
  b.GetFreeSpace();
  b.GetDiscCapacity();
  TDisc disc;
  b.GetDiscInfo(disc);
  device::ReadSessionList(b);
  if (Take() & 1) device::BuildWriteSpeedList(b, device::MediaDivisor(Take() % 14));
  b.Prepare(false);
  return 0;
}
