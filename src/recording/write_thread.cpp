#include "recording/write_thread.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "burner/cd_burner.h"
#include "burner/source_file.h"
#include "device/device_texts.h"
#include "recording/cache_thread.h"
#include "recording/disc_writer.h"
#include "recording/job_state.h"
#include "recording/recording_messages.h"
#include "recording/thread_priority.h"

namespace recording {
namespace {

namespace bmsg = burner::msg;

// The longest wait for the cache between two looks at the abort flag
// (the writer is woken as soon as the blocks are there).
constexpr auto kBlockWait = std::chrono::milliseconds(5);
// An idle writer is woken once two blocks are queued: half the wake-ups of
// one per block, while the blocks it copies from are still in the
// processor's cache (woken for many more, it reads them back from memory
// and takes far longer).
constexpr size_t kWakeBlocks = 2;

// Blocks taken for one write of the image file at most (about 1 MiB).
constexpr size_t kBlocksPerWrite = 16;

// Writes every piece; false (errno set) when the system took less.
bool WriteAllV(int Fd, std::vector<iovec>& Pieces) {
  size_t first = 0;
  while (first < Pieces.size()) {
    const ssize_t n = ::writev(Fd, Pieces.data() + first, static_cast<int>(Pieces.size() - first));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    auto left = static_cast<size_t>(n);
    while (first < Pieces.size() && left >= Pieces[first].iov_len) left -= Pieces[first++].iov_len;
    if (first < Pieces.size()) {
      Pieces[first].iov_base = static_cast<uint8_t*>(Pieces[first].iov_base) + left;
      Pieces[first].iov_len -= left;
    }
  }
  return true;
}

}  // namespace

void TThWrite::Resume() {
  std::thread([this] {
    Execute();
    delete this;
  }).detach();
}

void TThWrite::Execute() {
  TPriorityControl priority(TThreadPriority::TimeCritical);
  BeginJob(component_);
  if (TCacheThread* cache = CurrentCache()) {
    try {
      if (ToImageFile)
        WriteImageFile(*cache);
      else
        TDiscWriter(component_, *cache, TDiscSource::Compilation, component_.ImageSectors()).Run();
    } catch (const std::exception& e) {
      // Nothing leaves the thread: the failure is the job's error.
      cache->SetErrorText(std::string(msg::kWriterError) + " [" + e.what() + "]");
      cache->RequestStop();
    }
  }
  EndJob(component_);
}

void TThWrite::WriteImageFile(TCacheThread& Cache) {
  const std::string& name = component_.ISOFileName;
  component_.JobPhase = TJobPhase::Writing;
  // A descriptor the caller opened is written and left open for it.
  const bool own = component_.ImageFd < 0;
  const int fd = own ? ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                     : component_.ImageFd;
  if (fd < 0) {
    Cache.SetErrorText(burner::FileMessage(bmsg::kCantCreateFile, name));
    Cache.RequestStop();
    return;
  }
  // The blocks queued when the writer looks are written with one call:
  // the file system takes large writes much faster than many small ones.
  // The abort flag is still seen between blocks, never inside one.
  std::vector<std::unique_ptr<TCacheBlock>> blocks;
  std::vector<iovec> pieces;
  for (;;) {
    if (AbortRequested()) {
      Cache.SetErrorText(std::string(texts::kAborted));
      Cache.RequestStop();
      break;
    }
    blocks.clear();
    const int64_t n = Cache.TakeBlocks(blocks, kBlocksPerWrite);
    if (Cache.HasError()) break;
    if (n < 0) {
      Cache.WaitForBlock(kBlockWait, kWakeBlocks);
      continue;
    }
    if (n == 0) break;
    pieces.clear();
    for (const auto& b : blocks) pieces.push_back({b->Data.data(), static_cast<size_t>(b->Count)});
    if (!WriteAllV(fd, pieces)) {
      // A full disk or a failing device: the image would be short.
      Cache.SetErrorText(burner::FileMessage(bmsg::kCantWriteFile, name, errno));
      Cache.RequestStop();
      break;
    }
    component_.BytesWritten += n;
    for (auto& b : blocks) Cache.ReturnBlock(std::move(b));
  }
  // Some file systems report a failed write only when the file is closed
  // (the owner of a descriptor given to the save closes it and checks).
  if (own && ::close(fd) != 0 && !Cache.HasError())
    Cache.SetErrorText(burner::FileMessage(bmsg::kCantWriteFile, name, errno));
}

}  // namespace recording

bool TzqCDBurner::StartWriteThread(bool ToImageFile) {
  recording::MarkJobRunning();
  auto* writer = new recording::TThWrite(*this);
  writer->ToImageFile = ToImageFile;
  writer->Resume();
  return true;
}
