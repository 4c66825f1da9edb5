#include "scripted_bus.h"

#include <algorithm>
#include <cstring>

#include "device/aspi_loader.h"

ScriptedBus* ScriptedBus::current_ = nullptr;

ScriptedBus::ScriptedBus() {
  current_ = this;
  InstallASPI("SCRIPTED BUS", &ScriptedBus::Support, &ScriptedBus::Send);
}

ScriptedBus::~ScriptedBus() {
  RemoveASPI();
  current_ = nullptr;
}

void ScriptedBus::Add(uint8_t adapter, uint8_t target, uint8_t lun, BusDrive drive) {
  drives_[{adapter, target, lun}] = std::move(drive);
}

std::vector<uint8_t> ScriptedBus::Identity(const std::string& vendor, const std::string& product,
                                           const std::string& revision, uint8_t type) {
  std::vector<uint8_t> r(96, 0);
  r[0] = type;
  r[4] = 91;  // additional length
  auto put = [&r](size_t at, const std::string& s, size_t n) {
    for (size_t i = 0; i < n; ++i) r[at + i] = i < s.size() ? static_cast<uint8_t>(s[i]) : ' ';
  };
  put(8, vendor, 8);
  put(16, product, 16);
  put(32, revision, 4);
  return r;
}

size_t ScriptedBus::Count(uint8_t opcode) const {
  return static_cast<size_t>(std::count_if(
      sent.begin(), sent.end(), [opcode](const BusCommand& c) { return c.opcode == opcode; }));
}

uint32_t ScriptedBus::Support() {
  return (uint32_t{SS_COMP} << 8) | current_->adapter_count;
}

uint32_t ScriptedBus::Send(void* p) {
  auto* bytes = static_cast<uint8_t*>(p);
  switch (bytes[0]) {
    case SC_HA_INQUIRY: {
      auto& srb = *static_cast<SRB_HAInquiry*>(p);
      current_->inquired_adapters.push_back(srb.SRB_HaId);
      srb.HA_Count = current_->adapter_count;
      std::memcpy(srb.HA_ManagerId, "SCRIPTED BUS", 12);
      std::memcpy(srb.HA_Identifier, " BUS ", 5);
      srb.SRB_Status = current_->adapter_inquiry_fails ? SS_INVALID_HA : SS_COMP;
      return srb.SRB_Status;
    }
    case SC_GET_DISK_INFO: {
      auto& srb = *static_cast<SRB_GetDiskInfo*>(p);
      if (current_->disk_number) {
        srb.SRB_Int13HDriveInfo = *current_->disk_number;
        srb.SRB_Status = SS_COMP;
      } else {
        srb.SRB_Status = SS_ERR;
      }
      return srb.SRB_Status;
    }
    case SC_EXEC_SCSI_CMD:
      return current_->Exec(*static_cast<SRB_ExecSCSICmd*>(p));
    default:
      bytes[1] = SS_INVALID_CMD;
      return SS_INVALID_CMD;
  }
}

uint32_t ScriptedBus::Exec(SRB_ExecSCSICmd& srb) {
  BusCommand c{srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun, srb.CDBByte[0], {}, {}};
  c.cdb.assign(srb.CDBByte, srb.CDBByte + srb.SRB_CDBLen);
  if ((srb.SRB_Flags & SRB_DIR_OUT) && srb.SRB_BufPointer != nullptr) {
    const auto* d = static_cast<const uint8_t*>(srb.SRB_BufPointer);
    c.data_out.assign(d, d + srb.SRB_BufLen);
  }
  sent.push_back(std::move(c));
  auto it = drives_.find({srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun});
  if (it == drives_.end()) {
    srb.SRB_Status = SS_NO_DEVICE;
    return srb.SRB_Status;
  }
  srb.SRB_Status = SS_COMP;
  BusDrive& drive = it->second;
  if (drive.handler && drive.handler(srb)) return srb.SRB_Status;
  if (srb.CDBByte[0] == 0x12) BusReply(srb, drive.inquiry);
  return srb.SRB_Status;
}

void BusReply(SRB_ExecSCSICmd& srb, const std::vector<uint8_t>& bytes) {
  size_t n = std::min<size_t>(bytes.size(), srb.SRB_BufLen);
  if (n != 0) std::memcpy(srb.SRB_BufPointer, bytes.data(), n);
}

void BusCheckCondition(SRB_ExecSCSICmd& srb, uint8_t key, uint8_t asc, uint8_t ascq) {
  srb.SRB_Status = SS_ERR;
  srb.SRB_TargStat = STATUS_CHKCOND;
  std::memset(srb.SenseArea, 0, sizeof srb.SenseArea);
  srb.SenseArea[0] = 0x70;
  srb.SenseArea[2] = key;
  srb.SenseArea[7] = 10;
  srb.SenseArea[12] = asc;
  srb.SenseArea[13] = ascq;
}
