// BurnISO: an image file written to an empty disc, byte for byte from
// sector 0.

#include "recording/iso_burner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <memory>
#include <thread>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "burner/source_file.h"
#include "recording/disc_writer.h"
#include "recording/job_state.h"
#include "recording/recording_messages.h"
#include "recording/thread_priority.h"

namespace recording {

detail::TImageSource::TImageSource(const std::string& FileName, int64_t FileSize) {
  Entry.SourcePath = FileName;
  Entry.LongName = FileName;
  Entry.Size = FileSize;
}

TISOBurnerThread::TISOBurnerThread(int32_t CacheSize, int64_t FileSize, const std::string& FileName)
    : detail::TImageSource(FileName, FileSize),
      TCacheThread(CacheSize, false, RoundUpToSector(FileSize), Header, {&Entry}) {}

void TISOWrite::Resume() {
  std::thread([this] {
    Execute();
    delete this;
  }).detach();
}

void TISOWrite::Execute() {
  TPriorityControl priority(TThreadPriority::TimeCritical);
  BeginJob(component_);
  if (TCacheThread* reader = CurrentCache()) {
    try {
      const int64_t sectors = reader->PendingBytes() / kSectorBytes;
      TDiscWriter(component_, *reader, TDiscSource::Image, sectors).Run();
    } catch (const std::exception& e) {
      reader->SetErrorText(std::string(msg::kWriterError) + " [" + e.what() + "]");
      reader->RequestStop();
    }
  }
  EndJob(component_, TJobEnd::ReportThenDispose);
}

}  // namespace recording

bool TzqCDBurner::BurnISO(const std::string& FileName) {
  if (recording::JobRunning() || Erasing()) return false;
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  const bool opened = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (fd >= 0) ::close(fd);
  if (!opened) {
    recording::RaiseWriteDone(*this, burner::FileMessage(burner::msg::kCantOpenFile, FileName));
    return false;
  }
  if (st.st_size == 0) {
    recording::RaiseWriteDone(*this, burner::FileMessage(recording::msg::kEmptyImage, FileName));
    return false;
  }
  // Progress is measured against the file's whole sectors.
  SessionSectors = st.st_size / kSectorSize;
  recording::ClearAbortRequest();
  if (!recording::StartReader(
          *this, std::make_unique<recording::TISOBurnerThread>(CacheSize(), st.st_size, FileName)))
    return false;
  recording::MarkJobRunning();
  (new recording::TISOWrite(*this))->Resume();
  return true;
}
