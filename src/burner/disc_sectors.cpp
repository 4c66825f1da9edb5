#include "burner/disc_sectors.h"

#include <algorithm>
#include <cstring>

#include "device/scsi_device.h"

namespace burner {
namespace {

constexpr uint32_t kSectorBytes = 2048;
// Runs found unreadable are remembered up to this many (then forgotten in
// turn); a disc with more bad runs than this only costs extra commands.
constexpr size_t kFailedRunMemory = 64;

}  // namespace

DiscSectors::DiscSectors(TSCSIDevice& Device, uint32_t End)
    : device_(Device), end_(End), runs_(kRunSlots) {}

bool DiscSectors::ReadOne(uint32_t Sector, std::span<uint8_t, 2048> Out) {
  if (!device_.Read10(Sector, 1, kSectorBytes, Out)) return false;
  // A short transfer leaves the rest of the buffer as it was.
  return device_.LastResidual == 0;
}

bool DiscSectors::ReadRun(Run& Slot, uint32_t First) {
  uint32_t count = kRunSectors;
  if (end_ != 0 && First < end_) count = std::min(count, end_ - First);
  if (First > UINT32_MAX - count) count = UINT32_MAX - First + 1;
  Slot.valid = false;
  Slot.bytes.resize(size_t{kRunSectors} * kSectorBytes);
  const uint32_t bytes = count * kSectorBytes;
  if (!device_.Read10(First, static_cast<uint16_t>(count), bytes, Slot.bytes) ||
      device_.LastResidual != 0)
    return false;
  // Sectors past the disc's end are never served from the run.
  std::fill(Slot.bytes.begin() + bytes, Slot.bytes.end(), 0);
  Slot.first = First;
  Slot.valid = true;
  Slot.bytes.resize(bytes);
  return true;
}

bool DiscSectors::Read(uint32_t Sector, std::span<uint8_t, 2048> Out) {
  const uint32_t first = Sector / kRunSectors * kRunSectors;
  Run& slot = runs_[(first / kRunSectors) % kRunSlots];
  const auto serve = [&] {
    const size_t at = size_t{Sector - slot.first} * kSectorBytes;
    std::memcpy(Out.data(), slot.bytes.data() + at, kSectorBytes);
    return true;
  };
  if (slot.valid && slot.first == first &&
      size_t{Sector - first} * kSectorBytes < slot.bytes.size())
    return serve();
  // Beyond the known end, or in a run known to be bad: the sector alone.
  const bool past_end = end_ != 0 && Sector >= end_;
  if (past_end || std::find(failed_runs_.begin(), failed_runs_.end(), first) != failed_runs_.end())
    return ReadOne(Sector, Out);
  if (ReadRun(slot, first) && size_t{Sector - first} * kSectorBytes < slot.bytes.size())
    return serve();
  if (failed_runs_.size() >= kFailedRunMemory) failed_runs_.erase(failed_runs_.begin());
  failed_runs_.push_back(first);
  return ReadOne(Sector, Out);
}

}  // namespace burner
