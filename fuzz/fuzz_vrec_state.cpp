// Arbitrary bytes as a recorder's stored state: the whole state file (as
// found in the folder), the state record inside it, and the staging
// header. A state the loader accepts must then take a round of ordinary
// commands without crashing.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vrec/drive.h"
#include "vrec/mmc.h"
#include "vrec/sector_store.h"
#include "vrec/store.h"

namespace {

void Exercise(vrec::DriveState& state) {
  vrec::MemorySectorStore store(256);
  vrec::Initiator initiator;
  std::vector<std::uint8_t> buffer(64 * 2048, 0x5A);
  const std::vector<std::vector<std::uint8_t>> commands = {
      {vrec::mmc::kTestUnitReady, 0, 0, 0, 0, 0},
      {vrec::mmc::kRequestSense, 0, 0, 0, 18, 0},
      {vrec::mmc::kReadDiscInformation, 0, 0, 0, 0, 0, 0, 0, 34, 0},
      {vrec::mmc::kReadTrackInformation, 1, 0, 0, 0, 0xFF, 0, 0, 48, 0},
      {vrec::mmc::kReadTrackInformation, 1, 0, 0, 0, 1, 0, 0, 48, 0},
      {vrec::mmc::kReadToc, 2, 2, 0, 0, 0, 0, 0xFF, 0xFF, 0},
      {vrec::mmc::kReadToc, 0, 0, 0, 0, 0, 0, 0x10, 0, 0},
      {vrec::mmc::kReadCapacity, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {vrec::mmc::kReadFormatCapacities, 0, 0, 0, 0, 0, 0, 1, 0, 0},
      {vrec::mmc::kGetConfiguration, 0, 0, 0, 0, 0, 0, 8, 0, 0},
      {vrec::mmc::kModeSense10, 0, 0x3F, 0, 0, 0, 0, 4, 0, 0},
      {vrec::mmc::kReadBufferCapacity, 0, 0, 0, 0, 0, 0, 0, 12, 0},
      {vrec::mmc::kRead10, 0, 0, 0, 0, 0, 0, 0, 16, 0},
      {vrec::mmc::kWrite10, 0, 0, 0, 0, 0, 0, 0, 16, 0},
      {vrec::mmc::kSynchronizeCache, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {vrec::mmc::kCloseTrackSession, 0, 1, 0, 0, 0, 0, 0, 0, 0},
      {vrec::mmc::kCloseTrackSession, 0, 2, 0, 0, 0, 0, 0, 0, 0},
      {vrec::mmc::kBlank, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  std::int64_t now = state.busy_end;
  for (const auto& cdb : commands) {
    bool out = cdb[0] == vrec::mmc::kWrite10;
    vrec::Request r{cdb, out ? vrec::DataDirection::kOut : vrec::DataDirection::kIn,
                    vrec::Bytes(buffer)};
    vrec::Execute(state, store, initiator, now, {40}, r);
    now += 10'000'000;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vrec::ConstBytes bytes(data, size);
  vrec::DriveState state;
  std::string error;
  if (vrec::DecodeStateFile(bytes, &state, &error)) Exercise(state);
  if (vrec::DecodeState(bytes, &state, &error)) Exercise(state);
  // The staging header's word: a run it accepts lies inside the staging
  // area and below the last block any run may reach.
  if (size >= 8) {
    std::uint64_t word = 0;
    for (int i = 0; i < 8; ++i) word = word << 8 | data[i];
    vrec::StagedRun run;
    if (vrec::DecodeStagedRun(word, &run) && run.count > 0) {
      const auto window = static_cast<std::int64_t>(vrec::kStagingBlocks);
      if (run.first < 0 || run.first % window + run.count > window ||
          run.first + run.count > vrec::kStagingBlockLimit) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
