#pragma once
// A bounded view of a drive reply. Only the bytes that actually arrived are
// visible; a field that lies wholly or partly beyond them reads as zero, and
// the reader remembers that it happened (and where). No length or offset a
// drive reports can make a read leave the buffer.

#include <cstddef>
#include <cstdint>
#include <span>

namespace device {

class ReplyReader {
 public:
  ReplyReader() = default;
  explicit ReplyReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t size() const { return bytes_.size(); }
  bool truncated() const { return truncated_; }
  // Offset of the first read that went past the reply, or size() when none did.
  size_t first_short_offset() const { return truncated_ ? first_short_ : bytes_.size(); }

  uint8_t u8(size_t off) const { return fits(off, 1) ? bytes_[off] : 0; }
  uint16_t be16(size_t off) const {
    return fits(off, 2) ? static_cast<uint16_t>(bytes_[off] << 8 | bytes_[off + 1]) : 0;
  }
  uint32_t be24(size_t off) const {
    return fits(off, 3) ? static_cast<uint32_t>(bytes_[off]) << 16 |
                              static_cast<uint32_t>(bytes_[off + 1]) << 8 | bytes_[off + 2]
                        : 0;
  }
  uint32_t be32(size_t off) const {
    return fits(off, 4) ? static_cast<uint32_t>(bytes_[off]) << 24 |
                              static_cast<uint32_t>(bytes_[off + 1]) << 16 |
                              static_cast<uint32_t>(bytes_[off + 2]) << 8 | bytes_[off + 3]
                        : 0;
  }
  // The sub-reply [off, off + len), cut at the end of what arrived.
  ReplyReader sub(size_t off, size_t len) const {
    if (off >= bytes_.size()) {
      note_short(off);
      return ReplyReader();
    }
    size_t avail = bytes_.size() - off;
    if (len > avail) note_short(off + avail);
    return ReplyReader(bytes_.subspan(off, len < avail ? len : avail));
  }

 private:
  bool fits(size_t off, size_t n) const {
    if (off <= bytes_.size() && n <= bytes_.size() - off) return true;
    note_short(off);
    return false;
  }
  void note_short(size_t off) const {
    if (!truncated_) first_short_ = off;
    truncated_ = true;
  }

  std::span<const uint8_t> bytes_;
  mutable bool truncated_ = false;
  mutable size_t first_short_ = 0;
};

}  // namespace device
