#pragma once
// A bounded reader over bytes that came from outside. Every read is checked
// against what is there; the first failed read marks the cursor failed and
// remembers where it happened, and every later read gives zeros.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace platform {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const uint8_t> Data) : data_(Data) {}

  bool Ok() const { return !failed_; }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return failed_ ? 0 : data_.size() - pos_; }
  // Offset of the first read that did not fit (meaningful when !Ok()).
  size_t ErrorOffset() const { return error_offset_; }

  uint8_t ReadU8();
  uint16_t ReadLE16();
  uint32_t ReadLE32();
  uint16_t ReadBE16();
  uint32_t ReadBE32();
  bool Skip(size_t Count);
  // Moves to the next multiple of Alignment counted from the start.
  bool Align(size_t Alignment);
  // Bytes up to a NUL (consumed, not returned) or to the end of the data.
  std::string ReadCString();
  std::span<const uint8_t> ReadBytes(size_t Count);

 private:
  bool Need(size_t Count);

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool failed_ = false;
  size_t error_offset_ = 0;
};

}  // namespace platform
