#include "device/sgio_status.h"

#include <cerrno>
#include <cstdio>

namespace device {
namespace {

struct HostMapping {
  uint8_t ha_stat;
  const char* words;
};

HostMapping MapHost(uint16_t host_status) {
  switch (host_status) {
    case kDidNoConnect:
      return {HASTAT_SEL_TO, "NO CONNECTION TO THE DRIVE"};
    case kDidBusBusy:
      return {HASTAT_BUS_FREE, "BUS BUSY"};
    case kDidTimeOut:
      return {HASTAT_TIMEOUT, "TIMED OUT"};
    case kDidBadTarget:
      return {HASTAT_SEL_TO, "BAD TARGET"};
    case kDidAbort:
      return {HASTAT_SRB_TIMEOUT, "COMMAND ABORTED"};
    case kDidParity:
      return {HASTAT_PARITY_ERROR, "PARITY ERROR"};
    case kDidReset:
      return {HASTAT_BUS_RESET, "RESET"};
    default:
      return {HASTAT_BUS_FREE, "HOST ADAPTER ERROR"};
  }
}

std::string Hex2(unsigned v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02X", v & 0xFFFF);
  return b;
}

void Fail(SRB_ExecSCSICmd& srb, uint8_t status, uint8_t ha_stat, TransportReport& report,
          std::string detail) {
  srb.SRB_Status = status;
  srb.SRB_HaStat = ha_stat;
  report.detail = std::move(detail);
}

}  // namespace

bool IsBlockTransfer(uint8_t opcode) {
  switch (opcode) {
    case 0x28:  // READ (10)
    case 0x2A:  // WRITE (10)
    case 0x2E:  // WRITE AND VERIFY (10)
    case 0xA8:  // READ (12)
    case 0xAA:  // WRITE (12)
    case 0xB9:  // READ CD MSF
    case 0xBE:  // READ CD
      return true;
    default:
      return false;
  }
}

bool IsRecordingCommand(uint8_t opcode) {
  switch (opcode) {
    case 0x04:  // FORMAT UNIT
    case 0x2A:  // WRITE (10)
    case 0x2E:  // WRITE AND VERIFY (10)
    case 0x53:  // RESERVE TRACK
    case 0x5B:  // CLOSE TRACK/SESSION
    case 0x5D:  // SEND CUE SHEET
    case 0xA1:  // BLANK
    case 0xAA:  // WRITE (12)
      return true;
    default:
      return false;
  }
}

void ApplySgOutcome(const SgOutcome& o, const std::string& node, SRB_ExecSCSICmd& srb,
                    TransportReport& report) {
  if (o.ioctl_result != 0) {
    const std::string detail = node + ": " + ErrnoText(o.error);
    switch (o.error) {
      case ETIMEDOUT:
        return Fail(srb, SS_ERR, HASTAT_TIMEOUT, report, detail);
      case ENODEV:
      case ENXIO:
      case ENOENT:
        return Fail(srb, SS_ERR, HASTAT_SEL_TO, report, detail);
      case EPERM:
      case EACCES:
      case EBADF:
      case EROFS:
        return Fail(srb, SS_INVALID_CMD, HASTAT_OK, report, detail);
      case EINVAL:
      case EMSGSIZE:
      case EFAULT:
      case ENOMEM:
        return Fail(srb, SS_INVALID_SRB, HASTAT_OK, report, detail);
      default:
        return Fail(srb, SS_ERR, HASTAT_BUS_FREE, report, detail);
    }
  }

  uint32_t resid = o.resid > 0 ? static_cast<uint32_t>(o.resid) : 0;
  if (resid > srb.SRB_BufLen) resid = srb.SRB_BufLen;
  report.has_residual = true;
  report.residual = resid;

  if (o.host_status != kDidOk) {
    HostMapping m = MapHost(o.host_status);
    srb.SRB_TargStat = o.status;
    return Fail(srb, SS_ERR, m.ha_stat, report,
                node + ": " + m.words + " (HOST STATUS " + Hex2(o.host_status) + "h)");
  }
  if (o.status != STATUS_GOOD) {
    // The drive answered: CHECK CONDITION (sense already in SenseArea),
    // BUSY, RESERVATION CONFLICT, …
    srb.SRB_Status = SS_ERR;
    srb.SRB_TargStat = o.status;
    return;
  }
  uint16_t verdict = o.driver_status & kDriverVerdictMask;
  if (verdict == kDriverTimeout) {
    return Fail(srb, SS_ERR, HASTAT_TIMEOUT, report, node + ": TIMED OUT");
  }
  if (verdict != 0) {
    return Fail(srb, SS_ERR, HASTAT_BUS_FREE, report,
                node + ": DRIVER ERROR (DRIVER STATUS " + Hex2(o.driver_status) + "h)");
  }
  if (resid != 0 && IsBlockTransfer(srb.CDBByte[0])) {
    return Fail(srb, SS_ERR, HASTAT_DO_DU, report,
                node + ": " + std::to_string(resid) + " OF " + std::to_string(srb.SRB_BufLen) +
                    " BYTES NOT TRANSFERRED");
  }
  srb.SRB_Status = SS_COMP;
}

}  // namespace device
