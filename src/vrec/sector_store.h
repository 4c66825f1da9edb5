#pragma once
// Where the recorded blocks live: a sparse file in the state folder (only
// written blocks take space), or memory for tests and fuzzing.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "vrec/bytes.h"

namespace vrec {

inline constexpr std::size_t kBlockSize = 2048;

class SectorStore {
 public:
  virtual ~SectorStore() = default;
  // `data` holds whole blocks. False when the store could not take them.
  virtual bool Write(std::int64_t lba, ConstBytes data) = 0;
  // Fills whole blocks; blocks never written read as zeros.
  virtual bool Read(std::int64_t lba, Bytes out) = 0;
  // Forgets every block (a new disc, a full blank).
  virtual bool Discard() = 0;
  // One past the highest block ever stored.
  virtual std::int64_t ExtentBlocks() = 0;
  // Puts blocks held back in a cache where a reader of the file finds them.
  virtual bool Flush() { return true; }
};

// The staging area: blocks written but not yet in the sparse file, like a
// drive's cache. Consecutive writes gather there and reach the file as one
// large aligned write, which the page cache takes far faster than many
// small ones. It lives in a file mapped by every process using the
// recorder, so whoever takes the lock next sees (and a crashed writer
// leaves) the blocks staged before.
//
// Layout: kStagingHeaderSize bytes of header, then kStagingBlocks blocks.
// The staged blocks lie within one aligned window of kStagingBlocks
// blocks, each at its place in the window. The header's first 8 bytes are
// one word (so that no process dies leaving half a header): the count in
// bits 0-9, the first block in bits 10-41, a check of those in bits 42-63;
// 0 means nothing is staged.
inline constexpr std::size_t kStagingBlocks = 512;  // 1 MiB
inline constexpr std::size_t kStagingHeaderSize = 4096;
inline constexpr std::size_t kStagingFileSize = kStagingHeaderSize + kStagingBlocks * kBlockSize;
// No staged block lies at or beyond this one (far past any disc's end);
// writes there go to the file directly.
inline constexpr std::int64_t kStagingBlockLimit = std::int64_t{1} << 24;

struct StagedRun {
  std::int64_t first = 0;
  std::uint32_t count = 0;
};
std::uint64_t EncodeStagedRun(StagedRun run);
// False for a word no store wrote: a bad check, or a run that leaves its
// window or passes kStagingBlockLimit.
bool DecodeStagedRun(std::uint64_t word, StagedRun* run);

class FileSectorStore final : public SectorStore {
 public:
  // Uses an open descriptor of the sparse file; does not own it.
  explicit FileSectorStore(int fd) : fd_(fd) {}
  bool Write(std::int64_t lba, ConstBytes data) override;
  bool Read(std::int64_t lba, Bytes out) override;
  bool Discard() override;
  std::int64_t ExtentBlocks() override;
  void set_fd(int fd) { fd_ = fd; }
  // The staging file's mapping (kStagingFileSize bytes), or null to write
  // every block straight to the file. Not owned.
  void set_staging(std::uint8_t* area) { staging_ = area; }
  // Puts the staged blocks into the file. False when it could not (they
  // stay staged), or when the staging header is damaged.
  bool Flush() override;
  // The run staged now; false when the header is damaged.
  bool Staged(StagedRun* run) const;

 private:
  bool WriteFile(std::int64_t lba, ConstBytes data);
  void SetStaged(StagedRun run);

  int fd_;
  std::uint8_t* staging_ = nullptr;
};

class MemorySectorStore final : public SectorStore {
 public:
  // Keeps at most `max_blocks` distinct blocks; writes beyond that fail.
  explicit MemorySectorStore(std::size_t max_blocks = 1u << 16) : max_blocks_(max_blocks) {}
  bool Write(std::int64_t lba, ConstBytes data) override;
  bool Read(std::int64_t lba, Bytes out) override;
  bool Discard() override {
    blocks_.clear();
    return true;
  }
  std::int64_t ExtentBlocks() override { return blocks_.empty() ? 0 : blocks_.rbegin()->first + 1; }
  std::size_t block_count() const { return blocks_.size(); }

 private:
  std::size_t max_blocks_;
  std::map<std::int64_t, std::vector<std::uint8_t>> blocks_;
};

}  // namespace vrec
