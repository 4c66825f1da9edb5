#pragma once
// Turning a failed request into words: the request status, the sense key
// and the additional sense code (ASC/ASCQ).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace device {

// Text of the request status. Empty for 00h and 01h.
std::string_view StatusText(uint8_t status, uint8_t ha_stat, uint8_t targ_stat);

// Text of fixed-format sense data (byte 0 response code, byte 2 flags and
// sense key). Empty for response code 0; "UNKNOWN" for a format that is not
// fixed sense; "CHECK CONDITION" for the keys that have no text of their own.
std::string_view SenseKeyText(uint8_t response_code, uint8_t flags_and_key);

// Text of an ASC/ASCQ pair; a pair the table does not hold gives the two
// values in decimal ("88,0").
std::string AdditionalSenseText(uint8_t asc, uint8_t ascq);

// The table itself (for checks): number of pairs and one entry by index.
struct AdditionalSense {
  uint8_t asc;
  uint8_t ascq;
  std::string_view text;
};
std::span<const AdditionalSense> AdditionalSenseTable();

}  // namespace device
