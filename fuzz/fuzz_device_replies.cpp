// Arbitrary drive replies through the command layer: each command a fake
// transport answers takes its outcome (status, host and target status,
// residual count), its reply bytes and its sense data from the input. The
// replies reach INQUIRY, mode pages, GET CONFIGURATION, disc and track
// information, TOC, buffer capacity, sense decoding, the failure log line
// and the readiness wait.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "device/aspi_blocks.h"
#include "device/aspi_loader.h"
#include "device/media_types.h"
#include "device/reply_reader.h"
#include "device/scsi_device.h"
#include "device/sgio_status.h"
#include "device/transport_report.h"

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

uint32_t Send(void* p) {
  // Adapter inquiries and drive-number queries are smaller blocks.
  if (static_cast<uint8_t*>(p)[0] != SC_EXEC_SCSI_CMD) {
    static_cast<uint8_t*>(p)[1] = SS_ERR;
    return SS_ERR;
  }
  auto& srb = *static_cast<SRB_ExecSCSICmd*>(p);
  const uint8_t outcome = Take();
  // Reply bytes: a length byte (times 4), then that many bytes.
  size_t n = std::min<size_t>(size_t{Take()} * 4, srb.SRB_BufLen);
  if ((srb.SRB_Flags & SRB_DIR_IN) && srb.SRB_BufPointer != nullptr) {
    auto* out = static_cast<uint8_t*>(srb.SRB_BufPointer);
    for (size_t i = 0; i < n; ++i) out[i] = Take();
  }
  if (outcome & 0x01) {
    auto& report = device::LastTransportReport();
    report.has_residual = true;
    report.residual = uint32_t{Take()} << (Take() & 7);
    if (outcome & 0x02) report.detail = "FUZZ";
  }
  switch (outcome >> 5) {
    case 0:
    case 1:
    case 2:
      srb.SRB_Status = SS_COMP;
      break;
    case 3:  // check condition with sense from the input
      srb.SRB_Status = SS_ERR;
      srb.SRB_TargStat = STATUS_CHKCOND;
      for (uint8_t& b : srb.SenseArea) b = Take();
      break;
    case 4:
      srb.SRB_Status = SS_ERR;
      srb.SRB_HaStat = Take();
      srb.SRB_TargStat = Take();
      break;
    case 5: {
      // Any final status; "pending" would only wait out the time-out.
      uint8_t st = Take();
      srb.SRB_Status = st == SS_PENDING ? SS_INVALID_SRB : st;
      break;
    }
    default:
      srb.SRB_Status = SS_ERR;
      srb.SRB_TargStat = STATUS_BUSY;
      break;
  }
  return srb.SRB_Status;
}

class FuzzDevice : public TSCSIDevice {
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

  FuzzDevice dev;
  dev.HostAdapter = dev.TargetId = dev.Lun = 0;
  dev.OnDebugMessage = [](TSCSIDevice*, const std::string& m, uint8_t) {
    volatile size_t sink = m.size();
    (void)sink;
  };
  dev.Capabilities = TCapabilities(uint32_t{Take()} << 9 | uint32_t{Take()} << 18);
  dev.DVRQuirk = Take() & 1;
  dev.FinalizeDisc = Take() & 1;

  std::array<uint8_t, 512> buf{};
  std::array<uint8_t, 128> small{};
  uint32_t a = 0, b = 0;
  dev.Inquiry();
  dev.ReadTrackInformation(Take());
  dev.ReadDiscInfo();
  dev.ReadBufferCapacity(a, b);
  dev.ReadCapacity(a, b);
  dev.ReadFormatCapacities(a, b);
  dev.ModeSense10(0x2A, small, Take() & 1, 0x1FF, Take());
  dev.SetWriteParameters(Take() & 1, Take() & 1, Take() % 14);
  dev.GetConfiguration(2, 0x2A, 114, buf);
  dev.ReadTOC(Take() & 7, buf, 0, Take() & 1, Take(), 114);
  dev.ReadDiscInformation(small, 0x38);
  dev.RequestSense(small, Take());
  std::array<uint8_t, 2048> sector{};
  dev.Read10(0, 1, sector.size(), sector);
  dev.Write10(0, 1, 0x50, sector.size(), sector);
  dev.CurrentMediaType = Take() % 14;
  dev.WaitReady(20000, 1000 + Take());

  // The bounded reader itself, over what is left.
  device::ReplyReader r({g_data, g_size});
  size_t off = Take();
  volatile uint32_t v =
      r.u8(off) + r.be16(off) + r.be24(off) + r.be32(off) + r.sub(off, Take()).be32(Take());
  (void)v;

  // SG_IO outcomes into a block.
  SRB_ExecSCSICmd srb{};
  srb.CDBByte[0] = Take();
  srb.SRB_BufLen = Take() * 1000u;
  device::SgOutcome o;
  o.ioctl_result = (Take() & 1) ? -1 : 0;
  o.error = Take();
  o.status = Take();
  o.host_status = Take();
  o.driver_status = Take();
  o.resid = static_cast<int8_t>(Take()) * 1000;
  device::TransportReport report;
  device::ApplySgOutcome(o, "/dev/sr0", srb, report);
  return 0;
}
