#include "scripted_drive.h"

#include <algorithm>
#include <cstring>

#include "device/aspi_loader.h"

ScriptedDrive* ScriptedDrive::current_ = nullptr;

ScriptedDrive::ScriptedDrive(TSCSIDevice& device) {
  current_ = this;
  InstallASPI("SCRIPTED", &ScriptedDrive::Support, &ScriptedDrive::Send);
  device.HostAdapter = 0;
  device.TargetId = 0;
  device.Lun = 0;
}

ScriptedDrive::~ScriptedDrive() {
  RemoveASPI();
  current_ = nullptr;
}

uint32_t ScriptedDrive::Support() {
  return (uint32_t{SS_COMP} << 8) | 1;
}

uint32_t ScriptedDrive::Send(void* p) {
  // Adapter inquiries and drive-number queries are smaller blocks: one
  // adapter, no drive numbers.
  auto* bytes = static_cast<uint8_t*>(p);
  if (bytes[0] == SC_HA_INQUIRY) {
    static_cast<SRB_HAInquiry*>(p)->HA_Count = 1;
    bytes[1] = SS_COMP;
    return SS_COMP;
  }
  if (bytes[0] != SC_EXEC_SCSI_CMD) {
    bytes[1] = SS_ERR;
    return SS_ERR;
  }
  auto& srb = *static_cast<SRB_ExecSCSICmd*>(p);
  SentCommand c;
  std::memcpy(&c.srb, &srb, sizeof srb);
  if ((srb.SRB_Flags & SRB_DIR_OUT) && srb.SRB_BufPointer != nullptr) {
    const auto* d = static_cast<const uint8_t*>(srb.SRB_BufPointer);
    c.data_out.assign(d, d + srb.SRB_BufLen);
  }
  current_->sent.push_back(std::move(c));
  srb.SRB_Status = SS_COMP;
  if (current_->handler_) current_->handler_(srb);
  return srb.SRB_Status;
}

void ScriptedDrive::Reply(SRB_ExecSCSICmd& srb, const std::vector<uint8_t>& bytes) {
  size_t n = std::min<size_t>(bytes.size(), srb.SRB_BufLen);
  if (n != 0) std::memcpy(srb.SRB_BufPointer, bytes.data(), n);
}

void ScriptedDrive::CheckCondition(SRB_ExecSCSICmd& srb, uint8_t key, uint8_t asc, uint8_t ascq,
                                   uint8_t additional_length) {
  srb.SRB_Status = SS_ERR;
  srb.SRB_TargStat = STATUS_CHKCOND;
  std::memset(srb.SenseArea, 0, sizeof srb.SenseArea);
  srb.SenseArea[0] = 0x70;
  srb.SenseArea[2] = key;
  srb.SenseArea[7] = additional_length;
  srb.SenseArea[12] = asc;
  srb.SenseArea[13] = ascq;
}
