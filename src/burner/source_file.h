#pragma once
// Reading a source file's data for an image or a burn, and the job texts
// that name a file. A source is read as it was when it was added: a file
// that vanished, cannot be read, or is shorter or longer than its recorded
// size ends the job with an error naming it, rather than leaving stale or
// missing bytes in the image.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace burner {

namespace msg {
constexpr const char* kCantOpenFile = "CAN'T OPEN FILE \"%s\" OR FILE IS IN USES BY OTHER SOFTWARE";
constexpr const char* kFileChanged = "FILE \"%s\" HAS CHANGED SINCE IT WAS ADDED";
constexpr const char* kCantReadFile = "CAN'T READ FILE \"%s\"";
constexpr const char* kCantCreateFile = "CAN'T CREATE FILE \"%s\"";
constexpr const char* kCantWriteFile = "CAN'T WRITE FILE \"%s\"";
constexpr const char* kInternalError0005 = "INTERNAL ERROR 0005";
}  // namespace msg

// Text with %s replaced by Path (shown as valid UTF-8) and, when Error is
// not 0, " [" + the system's reason in upper case + "]" appended.
std::string FileMessage(const char* Format, std::string_view Path, int Error = 0);

// Writes all of Data at the file's position; false (errno set) when the
// system took less, such as on a full disk.
bool WriteAll(int Fd, const void* Data, size_t Count);

class TSourceFile {
 public:
  TSourceFile() = default;
  ~TSourceFile() { Close(); }
  TSourceFile(const TSourceFile&) = delete;
  TSourceFile& operator=(const TSourceFile&) = delete;

  // Opens Path for reading (others may read and write it meanwhile) and
  // checks that it still is a regular file of ExpectedSize bytes.
  bool Open(const std::string& Path, int64_t ExpectedSize, std::string& Error);
  // Reads exactly Count bytes; false with Error when the file ends first
  // or a read fails.
  bool Read(void* Out, size_t Count, std::string& Error);
  // After the recorded size has been read: the file has not grown since.
  bool AtEnd(std::string& Error);
  void Close();

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace burner
