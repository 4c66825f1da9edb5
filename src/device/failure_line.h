#pragma once
// The command-failure log line, byte for byte:
//   <<< [nn:ss:zzz ]NAME (OP) {FL|CL} - HA:T:L <ST> [LEN] C1 … C15  | D0 D1 … = HS TS S0 S2
//   ASC:xx,ASQ:xx TEXT

#include <string>
#include <string_view>

#include "device/aspi_blocks.h"

namespace device {

// At most this many bytes of the data buffer are dumped.
inline constexpr size_t kLoggedDataBytes = 257;

// `time_of_day` is empty, or "nn:ss:zzz " when every command is traced.
std::string FailureLine(const SRB_ExecSCSICmd& srb, std::string_view last_error,
                        std::string_view time_of_day = {});

// Operation codes whose failures are expected while probing or polling and
// are therefore not logged.
bool FailureNotLogged(uint8_t opcode);

}  // namespace device
