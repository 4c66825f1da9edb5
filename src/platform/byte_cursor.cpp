#include "platform/byte_cursor.h"

namespace platform {

bool ByteCursor::Need(size_t Count) {
  if (failed_) return false;
  if (data_.size() - pos_ < Count) {
    failed_ = true;
    error_offset_ = pos_;
    return false;
  }
  return true;
}

uint8_t ByteCursor::ReadU8() {
  if (!Need(1)) return 0;
  return data_[pos_++];
}

uint16_t ByteCursor::ReadLE16() {
  if (!Need(2)) return 0;
  const uint16_t v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
  pos_ += 2;
  return v;
}

uint32_t ByteCursor::ReadLE32() {
  if (!Need(4)) return 0;
  const uint32_t v =
      static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
      static_cast<uint32_t>(data_[pos_ + 2]) << 16 | static_cast<uint32_t>(data_[pos_ + 3]) << 24;
  pos_ += 4;
  return v;
}

uint16_t ByteCursor::ReadBE16() {
  if (!Need(2)) return 0;
  const uint16_t v = static_cast<uint16_t>(data_[pos_] << 8 | data_[pos_ + 1]);
  pos_ += 2;
  return v;
}

uint32_t ByteCursor::ReadBE32() {
  if (!Need(4)) return 0;
  const uint32_t v =
      static_cast<uint32_t>(data_[pos_]) << 24 | static_cast<uint32_t>(data_[pos_ + 1]) << 16 |
      static_cast<uint32_t>(data_[pos_ + 2]) << 8 | static_cast<uint32_t>(data_[pos_ + 3]);
  pos_ += 4;
  return v;
}

bool ByteCursor::Skip(size_t Count) {
  if (!Need(Count)) return false;
  pos_ += Count;
  return true;
}

bool ByteCursor::Align(size_t Alignment) {
  if (Alignment == 0 || pos_ % Alignment == 0) return Ok();
  return Skip(Alignment - pos_ % Alignment);
}

std::string ByteCursor::ReadCString() {
  std::string out;
  if (failed_) return out;
  while (pos_ < data_.size()) {
    const uint8_t b = data_[pos_++];
    if (b == 0) break;
    out += static_cast<char>(b);
  }
  return out;
}

std::span<const uint8_t> ByteCursor::ReadBytes(size_t Count) {
  if (!Need(Count)) return {};
  const auto out = data_.subspan(pos_, Count);
  pos_ += Count;
  return out;
}

}  // namespace platform
