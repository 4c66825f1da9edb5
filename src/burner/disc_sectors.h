#pragma once
// Sectors of the disc in the recorder, as the file-system walk reads them.
// A large session has thousands of small directory extents, mostly close to
// one another; one READ (10) per sector would spend the import's time on
// commands. So each read takes the whole aligned run of sectors around the
// one asked for (short of the disc's end, when known) and keeps the runs it
// read. A run that cannot be read whole is read one sector at a time, so an
// unreadable sector costs only itself.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TSCSIDevice;

namespace burner {

class DiscSectors {
 public:
  static constexpr uint32_t kRunSectors = 32;
  static constexpr size_t kRunSlots = 256;  // 16 MiB of runs at most

  // End: the first sector past the disc's recorded data; 0 when unknown.
  DiscSectors(TSCSIDevice& Device, uint32_t End);

  // One sector into Out; false when the drive cannot read it.
  bool Read(uint32_t Sector, std::span<uint8_t, 2048> Out);

  uint32_t End() const { return end_; }

 private:
  struct Run {
    uint32_t first = 0;
    bool valid = false;
    std::vector<uint8_t> bytes;
  };
  bool ReadRun(Run& Slot, uint32_t First);
  bool ReadOne(uint32_t Sector, std::span<uint8_t, 2048> Out);

  TSCSIDevice& device_;
  uint32_t end_;
  std::vector<Run> runs_;
  // Runs that failed as a whole; their sectors are read one by one.
  std::vector<uint32_t> failed_runs_;
};

}  // namespace burner
