#pragma once
// A scripted drive for tests: installed as the transport's entry points, it
// records every request block it is handed (with the bytes a data-out
// command carried) and answers through a handler the test supplies.

#include <cstdint>
#include <functional>
#include <vector>

#include "device/aspi_blocks.h"
#include "device/scsi_device.h"

struct SentCommand {
  SRB_ExecSCSICmd srb;            // as the transport received it
  std::vector<uint8_t> data_out;  // what a data-out command carried
  uint8_t opcode() const { return srb.CDBByte[0]; }
};

class ScriptedDrive {
 public:
  using Handler = std::function<void(SRB_ExecSCSICmd& srb)>;

  // Installs the drive and selects it (adapter 0, target 0, LUN 0) on `device`.
  explicit ScriptedDrive(TSCSIDevice& device);
  ~ScriptedDrive();

  // Answers every command; by default each one completes with status 01h.
  void OnCommand(Handler h) { handler_ = std::move(h); }

  std::vector<SentCommand> sent;

  // Helpers for handlers.
  static void Reply(SRB_ExecSCSICmd& srb, const std::vector<uint8_t>& bytes);
  static void CheckCondition(SRB_ExecSCSICmd& srb, uint8_t key, uint8_t asc, uint8_t ascq,
                             uint8_t additional_length = 10);

 private:
  static uint32_t Support();
  static uint32_t Send(void* srb);
  static ScriptedDrive* current_;
  Handler handler_;
};
