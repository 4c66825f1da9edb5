// Saving the laid-out compilation as an image file: the threaded save (the
// read-ahead cache and the writer thread in image-file mode) and the quick
// save (everything on the calling thread).

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "burner/cd_burner.h"
#include "burner/source_file.h"
#include "recording/job_state.h"

namespace {

namespace msg = burner::msg;

// The header, then the files' data written directly. A failure is the
// save's error text; empty on success.
std::string QuickSave(TzqCDBurner& Component, const std::string& FileName) {
  Component.JobFailure = TJobFailure{};
  Component.JobPhase = TJobPhase::Writing;
  const bool own = Component.ImageFd < 0;
  const int fd = own ? ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                     : Component.ImageFd;
  if (fd < 0) return burner::FileMessage(msg::kCantCreateFile, FileName);
  std::string error;
  const auto header = Component.HeaderStream.Bytes();
  if (!burner::WriteAll(fd, header.data(), header.size()))
    error = burner::FileMessage(msg::kCantWriteFile, FileName, errno);
  if (error.empty()) error = Component.WriteImageData(fd, FileName);
  if (own && ::close(fd) != 0 && error.empty())
    error = burner::FileMessage(msg::kCantWriteFile, FileName, errno);
  return error;
}

}  // namespace

bool TzqCDBurner::SaveISO(const std::string& FileName, bool QuickSave) {
  // One job at a time: a save started while another job runs would share
  // its state.
  if (recording::JobRunning()) return false;
  if (QuickSave) {
    // Reported like every other save, so that a failure is never mistaken
    // for success and the caller always hears the end.
    recording::RaiseWriteDone(*this, ::QuickSave(*this, FileName));
    return true;
  }
  ISOFileName = FileName;
  if (recording::StartCache(*this)) StartWriteThread(true);
  return true;
}
