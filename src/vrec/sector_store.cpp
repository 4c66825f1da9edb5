#include "vrec/sector_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vrec {

bool FileSectorStore::Write(std::int64_t lba, ConstBytes data) {
  if (lba < 0) return false;
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

bool FileSectorStore::Read(std::int64_t lba, Bytes out) {
  if (lba < 0) return false;
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
  return ftruncate(fd_, 0) == 0;
}

std::int64_t FileSectorStore::ExtentBlocks() {
  struct stat st {};
  if (fstat(fd_, &st) != 0) return 0;
  return (static_cast<std::int64_t>(st.st_size) + static_cast<std::int64_t>(kBlockSize) - 1) /
         static_cast<std::int64_t>(kBlockSize);
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
