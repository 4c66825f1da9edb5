#pragma once
// Requests a library transport still owns after their wait timed out. The
// library may write to such a block (and signal its event) at any later
// time, so the block and its eventfd are kept alive and never reused until
// the library has visibly finished with them, and the library stays mapped
// while any is outstanding.

#include <cstddef>
#include <memory>

#include "device/aspi_blocks.h"

namespace device {

// event_fd is -1 for a request sent without an event (completion is then
// seen in SRB_Status alone).
void KeepOutstanding(std::unique_ptr<SRB_ExecSCSICmd> block, int event_fd);
// Releases the requests the library has completed since; returns how many
// are still outstanding.
size_t ReapOutstanding();

}  // namespace device
