#pragma once
// How the outcome of one SG_IO request is written back into the request
// block: SRB_Status 01h on success; 04h with the SCSI status in SRB_TargStat
// and the sense bytes in SenseArea when the drive failed the command; and for
// failures the drive never answered (a failing ioctl, a host or driver
// error, a short block transfer) the host-adapter codes of the request block,
// with a report detail that names the cause. Such failures are never "busy":
// retrying the same command will not help.

#include <cstdint>
#include <string>

#include "device/aspi_blocks.h"
#include "device/transport_report.h"

namespace device {

struct SgOutcome {
  int ioctl_result = 0;  // 0, or -1 with `error`
  int error = 0;         // errno of a failing ioctl
  uint8_t status = 0;    // SCSI status byte
  uint16_t host_status = 0;
  uint16_t driver_status = 0;
  int resid = 0;
};

// Linux host_status values (DID_*).
inline constexpr uint16_t kDidOk = 0x00;
inline constexpr uint16_t kDidNoConnect = 0x01;
inline constexpr uint16_t kDidBusBusy = 0x02;
inline constexpr uint16_t kDidTimeOut = 0x03;
inline constexpr uint16_t kDidBadTarget = 0x04;
inline constexpr uint16_t kDidAbort = 0x05;
inline constexpr uint16_t kDidParity = 0x06;
inline constexpr uint16_t kDidError = 0x07;
inline constexpr uint16_t kDidReset = 0x08;
// Linux driver_status: low three bits are the driver's verdict, 08h says
// sense data is present, the upper nibble holds suggestions.
inline constexpr uint16_t kDriverVerdictMask = 0x07;
inline constexpr uint16_t kDriverTimeout = 0x06;

// Commands that move exactly the blocks they name; a residual count on them
// means data was lost, not that the reply was short.
bool IsBlockTransfer(uint8_t opcode);
// Commands that change the medium; the built-in transport sends them only on
// a node it has opened read-write and exclusively.
bool IsRecordingCommand(uint8_t opcode);

void ApplySgOutcome(const SgOutcome& outcome, const std::string& node, SRB_ExecSCSICmd& srb,
                    TransportReport& report);

}  // namespace device
