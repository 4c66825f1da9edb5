#pragma once
// Fault-injection rules: OP[@FIRST[-LAST]][#N][*COUNT]=RESULT.
//   OP       two hexadecimal digits, the operation code (2A = WRITE(10));
//   @F-L     only commands whose blocks touch F..L (a single @F means F..F);
//   #N       the first N-1 matching commands pass;
//   *COUNT   fires COUNT times (default: every time from the N-th on);
//   RESULT   KK/AA/QQ (check condition with that sense), "busy" (target
//            status BUSY), "timeout" (the command never completes in time)
//            or "eject" (the tray opens: the command fails with 02/3A/02 and
//            the disc stays out of reach until loaded again).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vrec/sense.h"

namespace vrec {

enum class FaultResult : std::uint8_t { kSense, kBusy, kTimeout, kEject };

struct FaultRule {
  std::uint8_t op = 0;
  bool has_range = false;
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  std::uint32_t nth = 1;    // fires from the nth matching command on
  std::uint32_t count = 0;  // 0 = every time
  FaultResult result = FaultResult::kSense;
  Sense sense;
  std::uint32_t matched = 0;  // matching commands seen so far
  std::uint32_t fired = 0;    // times it fired

  bool spent() const { return count != 0 && fired >= count; }
};

// Parses one rule; on failure returns nullopt with a message in *error.
std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string* error);
// The rule as it is written, without its counters.
std::string FormatFaultRule(const FaultRule& rule);

// The blocks a command touches, for rules with an address range.
struct BlockRange {
  bool valid = false;
  std::int64_t first = 0;
  std::int64_t count = 0;
};

// Counts the command against the rule; true when the rule fires for it.
bool FaultRuleFires(FaultRule& rule, std::uint8_t op, const BlockRange& blocks);

}  // namespace vrec
