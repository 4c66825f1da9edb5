#pragma once
// The in-memory image header: every sector of the session from its first
// sector up to the first file sector. The layout writes it; the readers of
// a job stream it before the files' data.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

class THeaderStream {
 public:
  int64_t Size() const { return static_cast<int64_t>(bytes_.size()); }
  // Grows with zeros or cuts; the position stays within the new size.
  void SetSize(int64_t NewSize) {
    bytes_.resize(static_cast<size_t>(std::max<int64_t>(NewSize, 0)));
    position_ = std::min(position_, bytes_.size());
  }
  // Empties the stream and gives its memory back.
  void Clear() {
    std::vector<uint8_t>().swap(bytes_);
    position_ = 0;
  }
  int64_t Position() const { return static_cast<int64_t>(position_); }
  void Seek(int64_t NewPosition) {
    position_ = static_cast<size_t>(std::clamp<int64_t>(NewPosition, 0, Size()));
  }
  // Writes at the position, growing the stream as needed.
  void Write(const void* Data, size_t Count) {
    if (Count == 0) return;
    if (position_ + Count > bytes_.size()) bytes_.resize(position_ + Count);
    std::memcpy(bytes_.data() + position_, Data, Count);
    position_ += Count;
  }
  void Write(std::span<const uint8_t> Data) { Write(Data.data(), Data.size()); }
  // Appends at the end, whatever the position; the position moves there.
  void Append(std::span<const uint8_t> Data) {
    position_ = bytes_.size();
    Write(Data);
  }
  // Reads from the position; returns the count read.
  size_t Read(void* Out, size_t Count) {
    const size_t n = std::min(Count, bytes_.size() - position_);
    if (n > 0) std::memcpy(Out, bytes_.data() + position_, n);
    position_ += n;
    return n;
  }
  std::span<const uint8_t> Bytes() const { return bytes_; }
  const uint8_t* Data() const { return bytes_.data(); }

 private:
  std::vector<uint8_t> bytes_;
  size_t position_ = 0;
};
