#include "jobs/save_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "burner/burner_messages.h"
#include "burner/source_file.h"
#include "jobs/compilation.h"
#include "platform/utf8.h"
#include "recording/job_state.h"

namespace jobs {
namespace {

constexpr const char* kStandardOutputName = "(standard output)";

std::string Shown(const std::string& Text) {
  return platform::SanitizeUtf8(Text);
}

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// Whether the file at Target is one of the compilation's sources: an image
// written over its own source would destroy the data it copies.
bool IsSource(const TzqCDBurner& Burner, const struct stat& Target) {
  for (PFileEntry e : Burner.FileTable()) {
    if (e->SourcePath.empty() || IsFolderEntry(e) || e->Imported != 0) continue;
    struct stat source {};
    if (::stat(e->SourcePath.c_str(), &source) == 0 && source.st_dev == Target.st_dev &&
        source.st_ino == Target.st_ino)
      return true;
  }
  return false;
}

}  // namespace

std::optional<Refusal> CheckImageOutput(const TzqCDBurner& Burner, const std::string& Output,
                                        bool Force, SaveImagePlan& Plan) {
  if (Output == kStandardOutput) {
    if (::isatty(STDOUT_FILENO))
      return Refuse(Category::Input, "output-is-terminal",
                    "standard output is a terminal: an image is written to standard output only "
                    "when it goes to a file or a pipe");
    Plan.Output = Output;
    Plan.ToStandardOutput = true;
    return std::nullopt;
  }
  if (Output.empty()) return Refuse(Category::Input, "no-output", "no image file was named");
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::absolute(Output, ec).lexically_normal();
  Plan.Output = path.string();
  const std::string folder = path.parent_path().string();
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return Refuse(Category::Input, "no-such-folder",
                  Shown(folder) + ": no such folder for the image file");
  struct stat link {};
  if (path.filename().empty() || ::lstat(Plan.Output.c_str(), &link) != 0) return std::nullopt;
  // Something is there (a dangling link too).
  const bool target = ::stat(Plan.Output.c_str(), &st) == 0;
  if (target && S_ISDIR(st.st_mode))
    return Refuse(Category::Input, "output-is-folder", Shown(Plan.Output) + " is a folder");
  if (target && IsSource(Burner, st))
    return Refuse(Category::Input, "output-is-source",
                  Shown(Plan.Output) + " is one of the files to be saved");
  if (!Force)
    return Refuse(Category::Input, "output-exists", Shown(Plan.Output) + " already exists");
  if (S_ISLNK(link.st_mode) || S_ISREG(link.st_mode)) {
    Plan.Replaces = true;
  } else if (S_ISCHR(link.st_mode) || S_ISBLK(link.st_mode) || S_ISFIFO(link.st_mode)) {
    Plan.InPlace = true;
  } else {
    return Refuse(Category::Input, "output-not-a-file",
                  Shown(Plan.Output) + " is neither a file nor a device");
  }
  return std::nullopt;
}

Planned<SaveImagePlan> PlanSaveImage(TzqCDBurner& Burner, const SaveImageRequest& Request) {
  using P = Planned<SaveImagePlan>;
  P out;
  SaveImagePlan& plan = out.Value;
  plan.Quick = Request.Quick;
  plan.ClearArchive = Request.ClearArchive;
  if (auto r = CheckNotEmpty(Burner)) return P::No(*r);
  if (auto r = CheckVolume(Burner.IdVolume, Burner.JolietFileSystem, plan.Warnings))
    return P::No(*r);
  if (auto r = CheckImageOutput(Burner, Request.Output, Request.Force, plan)) return P::No(*r);
  if (auto r = CheckOmissions(Burner, Request.SkipUnadded)) return P::No(*r);
  plan.Omitted = Burner.Omissions();
  if (auto r = LayOut(Burner, true)) return P::No(*r);
  plan.Sectors = Burner.ImageSectors();
  return out;
}

ImageSave::ImageSave(TzqCDBurner& Burner, SaveImagePlan Plan)
    : burner_(Burner), plan_(std::move(Plan)) {}

ImageSave::~ImageSave() {
  if (fd_ >= 0 && !plan_.ToStandardOutput) ::close(fd_);
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool ImageSave::Start() {
  if (recording::JobRunning()) return false;
  std::string name = plan_.Output;
  std::string error;
  if (plan_.ToStandardOutput) {
    name = kStandardOutputName;
    fd_ = STDOUT_FILENO;
  } else if (plan_.InPlace) {
    fd_ = ::open(plan_.Output.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  } else {
    // Beside the output, so that putting it in place is one rename; the
    // output's name ties it to the job that left it, should one be left.
    const std::filesystem::path path(plan_.Output);
    std::string pattern =
        (path.parent_path() / ("." + path.filename().string() + ".tidemark-XXXXXX")).string();
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ >= 0) {
      temporary_ = pattern;
      // The mode of the file it replaces, or what a new file gets.
      struct stat old {};
      const mode_t mode = plan_.Replaces && ::stat(plan_.Output.c_str(), &old) == 0
                              ? (old.st_mode & 07777)
                              : (0666 & ~CurrentUmask());
      ::fchmod(fd_, mode);
    }
  }
  burner_.ImageFd = fd_;
  if (fd_ < 0) {
    burner_.ImageFd = -1;
    recording::RaiseWriteDone(burner_, burner::FileMessage(burner::msg::kCantCreateFile, name));
    return true;
  }
  return burner_.SaveISO(name, plan_.Quick);
}

Outcome ImageSave::Finish(const std::string& Error) {
  burner_.ImageFd = -1;
  std::string error = Error;
  if (fd_ >= 0 && !plan_.ToStandardOutput) {
    // A write the file system deferred shows here.
    if (::close(fd_) != 0 && error.empty())
      error = burner::FileMessage(burner::msg::kCantWriteFile, plan_.Output, errno);
  }
  fd_ = -1;
  if (error.empty() && !temporary_.empty()) {
    if (::rename(temporary_.c_str(), plan_.Output.c_str()) != 0)
      error = burner::FileMessage(burner::msg::kCantWriteFile, plan_.Output, errno);
    else
      temporary_.clear();
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  if (error.empty() && plan_.ClearArchive) burner_.ClearArchiveBits();
  return WriteOutcome(burner_, error, false);
}

}  // namespace jobs
