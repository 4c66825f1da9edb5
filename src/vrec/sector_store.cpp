#include "vrec/sector_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vrec {

namespace {

constexpr std::uint64_t kRunBits = 42;
constexpr std::uint64_t kRunMask = (std::uint64_t{1} << kRunBits) - 1;
constexpr std::uint64_t kCountMask = 0x3FF;
constexpr unsigned kFirstShift = 10;

std::uint64_t RunCheck(std::uint64_t low) {
  std::uint64_t h = (low + 0x9E3779B97F4A7C15u) * 0xBF58476D1CE4E5B9u;
  h ^= h >> 31;
  return h >> kRunBits;
}

}  // namespace

std::uint64_t EncodeStagedRun(StagedRun run) {
  if (run.count == 0) return 0;
  std::uint64_t low =
      std::uint64_t{run.count} | (static_cast<std::uint64_t>(run.first) << kFirstShift);
  return low | (RunCheck(low) << kRunBits);
}

bool DecodeStagedRun(std::uint64_t word, StagedRun* run) {
  *run = {};
  if (word == 0) return true;
  std::uint64_t low = word & kRunMask;
  if ((word >> kRunBits) != RunCheck(low)) return false;
  auto count = static_cast<std::uint32_t>(low & kCountMask);
  auto first = static_cast<std::int64_t>(low >> kFirstShift);
  auto window = static_cast<std::int64_t>(kStagingBlocks);
  if (count == 0 || count > kStagingBlocks || first % window + count > window ||
      first + count > kStagingBlockLimit) {
    return false;
  }
  *run = {first, count};
  return true;
}

bool FileSectorStore::WriteFile(std::int64_t lba, ConstBytes data) {
  auto off = static_cast<off_t>(lba) * static_cast<off_t>(kBlockSize);
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = pwrite(fd_, data.data() + done, data.size() - done, off + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool FileSectorStore::Staged(StagedRun* run) const {
  if (staging_ == nullptr) {
    *run = {};
    return true;
  }
  return DecodeStagedRun(
      __atomic_load_n(reinterpret_cast<std::uint64_t*>(staging_), __ATOMIC_ACQUIRE), run);
}

void FileSectorStore::SetStaged(StagedRun run) {
  // One aligned store: a process killed at any point leaves the old run or the new one.
  __atomic_store_n(reinterpret_cast<std::uint64_t*>(staging_), EncodeStagedRun(run),
                   __ATOMIC_RELEASE);
}

bool FileSectorStore::Flush() {
  StagedRun run;
  if (!Staged(&run)) return false;
  if (run.count == 0) return true;
  const std::uint8_t* at = staging_ + kStagingHeaderSize +
                           static_cast<std::size_t>(run.first % kStagingBlocks) * kBlockSize;
  if (!WriteFile(run.first, ConstBytes(at, std::size_t{run.count} * kBlockSize))) return false;
  SetStaged({});
  return true;
}

bool FileSectorStore::Write(std::int64_t lba, ConstBytes data) {
  if (lba < 0) return false;
  if (staging_ == nullptr) return WriteFile(lba, data);
  StagedRun run;
  if (!Staged(&run)) return false;
  if (data.size() % kBlockSize != 0) return Flush() && WriteFile(lba, data);
  const std::size_t blocks = data.size() / kBlockSize;
  std::size_t done = 0;
  while (done < blocks) {
    const std::int64_t at = lba + static_cast<std::int64_t>(done);
    const auto place = static_cast<std::size_t>(at % kStagingBlocks);
    const std::size_t n = std::min(kStagingBlocks - place, blocks - done);
    ConstBytes piece = data.subspan(done * kBlockSize, n * kBlockSize);
    done += n;
    if (run.count > 0 && at != run.first + run.count) {  // does not follow on
      if (!Flush()) return false;
      run = {};
    }
    if (at + static_cast<std::int64_t>(n) > kStagingBlockLimit ||
        (run.count == 0 && n == kStagingBlocks)) {
      if (!WriteFile(at, piece)) return false;  // a whole window, or past the limit
      continue;
    }
    if (run.count == 0) run.first = at;
    std::memcpy(staging_ + kStagingHeaderSize + place * kBlockSize, piece.data(), piece.size());
    run.count += static_cast<std::uint32_t>(n);
    SetStaged(run);
    if (place + n == kStagingBlocks) {  // the window is full
      if (!Flush()) return false;
      run = {};
    }
  }
  return true;
}

bool FileSectorStore::Read(std::int64_t lba, Bytes out) {
  if (lba < 0 || !Flush()) return false;
  auto off = static_cast<off_t>(lba) * static_cast<off_t>(kBlockSize);
  std::size_t done = 0;
  while (done < out.size()) {
    ssize_t n = pread(fd_, out.data() + done, out.size() - done, off + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {  // past the end of the sparse file: never written
      std::memset(out.data() + done, 0, out.size() - done);
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool FileSectorStore::Discard() {
  if (staging_ != nullptr) SetStaged({});
  return ftruncate(fd_, 0) == 0;
}

std::int64_t FileSectorStore::ExtentBlocks() {
  StagedRun run;
  std::int64_t staged_end = Staged(&run) ? run.first + run.count : 0;
  if (run.count > 0 && Flush()) staged_end = 0;
  struct stat st {};
  if (fstat(fd_, &st) != 0) return staged_end;
  return std::max(staged_end, (static_cast<std::int64_t>(st.st_size) +
                               static_cast<std::int64_t>(kBlockSize) - 1) /
                                  static_cast<std::int64_t>(kBlockSize));
}

bool MemorySectorStore::Write(std::int64_t lba, ConstBytes data) {
  if (lba < 0) return false;
  for (std::size_t i = 0; i * kBlockSize < data.size(); ++i) {
    auto key = lba + static_cast<std::int64_t>(i);
    auto it = blocks_.find(key);
    if (it == blocks_.end()) {
      if (blocks_.size() >= max_blocks_) return false;
      it = blocks_.emplace(key, std::vector<std::uint8_t>(kBlockSize)).first;
    }
    std::size_t n = std::min(kBlockSize, data.size() - i * kBlockSize);
    std::memcpy(it->second.data(), data.data() + i * kBlockSize, n);
  }
  return true;
}

bool MemorySectorStore::Read(std::int64_t lba, Bytes out) {
  if (lba < 0) return false;
  for (std::size_t i = 0; i * kBlockSize < out.size(); ++i) {
    std::size_t n = std::min(kBlockSize, out.size() - i * kBlockSize);
    auto it = blocks_.find(lba + static_cast<std::int64_t>(i));
    if (it == blocks_.end()) {
      std::memset(out.data() + i * kBlockSize, 0, n);
    } else {
      std::memcpy(out.data() + i * kBlockSize, it->second.data(), n);
    }
  }
  return true;
}

}  // namespace vrec
