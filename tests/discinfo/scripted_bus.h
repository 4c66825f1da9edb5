#pragma once
// A bus of scripted drives for the discovery tests: installed as the
// transport's entry points, it answers the adapter inquiry with its own
// adapter count, the drive-number query when told to, and every SCSI
// command through the handler of the drive at that address (INQUIRY from
// the drive's identification when the handler leaves it alone). Addresses
// without a drive answer "no device". Every command is recorded.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "device/aspi_blocks.h"

struct BusDrive {
  // INQUIRY reply (96 bytes): type byte, then vendor, product, revision.
  std::vector<uint8_t> inquiry;
  // Answers a command; return true when it answered (else the bus answers
  // INQUIRY itself and completes anything else with status 01h).
  std::function<bool(SRB_ExecSCSICmd&)> handler;
};

struct BusCommand {
  uint8_t adapter, target, lun, opcode;
  std::vector<uint8_t> data_out;
  std::vector<uint8_t> cdb;
};

class ScriptedBus {
 public:
  ScriptedBus();
  ~ScriptedBus();

  // HA_Count reported by every adapter inquiry; status 01h unless failing.
  uint8_t adapter_count = 1;
  bool adapter_inquiry_fails = false;
  // The drive number SC_GET_DISK_INFO reports (0 = A), or nothing (SS_ERR).
  std::optional<uint8_t> disk_number;

  void Add(uint8_t adapter, uint8_t target, uint8_t lun, BusDrive drive);
  // A drive identification: type 05h unless given, vendor (8), product
  // (16) and revision (4) padded with blanks.
  static std::vector<uint8_t> Identity(const std::string& vendor, const std::string& product,
                                       const std::string& revision, uint8_t type = 0x05);

  std::vector<BusCommand> sent;
  std::vector<uint8_t> inquired_adapters;  // SRB_HaId of every adapter inquiry

  // How many commands with this operation code were sent.
  size_t Count(uint8_t opcode) const;

 private:
  static uint32_t Support();
  static uint32_t Send(void* srb);
  uint32_t Exec(SRB_ExecSCSICmd& srb);
  static ScriptedBus* current_;
  std::map<std::tuple<uint8_t, uint8_t, uint8_t>, BusDrive> drives_;
};

// Reply helpers for handlers (as in the device tests).
void BusReply(SRB_ExecSCSICmd& srb, const std::vector<uint8_t>& bytes);
void BusCheckCondition(SRB_ExecSCSICmd& srb, uint8_t key, uint8_t asc, uint8_t ascq);
