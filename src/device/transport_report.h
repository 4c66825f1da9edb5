#pragma once
// What a transport learnt about the last request beyond the request block's
// own fields: how much of the data did not move (the residual count) and, for
// a failure the transport met itself (a device node that vanished, a refused
// open, a driver error), a short upper-case explanation that the execution
// routine appends to LastError. Library transports leave it empty.

#include <cstdint>
#include <string>

namespace device {

struct TransportReport {
  bool has_residual = false;
  uint32_t residual = 0;  // bytes of SRB_BufLen that were not transferred
  std::string detail;

  void Clear() {
    has_residual = false;
    residual = 0;
    detail.clear();
  }
};

// The report of the request in flight (one command at a time per process).
TransportReport& LastTransportReport();

// errno as upper-case words ("NO SUCH DEVICE"), independent of the locale.
std::string ErrnoText(int err);

}  // namespace device
