#pragma once
// One scripted drive whose answers are set per operation code: a reply, a
// failure, or a handler. Commands without an answer complete with status
// 01h and no data. Waits are counted, not slept.

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "../device/scripted_drive.h"
#include "burner/cd_burner.h"

class QuietBurner : public TzqCDBurner {
 public:
  int64_t slept = 0;
  using TzqCDBurner::NextSessionStart;

 protected:
  void Sleep(int32_t ms) override { slept += ms; }
};

struct DriveFixture {
  using Handler = std::function<void(SRB_ExecSCSICmd&)>;

  QuietBurner dev;
  ScriptedDrive drive{dev};
  std::map<uint8_t, Handler> on;

  DriveFixture() {
    drive.OnCommand([this](SRB_ExecSCSICmd& srb) {
      auto it = on.find(srb.CDBByte[0]);
      if (it != on.end()) it->second(srb);
    });
  }
  void Reply(uint8_t opcode, std::vector<uint8_t> bytes) {
    on[opcode] = [bytes](SRB_ExecSCSICmd& srb) { ScriptedDrive::Reply(srb, bytes); };
  }
  // ILLEGAL REQUEST / INVALID COMMAND OPERATION CODE.
  void Fail(uint8_t opcode) {
    on[opcode] = [](SRB_ExecSCSICmd& srb) { ScriptedDrive::CheckCondition(srb, 0x05, 0x20, 0x00); };
  }
  std::vector<uint8_t> Opcodes() const {
    std::vector<uint8_t> out;
    for (const SentCommand& c : drive.sent) out.push_back(c.opcode());
    return out;
  }
  size_t Count(uint8_t opcode) const {
    size_t n = 0;
    for (const SentCommand& c : drive.sent) n += c.opcode() == opcode;
    return n;
  }
  // The CDBs of every command with this operation code.
  std::vector<std::vector<uint8_t>> Cdbs(uint8_t opcode) const {
    std::vector<std::vector<uint8_t>> out;
    for (const SentCommand& c : drive.sent) {
      if (c.opcode() == opcode) out.emplace_back(c.srb.CDBByte, c.srb.CDBByte + c.srb.SRB_CDBLen);
    }
    return out;
  }
};

inline void PutBe16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}
inline void PutBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
