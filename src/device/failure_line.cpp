#include "device/failure_line.h"

#include <algorithm>
#include <cstdio>

#include "device/command_names.h"

namespace device {
namespace {

void Hex(std::string& out, unsigned v, int digits) {
  char b[16];
  std::snprintf(b, sizeof b, "%0*X", digits, v);
  out += b;
}

}  // namespace

std::string FailureLine(const SRB_ExecSCSICmd& srb, std::string_view last_error,
                        std::string_view time_of_day) {
  const uint8_t op = srb.CDBByte[0];
  std::string s;
  s.reserve(128 + 3 * kLoggedDataBytes);
  s += "<<< ";
  s += time_of_day;
  s += CommandNames()[op];
  s += " (";
  Hex(s, op, 2);
  s += ") {";
  Hex(s, srb.SRB_Flags, 2);
  s += "|";
  Hex(s, srb.SRB_CDBLen, 2);
  s += "} - ";
  s += std::to_string(srb.SRB_HaId);
  s += ":";
  Hex(s, srb.SRB_Target, 1);
  s += ":";
  s += std::to_string(srb.SRB_Lun);
  s += " <";
  Hex(s, srb.SRB_Status, 2);
  s += "> [";
  Hex(s, srb.SRB_BufLen, 4);
  s += "] ";
  for (size_t i = 1; i < kCdbSize; ++i) {
    Hex(s, srb.CDBByte[i], 2);
    s += " ";
  }
  s += " | ";
  if (srb.SRB_BufLen != 0 && srb.SRB_BufPointer != nullptr) {
    const auto* data = static_cast<const uint8_t*>(srb.SRB_BufPointer);
    size_t n = std::min<size_t>(kLoggedDataBytes, srb.SRB_BufLen);
    for (size_t i = 0; i < n; ++i) {
      Hex(s, data[i], 2);
      s += " ";
    }
  }
  s += "= ";
  Hex(s, srb.SRB_HaStat, 2);
  s += " ";
  Hex(s, srb.SRB_TargStat, 2);
  s += " ";
  Hex(s, srb.SenseArea[0], 2);
  s += " ";
  Hex(s, srb.SenseArea[2], 2);
  s += " ASC:";
  Hex(s, srb.SenseArea[12], 2);
  s += ",ASQ:";
  Hex(s, srb.SenseArea[13], 2);
  s += " ";
  s += last_error;
  return s;
}

bool FailureNotLogged(uint8_t opcode) {
  switch (opcode) {
    case 0x00:
    case 0x01:
    case 0x12:
    case 0x1B:
    case 0x1E:
    case 0x23:
    case 0x35:
    case 0x43:
    case 0x46:
    case 0x51:
    case 0x52:
    case 0x55:
    case 0x5A:
    case 0x5C:
    case 0xB6:
    case 0xBB:
      return true;
    default:
      return false;
  }
}

}  // namespace device
