#pragma once
// TCacheThread: the read-ahead cache of a compilation job. It reads the
// whole session ahead of the writer: HeaderStream first, then the data of
// every new file in FileTable order (each rounded up to whole sectors, the
// rest of its last sector zero), then, on request, zero sectors up to the
// 300-sector minimum. The data travels in blocks of at most 31 sectors
// through a bounded queue; the writer takes them one by one. Small files
// are packed back to back, so that the writer gets close to 31 sectors per
// write whatever the file sizes.
//
// The cache is the only place where source files are opened during a job,
// and it carries the job's error text: a failure on either side ends up
// in ErrorText, which the writer reports when the job ends.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "burner/compilation.h"
#include "burner/header_stream.h"
#include "recording/cache_block.h"
#include "recording/thread_priority.h"

namespace recording {

class TCacheThread {
 public:
  // The session is 614,400 bytes (300 sectors) at least when padded.
  static constexpr int64_t kMinimumBytes = 614400;

  // Starts reading at once. TotalBytes is the session's length as laid out
  // (SessionSectors x 2048, without the minimum). Files are the entries of
  // FileTable; the cache reads those the layout placed (files with data
  // that are not imported). Header is emptied once it has been queued.
  TCacheThread(int32_t CacheSize, bool PadToMinimum, int64_t TotalBytes, THeaderStream& Header,
               std::vector<PFileEntry> Files);
  // Stops the thread, waits for it and frees every block still queued.
  virtual ~TCacheThread();
  TCacheThread(const TCacheThread&) = delete;
  TCacheThread& operator=(const TCacheThread&) = delete;

  // The oldest block's bytes copied into Buffer (at least 63,488 bytes)
  // and the block freed: its count. -1: nothing queued yet, ask again.
  // 0: the end of the data, or the cache stopped.
  int32_t GetBlock(uint8_t* Buffer);
  // The same without the copy: the block itself, to be given back with
  // ReturnBlock once written. Block is empty unless the result is > 0.
  int32_t TakeBlock(std::unique_ptr<TCacheBlock>& Block);
  void ReturnBlock(std::unique_ptr<TCacheBlock> Block);
  // Every queued block up to Max at once (appended to Blocks, oldest
  // first): their byte count, or -1 / 0 as TakeBlock. An image file takes
  // them with one write.
  int64_t TakeBlocks(std::vector<std::unique_ptr<TCacheBlock>>& Blocks, size_t Max);
  // Waits at most Timeout until Count blocks are queued (or the data has
  // ended, or the cache stopped). A writer that takes blocks in batches
  // asks for several, so that it is woken once per batch instead of once
  // per block and the reader can run ahead meanwhile.
  void WaitForBlock(std::chrono::milliseconds Timeout, size_t Count = 1);

  // The thread ends at its next check; queued blocks are dropped and every
  // later GetBlock gives 0. ErrorText becomes "OPERATION ABORTED BY USER"
  // unless it holds a message already.
  void RequestStop();

  bool Primed() const { return primed_.load(); }
  // Waits at most Timeout until the cache is primed, fails or ends; Primed.
  bool WaitPrimed(std::chrono::milliseconds Timeout);
  bool Finished() const { return finished_.load(); }
  bool HasError() const { return has_error_.load(); }
  std::string ErrorText() const;
  // The writer records its own failure here (replacing the cache's text).
  void SetErrorText(const std::string& Text);
  int64_t CachedBytes() const { return cached_bytes_.load(); }
  int64_t PendingBytes() const { return pending_bytes_.load(); }
  int32_t MaxBlocks() const { return max_blocks_; }
  size_t QueuedBlocks() const;
  int32_t CacheSize() const { return cache_size_; }

 private:
  void Execute();
  // The steps of Execute; false when the thread must end (stop or error).
  bool QueueHeader();
  bool QueueFiles();
  void QueuePadding();

  std::unique_ptr<TCacheBlock> NewBlock();
  // Appends a filled block; the queue may then hold MaxBlocks - 1.
  void Push(std::unique_ptr<TCacheBlock> Block);
  // Waits while the queue is full, and then until it has room for several
  // blocks; false when a stop was requested.
  bool WaitForRoom();
  // The reader waits for room and the queue is down to where it refills
  // (lock_ held).
  bool RoomWanted() const { return room_wanted_ && queue_.size() <= refill_at_; }
  void Fail(const std::string& Text);
  bool StopSeen() const { return stop_requested_.load(); }
  // The thread's end after a stop: the queue emptied.
  void DropQueue();
  void AdjustPriority(size_t Queued);

  const int32_t cache_size_;
  const int32_t max_blocks_;
  const size_t refill_at_;  // a full queue is topped up from this many blocks on
  const bool pad_to_minimum_;
  const int64_t total_bytes_;
  THeaderStream& header_;
  const std::vector<PFileEntry> files_;

  mutable std::mutex lock_;       // the queue, the spare blocks and the error text
  std::condition_variable room_;  // the writer took a block
  std::condition_variable data_;  // a block was queued, or the data ended
  std::deque<std::unique_ptr<TCacheBlock>> queue_;
  std::vector<std::unique_ptr<TCacheBlock>> spare_;  // blocks to fill again
  std::string error_text_;
  size_t wanted_ = 1;         // blocks the waiting consumer asked for
  bool room_wanted_ = false;  // the reader waits for the queue to go down

  std::atomic<bool> primed_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> stop_requested_{false};
  std::atomic<bool> has_error_{false};
  std::atomic<int64_t> cached_bytes_{0};
  std::atomic<int64_t> pending_bytes_{0};
  int64_t produced_bytes_ = 0;            // the thread's own count, for the final check
  TPriorityControl* priority_ = nullptr;  // the thread's own, while it runs

  std::thread thread_;
};

}  // namespace recording
