#pragma once
// TThWrite: the writer thread of a compilation job. It takes the blocks the
// read-ahead cache queued and sends each, as it is, to the image file
// (image-file mode) or to the recorder (disc mode). It never reads a source
// file itself; it runs at time-critical priority so that a recorder is fed
// without gaps.

#include <cstdint>
#include <string>

class TzqCDBurner;

namespace recording {

class TCacheThread;

class TThWrite {
 public:
  explicit TThWrite(TzqCDBurner& Component) : component_(Component) {}
  TThWrite(const TThWrite&) = delete;
  TThWrite& operator=(const TThWrite&) = delete;

  // True: the image file ISOFileName; false: the disc in the recorder.
  bool ToImageFile = false;

  // Runs the job on a thread of its own. The object frees itself when the
  // thread ends, after the job end has raised OnWriteDone.
  void Resume();

 private:
  ~TThWrite() = default;
  void Execute();
  // Image-file mode: creates the file and appends every block; any
  // failure goes into the cache's error text.
  void WriteImageFile(TCacheThread& Cache);

  TzqCDBurner& component_;
};

}  // namespace recording
