// Writing the files' data of an image directly, on the calling thread: the
// quick save appends it to the image file after the header.

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "burner/burner_messages.h"
#include "burner/cd_burner.h"
#include "burner/source_file.h"

namespace {

constexpr size_t kChunkBytes = 131072;

}  // namespace

std::string TzqCDBurner::WriteImageData(int ImageFd, const std::string& ImageName) {
  namespace msg = burner::msg;
  std::vector<uint8_t> chunk(kChunkBytes);
  burner::TSourceFile source;
  std::string error;
  for (PFileEntry f : FileTable()) {
    // The layout placed exactly these: new files with data. Imported files
    // already lie on the disc and have no source.
    if (IsFolderEntry(f) || f->Imported != 0 || f->Size <= 0) continue;
    if (f->SourcePath.empty()) return burner::FileMessage(msg::kCantOpenFile, f->LongName);
    if (!source.Open(f->SourcePath, f->Size, error)) return error;

    const off_t position = lseek(ImageFd, 0, SEEK_CUR);
    const int64_t actual = position < 0 ? -1 : position / kSectorSize;
    const int64_t expected = static_cast<int64_t>(f->JolietSector) + FirstFileSector;
    if (actual != expected)
      DebugMsg(std::string(msg::kProgressPrefix) + msg::kInternalError0004 + " " + f->SourcePath +
                   " " + std::to_string(expected) + "<>" + std::to_string(actual),
               msg::kTypeOperation);

    int64_t remaining = f->Size;
    while (remaining > 0) {
      const size_t piece = static_cast<size_t>(std::min<int64_t>(remaining, kChunkBytes));
      if (!source.Read(chunk.data(), piece, error)) return error;
      const auto rounded = static_cast<size_t>(RoundUpToSector(static_cast<int64_t>(piece)));
      std::memset(chunk.data() + piece, 0, rounded - piece);
      if (!burner::WriteAll(ImageFd, chunk.data(), rounded))
        return burner::FileMessage(msg::kCantWriteFile, ImageName, errno);
      remaining -= static_cast<int64_t>(piece);
    }
    if (!source.AtEnd(error)) return error;
    source.Close();
  }
  return std::string();
}
