#include "device/sgio_transport.h"

#include <scsi/sg.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "device/aspi_blocks.h"
#include "device/device_texts.h"
#include "device/sgio_drive_map.h"
#include "device/sgio_status.h"
#include "device/sgio_system.h"
#include "device/transport_report.h"

std::atomic<bool> SPTICloseHandles{false};

namespace {

using device::TransportReport;

constexpr unsigned kPassThroughTimeoutMs = 120000;
constexpr size_t kInquiryServed = 36;  // what INQUIRY from the map delivers
constexpr char kManagerId[16] = {'T', 'I', 'D', 'E', 'M', 'A', 'R',
                                 'K', ' ', 'S', 'G', '_', 'I', 'O'};

void AnswerAdapterInquiry(SRB_HAInquiry& srb) {
  srb.HA_Count = SPTIDriveMap.AdapterCount;
  if (srb.SRB_HaId >= SPTIDriveMap.AdapterCount) {
    srb.SRB_Status = SS_INVALID_HA;
    return;
  }
  srb.HA_SCSI_ID = 7;
  std::memcpy(srb.HA_ManagerId, kManagerId, sizeof srb.HA_ManagerId);
  std::memset(srb.HA_Identifier, 0, sizeof srb.HA_Identifier);
  std::string ident = "SPTI " + std::to_string(srb.SRB_HaId);
  std::memcpy(srb.HA_Identifier, ident.data(), std::min(ident.size(), sizeof srb.HA_Identifier));
  std::memset(srb.HA_Unique, 0, sizeof srb.HA_Unique);
  srb.HA_Unique[0] = 0x07;  // buffer alignment mask 0007h
  srb.HA_Unique[3] = 8;     // maximum targets
  srb.HA_Unique[4] = 0x00;  // maximum transfer length 00FF0000h, little-endian
  srb.HA_Unique[5] = 0x00;
  srb.HA_Unique[6] = 0xFF;
  srb.HA_Unique[7] = 0x00;
  srb.SRB_Status = SS_COMP;
}

void AnswerDeviceType(SRB_GDEVBlock& srb) {
  if (SPTIFindDrive(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun) != nullptr) {
    srb.SRB_DeviceType = 5;
    srb.SRB_Status = SS_COMP;
  } else {
    srb.SRB_DeviceType = 0x1F;
    srb.SRB_Status = SS_NO_DEVICE;
  }
}

// INQUIRY is served from the map without device I/O. It delivers 36 bytes,
// never more than the caller's buffer holds.
void AnswerInquiry(SRB_ExecSCSICmd& srb, const TSPTIDrive& drive, TransportReport& report) {
  if (srb.SRB_HaId >= SPTIDriveMap.AdapterCount) {
    srb.SRB_Status = SS_INVALID_HA;
    return;
  }
  size_t n = srb.SRB_BufPointer != nullptr ? std::min<size_t>(kInquiryServed, srb.SRB_BufLen) : 0;
  std::memcpy(srb.SRB_BufPointer, drive.Inquiry.data(), n);
  report.has_residual = true;
  report.residual = srb.SRB_BufLen - static_cast<uint32_t>(n);
  srb.SRB_Status = SS_COMP;
}

void CloseHandle(TSPTIDrive& drive) {
  if (drive.Handle >= 0) device::CurrentSgSystem().Close(drive.Handle);
  drive.Handle = -1;
  drive.HandleWritable = false;
  drive.HandleExclusive = false;
}

// Makes sure the drive's node is open, read-write and exclusive for the
// commands that change the medium. False (with the block and the report
// filled) when it cannot be opened as needed.
bool EnsureHandle(TSPTIDrive& drive, bool recording, SRB_ExecSCSICmd& srb,
                  TransportReport& report) {
  if (recording && drive.Handle >= 0 && !drive.HandleExclusive) CloseHandle(drive);
  if (drive.Handle >= 0) return true;
  bool writable = false;
  int fd = device::OpenDriveNode(drive.Node, recording, writable);
  if (fd < 0) {
    int err = errno;
    if (recording && err == EBUSY) {
      srb.SRB_Status = SS_INVALID_CMD;
      report.detail = drive.Node + ": " + std::string(texts::kDriveInUse);
    } else if (recording && (err == EACCES || err == EPERM || err == EROFS)) {
      srb.SRB_Status = SS_INVALID_CMD;
      report.detail = drive.Node + ": " + std::string(texts::kNoWriteAccess) + " (" +
                      device::ErrnoText(err) + ")";
    } else {
      srb.SRB_Status = SS_ERR;
      srb.SRB_HaStat = HASTAT_SEL_TO;
      report.detail = drive.Node + ": " + device::ErrnoText(err);
    }
    return false;
  }
  drive.Handle = fd;
  drive.HandleWritable = writable;
  drive.HandleExclusive = recording;
  return true;
}

int Direction(const SRB_ExecSCSICmd& srb) {
  if (srb.SRB_Flags & SRB_DIR_IN) return SG_DXFER_FROM_DEV;
  if (srb.SRB_Flags & SRB_DIR_OUT) return SG_DXFER_TO_DEV;
  // Direction left open: data, if any, comes from the drive.
  return srb.SRB_BufLen == 0 ? SG_DXFER_NONE : SG_DXFER_FROM_DEV;
}

void PassThrough(SRB_ExecSCSICmd& srb, TSPTIDrive& drive, TransportReport& report) {
  if (srb.SRB_CDBLen < 6 || srb.SRB_CDBLen > kCdbSize ||
      (srb.SRB_BufLen != 0 && srb.SRB_BufPointer == nullptr)) {
    srb.SRB_Status = SS_INVALID_SRB;
    return;
  }
  if (!EnsureHandle(drive, device::IsRecordingCommand(srb.CDBByte[0]), srb, report)) return;

  std::memset(srb.SenseArea, 0, sizeof srb.SenseArea);
  sg_io_hdr_t hdr{};
  hdr.interface_id = 'S';
  hdr.dxfer_direction = Direction(srb);
  hdr.cmd_len = srb.SRB_CDBLen;
  hdr.mx_sb_len = std::min<uint8_t>(srb.SRB_SenseLen, kSenseAreaSize);
  hdr.dxfer_len = srb.SRB_BufLen;
  hdr.dxferp = srb.SRB_BufLen != 0 ? srb.SRB_BufPointer : nullptr;
  hdr.cmdp = srb.CDBByte;
  hdr.sbp = srb.SenseArea;
  hdr.timeout = kPassThroughTimeoutMs;

  device::SgOutcome outcome;
  outcome.ioctl_result = device::CurrentSgSystem().SgIo(drive.Handle, hdr);
  outcome.error = outcome.ioctl_result != 0 ? errno : 0;
  outcome.status = hdr.status;
  outcome.host_status = hdr.host_status;
  outcome.driver_status = hdr.driver_status;
  outcome.resid = hdr.resid;
  device::ApplySgOutcome(outcome, drive.Node, srb, report);

  // A node that failed at the system level is reopened for the next command
  // (a recorder that was unplugged and came back gets a fresh descriptor).
  if (outcome.ioctl_result != 0 || SPTICloseHandles.load()) CloseHandle(drive);
}

void ExecCommand(SRB_ExecSCSICmd& srb) {
  TransportReport& report = device::LastTransportReport();
  TSPTIDrive* drive = SPTIFindDrive(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun);
  if (drive == nullptr) {
    srb.SRB_Status = SS_NO_DEVICE;
    return;
  }
  if (srb.CDBByte[0] == 0x12) return AnswerInquiry(srb, *drive, report);
  PassThrough(srb, *drive, report);
}

}  // namespace

uint32_t SPTISupportInfo() {
  if (SPTIDriveMap.AdapterCount != 0) return (uint32_t{SS_COMP} << 8) | SPTIDriveMap.AdapterCount;
  return uint32_t{SS_NO_ADAPTERS} << 8;
}

uint32_t SPTISendCommand(void* p) {
  if (p == nullptr) return SS_ERR;
  auto* bytes = static_cast<uint8_t*>(p);
  switch (bytes[0]) {
    case SC_HA_INQUIRY: {
      auto* srb = static_cast<SRB_HAInquiry*>(p);
      AnswerAdapterInquiry(*srb);
      return srb->SRB_Status;
    }
    case SC_GET_DEV_TYPE: {
      auto* srb = static_cast<SRB_GDEVBlock*>(p);
      AnswerDeviceType(*srb);
      return srb->SRB_Status;
    }
    case SC_EXEC_SCSI_CMD: {
      auto* srb = static_cast<SRB_ExecSCSICmd*>(p);
      ExecCommand(*srb);
      return srb->SRB_Status;
    }
    case SC_GET_DISK_INFO: {
      // No drive letters here: the caller falls back to its own lookup.
      auto* srb = static_cast<SRB_GetDiskInfo*>(p);
      srb->SRB_Status = SS_PENDING;
      return srb->SRB_Status;
    }
    default:
      bytes[1] = SS_ERR;
      return SS_ERR;
  }
}
