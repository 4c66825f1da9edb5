#include "recording/write_thread.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "burner/cd_burner.h"
#include "burner/source_file.h"
#include "device/device_texts.h"
#include "recording/cache_thread.h"
#include "recording/job_state.h"
#include "recording/thread_priority.h"

namespace recording {
namespace {

namespace msg = burner::msg;

// The longest wait for the cache between two looks at the abort flag.
constexpr auto kBlockWait = std::chrono::milliseconds(1);
// Until the disc writer is in place, a burn has nowhere to write.
constexpr const char* kNoDiscWriter = "WRITER ERROR [NO DISC WRITER]";

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
    if (ToImageFile) {
      WriteImageFile(*cache);
    } else {
      cache->SetErrorText(kNoDiscWriter);
      cache->RequestStop();
    }
  }
  EndJob(component_);
}

void TThWrite::WriteImageFile(TCacheThread& Cache) {
  const std::string& name = component_.ISOFileName;
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    Cache.SetErrorText(burner::FileMessage(msg::kCantCreateFile, name));
    Cache.RequestStop();
    return;
  }
  std::unique_ptr<TCacheBlock> block;
  for (;;) {
    if (AbortRequested()) {
      Cache.SetErrorText(std::string(texts::kAborted));
      Cache.RequestStop();
      break;
    }
    const int32_t n = Cache.TakeBlock(block);
    if (Cache.HasError()) break;
    if (n < 0) {
      Cache.WaitForBlock(kBlockWait);
      continue;
    }
    if (n == 0) break;
    if (!burner::WriteAll(fd, block->Data.data(), static_cast<size_t>(n))) {
      // A full disk or a failing device: the image would be short.
      Cache.SetErrorText(burner::FileMessage(msg::kCantWriteFile, name, errno));
      Cache.RequestStop();
      break;
    }
    component_.BytesWritten += n;
    Cache.ReturnBlock(std::move(block));
  }
  // Some file systems report a failed write only when the file is closed.
  if (::close(fd) != 0 && !Cache.HasError())
    Cache.SetErrorText(burner::FileMessage(msg::kCantWriteFile, name, errno));
}

}  // namespace recording

bool TzqCDBurner::StartWriteThread(bool ToImageFile) {
  recording::MarkJobRunning();
  auto* writer = new recording::TThWrite(*this);
  writer->ToImageFile = ToImageFile;
  writer->Resume();
  return true;
}
