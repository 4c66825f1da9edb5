#include "recording/cache_thread.h"

#include <algorithm>
#include <cstring>

#include "burner/source_file.h"
#include "device/device_texts.h"

namespace recording {
namespace {

namespace msg = burner::msg;

// Bounds of the waits: every wait is woken by the other side as soon as
// something changes; the bound only keeps a missed wake-up from stalling.
constexpr auto kRoomWait = std::chrono::milliseconds(100);

int32_t RoundUpToSector(int32_t Bytes) {
  return (Bytes + kSectorBytes - 1) / kSectorBytes * kSectorBytes;
}

// The entries whose data the layout placed in the session.
std::vector<PFileEntry> PlacedFiles(std::vector<PFileEntry> Files) {
  std::erase_if(Files, [](PFileEntry f) {
    return f == nullptr || IsFolderEntry(f) || f->Imported != 0 || f->Size <= 0;
  });
  return Files;
}

}  // namespace

TCacheThread::TCacheThread(int32_t CacheSize, bool PadToMinimum, int64_t TotalBytes,
                           THeaderStream& Header, std::vector<PFileEntry> Files)
    : cache_size_(CacheSize),
      max_blocks_(std::max(CacheSize / kBlockBudget, 2)),
      refill_at_(static_cast<size_t>(std::min(max_blocks_ - 2, max_blocks_ * 3 / 4))),
      pad_to_minimum_(PadToMinimum && TotalBytes < kMinimumBytes),
      total_bytes_(TotalBytes),
      header_(Header),
      files_(PlacedFiles(std::move(Files))) {
  pending_bytes_ = TotalBytes;
  thread_ = std::thread([this] { Execute(); });
}

TCacheThread::~TCacheThread() {
  stop_requested_ = true;
  room_.notify_all();
  data_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TCacheThread::Execute() {
  TPriorityControl priority(TThreadPriority::BelowNormal);
  priority_ = &priority;
  if (QueueHeader() && QueueFiles()) {
    // The layout sized the session to hold the header and the rounded
    // files exactly; anything else would leave the writer short of data or
    // give it bytes the layout did not place.
    if (produced_bytes_ != total_bytes_)
      Fail(msg::kInternalError0005);
    else
      QueuePadding();
  }
  if (StopSeen()) DropQueue();
  if (!HasError()) primed_ = true;
  finished_ = true;
  priority_ = nullptr;
  std::lock_guard<std::mutex> guard(lock_);
  data_.notify_all();
}

bool TCacheThread::QueueHeader() {
  header_.Seek(0);
  int64_t remaining = header_.Size();
  while (remaining > 0) {
    if (StopSeen()) return false;
    std::unique_ptr<TCacheBlock> block = NewBlock();
    const auto piece = static_cast<int32_t>(std::min<int64_t>(remaining, kCacheBlockBytes));
    block->Count =
        static_cast<int32_t>(header_.Read(block->Data.data(), static_cast<size_t>(piece)));
    cached_bytes_ += block->Count;
    produced_bytes_ += block->Count;
    remaining -= piece;
    Push(std::move(block));
    if (!WaitForRoom()) return false;
  }
  // Its memory goes back now; a later job needs a new layout.
  header_.Clear();
  return WaitForRoom();
}

bool TCacheThread::QueueFiles() {
  std::unique_ptr<TCacheBlock> staging;
  int32_t fill = 0;
  burner::TSourceFile source;
  std::string error;
  for (PFileEntry f : files_) {
    if (f->SourcePath.empty()) {
      Fail(burner::FileMessage(msg::kCantOpenFile, f->LongName));
      return false;
    }
    if (!source.Open(f->SourcePath, f->Size, error)) {
      Fail(error);
      return false;
    }
    int64_t remaining = f->Size;
    while (remaining > 0) {
      if (!staging) {
        staging = NewBlock();
        fill = 0;
      }
      const auto piece =
          static_cast<int32_t>(std::min<int64_t>(kCacheBlockBytes - fill, remaining));
      uint8_t* at = staging->Data.data() + fill;
      if (!source.Read(at, static_cast<size_t>(piece), error)) {
        Fail(error);
        return false;
      }
      // The rest of the file's last sector: zeros, so that one compilation
      // always gives the same bytes.
      const int32_t rounded = RoundUpToSector(piece);
      std::memset(at + piece, 0, static_cast<size_t>(rounded - piece));
      fill += rounded;
      cached_bytes_ += rounded;
      produced_bytes_ += rounded;
      remaining -= piece;
      if (remaining == 0 && !source.AtEnd(error)) {
        Fail(error);
        return false;
      }
      if (StopSeen()) return false;
      if (fill == kCacheBlockBytes) {
        staging->Count = fill;
        Push(std::move(staging));
      }
      AdjustPriority(QueuedBlocks());
      if (!WaitForRoom()) return false;
    }
    source.Close();
  }
  if (staging && fill > 0) {
    staging->Count = fill;
    Push(std::move(staging));
  }
  return true;
}

void TCacheThread::QueuePadding() {
  if (!pad_to_minimum_) return;
  int64_t padding = kMinimumBytes - total_bytes_;
  pending_bytes_ += padding;
  // At most ten blocks: these may go beyond the queue's limit.
  while (padding > 0) {
    std::unique_ptr<TCacheBlock> block = NewBlock();
    const auto piece = static_cast<int32_t>(std::min<int64_t>(padding, kCacheBlockBytes));
    std::memset(block->Data.data(), 0, static_cast<size_t>(piece));
    block->Count = piece;
    cached_bytes_ += piece;
    padding -= piece;
    Push(std::move(block));
  }
}

std::unique_ptr<TCacheBlock> TCacheThread::NewBlock() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!spare_.empty()) {
      std::unique_ptr<TCacheBlock> block = std::move(spare_.back());
      spare_.pop_back();
      return block;
    }
  }
  return std::make_unique_for_overwrite<TCacheBlock>();
}

void TCacheThread::ReturnBlock(std::unique_ptr<TCacheBlock> Block) {
  if (!Block) return;
  std::lock_guard<std::mutex> guard(lock_);
  if (spare_.size() < static_cast<size_t>(max_blocks_)) spare_.push_back(std::move(Block));
}

void TCacheThread::Push(std::unique_ptr<TCacheBlock> Block) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.push_back(std::move(Block));
    wake = queue_.size() >= wanted_;
  }
  if (wake) data_.notify_one();
}

bool TCacheThread::WaitForRoom() {
  std::unique_lock<std::mutex> lk(lock_);
  const auto full = [this] { return queue_.size() + 1 >= static_cast<size_t>(max_blocks_); };
  if (!full()) return !StopSeen();
  const bool newly_primed = !primed_.exchange(true);
  lk.unlock();
  if (newly_primed) data_.notify_all();
  if (priority_ != nullptr) priority_->Set(TThreadPriority::Idle);
  lk.lock();
  // A full queue is topped up once the writer has taken a quarter of it:
  // the reader is woken once per several blocks, not for every block the
  // writer takes, and the queue never falls below three quarters while the
  // reader keeps up.
  room_wanted_ = true;
  while (queue_.size() > refill_at_ && !StopSeen()) room_.wait_for(lk, kRoomWait);
  room_wanted_ = false;
  const size_t queued = queue_.size();
  lk.unlock();
  AdjustPriority(queued);
  return !StopSeen();
}

void TCacheThread::AdjustPriority(size_t Queued) {
  if (priority_ == nullptr) return;
  const auto max = static_cast<size_t>(max_blocks_);
  if (Queued < max / 4)
    priority_->Set(TThreadPriority::Normal);
  else if (Queued < max / 2)
    priority_->Set(TThreadPriority::BelowNormal);
  else
    priority_->Set(TThreadPriority::Lowest);
}

void TCacheThread::Fail(const std::string& Text) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (error_text_.empty()) error_text_ = Text;
    has_error_ = true;
  }
  data_.notify_all();
}

void TCacheThread::DropQueue() {
  std::lock_guard<std::mutex> guard(lock_);
  queue_.clear();
  if (error_text_.empty()) error_text_ = std::string(texts::kAborted);
  has_error_ = true;
}

int32_t TCacheThread::TakeBlock(std::unique_ptr<TCacheBlock>& Block) {
  Block.reset();
  if (StopSeen()) return 0;
  bool wake = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (queue_.empty()) return finished_ ? 0 : -1;
    Block = std::move(queue_.front());
    queue_.pop_front();
    wake = RoomWanted();
  }
  if (wake) room_.notify_one();
  const int32_t n = Block->Count;
  cached_bytes_ -= n;
  pending_bytes_ -= n;
  return n;
}

int64_t TCacheThread::TakeBlocks(std::vector<std::unique_ptr<TCacheBlock>>& Blocks, size_t Max) {
  if (StopSeen()) return 0;
  int64_t bytes = 0;
  bool wake = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (queue_.empty()) return finished_ ? 0 : -1;
    for (size_t i = 0; i < Max && !queue_.empty(); ++i) {
      bytes += queue_.front()->Count;
      Blocks.push_back(std::move(queue_.front()));
      queue_.pop_front();
    }
    wake = RoomWanted();
  }
  if (wake) room_.notify_one();
  cached_bytes_ -= bytes;
  pending_bytes_ -= bytes;
  return bytes;
}

int32_t TCacheThread::GetBlock(uint8_t* Buffer) {
  std::unique_ptr<TCacheBlock> block;
  const int32_t n = TakeBlock(block);
  if (n > 0) {
    std::memcpy(Buffer, block->Data.data(), static_cast<size_t>(n));
    ReturnBlock(std::move(block));
  }
  return n;
}

void TCacheThread::WaitForBlock(std::chrono::milliseconds Timeout, size_t Count) {
  std::unique_lock<std::mutex> lk(lock_);
  wanted_ = std::clamp<size_t>(Count, 1, static_cast<size_t>(max_blocks_ - 1));
  data_.wait_for(lk, Timeout, [this] {
    return queue_.size() >= wanted_ || finished_ || StopSeen() || has_error_;
  });
  wanted_ = 1;
}

bool TCacheThread::WaitPrimed(std::chrono::milliseconds Timeout) {
  std::unique_lock<std::mutex> lk(lock_);
  data_.wait_for(lk, Timeout, [this] { return primed_ || finished_ || has_error_; });
  return primed_;
}

void TCacheThread::RequestStop() {
  stop_requested_ = true;
  room_.notify_all();
  data_.notify_all();
}

std::string TCacheThread::ErrorText() const {
  std::lock_guard<std::mutex> guard(lock_);
  return error_text_;
}

void TCacheThread::SetErrorText(const std::string& Text) {
  std::lock_guard<std::mutex> guard(lock_);
  error_text_ = Text;
  has_error_ = !Text.empty();
}

size_t TCacheThread::QueuedBlocks() const {
  std::lock_guard<std::mutex> guard(lock_);
  return queue_.size();
}

}  // namespace recording
