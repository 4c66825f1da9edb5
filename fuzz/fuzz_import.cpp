// Mutated volumes through the session import and file extraction: the
// input is a disc in memory (descriptors, path tables, directory extents,
// file data), answered by an in-memory drive through the command layer.
//
// Input: a 3-byte header, then chunks. Header byte 0: the session asked for
// (0: the last); byte 1: where a second session starts, in units of 4
// sectors (0: one session only); byte 2: how many imported files to
// extract (0-3). Each chunk: sector (2 bytes, little-endian, taken modulo
// 512), byte count (2 bytes, at most 2048), then the bytes, written at the
// sector's start. Sectors no chunk names are zero. Nothing depends on the
// time of day: the drive answers at once, and extracted files go to one
// scratch folder that each run reuses.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "../tests/reader/memory_disc.h"
#include "burner/cd_burner.h"

namespace {

constexpr uint32_t kMaxSector = 512;  // a disc of 1 MiB at most

const std::string& Scratch() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/fuzz-import-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t session = data[0];
  const uint32_t second = uint32_t{data[1]} * 4;
  const unsigned extracts = data[2] % 4;
  MemoryDisc disc;
  size_t at = 3;
  while (at + 4 <= size) {
    const uint32_t sector = (data[at] | data[at + 1] << 8) % kMaxSector;
    const size_t count = std::min<size_t>(data[at + 2] | data[at + 3] << 8, MemoryDisc::kSector);
    at += 4;
    const size_t n = std::min(count, size - at);
    std::copy(data + at, data + at + n, disc.Sector(sector));
    at += n;
  }
  if (second != 0) {
    disc.Sector(second);
    disc.sessions = {0, second};
  }

  // One component for every run (building one sizes its tables afresh);
  // emptying it leaves nothing of the run before.
  static TzqCDBurner& burner = *new TzqCDBurner;
  burner.ClearAll(2000, 500);
  disc.Insert(burner);
  burner.ImportSession(static_cast<int8_t>(session == 0 ? 255 : session), nullptr);
  unsigned done = 0;
  for (PFileEntry e : burner.FileTable()) {
    if (done >= extracts) break;
    if (e->Dir != nullptr || e->Imported == 0) continue;
    try {
      burner.ExtractFile(e, Scratch() + "/file" + std::to_string(done));
    } catch (const EStreamError&) {
    }
    ++done;
  }
  return 0;
}
