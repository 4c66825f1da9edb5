#pragma once
// Burning an existing image file: TISOBurnerThread reads the file ahead in
// blocks as the read-ahead cache reads a compilation (it is that cache,
// given the file as the one entry of an otherwise empty session), and
// TISOWrite writes them to an empty disc from sector 0.

#include <cstdint>
#include <string>

#include "burner/compilation.h"
#include "burner/header_stream.h"
#include "recording/cache_thread.h"

class TzqCDBurner;

namespace recording {

namespace detail {
// What the image reader reads, made before the reader's thread starts.
struct TImageSource {
  TImageSource(const std::string& FileName, int64_t FileSize);
  THeaderStream Header;  // empty: the image brings its own
  TFEntry Entry;
};
}  // namespace detail

class TISOBurnerThread : private detail::TImageSource, public TCacheThread {
 public:
  // Reads FileSize bytes of FileName; the last sector is completed with
  // zero bytes. A file that is no longer FileSize bytes long, or cannot be
  // read, fails the job with a message naming it.
  TISOBurnerThread(int32_t CacheSize, int64_t FileSize, const std::string& FileName);
};

// The writer of an image burn. It frees itself when its thread ends.
class TISOWrite {
 public:
  explicit TISOWrite(TzqCDBurner& Component) : component_(Component) {}
  TISOWrite(const TISOWrite&) = delete;
  TISOWrite& operator=(const TISOWrite&) = delete;

  void Resume();

 private:
  ~TISOWrite() = default;
  void Execute();

  TzqCDBurner& component_;
};

}  // namespace recording
