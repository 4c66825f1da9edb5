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
};

class FileSectorStore final : public SectorStore {
 public:
  // Uses an open descriptor of the sparse file; does not own it.
  explicit FileSectorStore(int fd) : fd_(fd) {}
  bool Write(std::int64_t lba, ConstBytes data) override;
  bool Read(std::int64_t lba, Bytes out) override;
  bool Discard() override;
  std::int64_t ExtentBlocks() override;
  void set_fd(int fd) { fd_ = fd; }

 private:
  int fd_;
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
