#pragma once
// Big-endian helpers for command blocks and replies, and a bounded cursor for
// bytes that come from outside (parameter lists, stored state). Every field
// of a reply is written with one of these into a byte span at a named
// offset; nothing is ever overlaid on the bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vrec {

using Bytes = std::span<std::uint8_t>;
using ConstBytes = std::span<const std::uint8_t>;

inline std::uint16_t get_be16(ConstBytes b, std::size_t at) {
  return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}
inline std::uint32_t get_be24(ConstBytes b, std::size_t at) {
  return (std::uint32_t{b[at]} << 16) | (std::uint32_t{b[at + 1]} << 8) | b[at + 2];
}
inline std::uint32_t get_be32(ConstBytes b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}
inline void put_be16(Bytes b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 8);
  b[at + 1] = static_cast<std::uint8_t>(v);
}
inline void put_be24(Bytes b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 16);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
  b[at + 2] = static_cast<std::uint8_t>(v);
}
inline void put_be32(Bytes b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 24);
  b[at + 1] = static_cast<std::uint8_t>(v >> 16);
  b[at + 2] = static_cast<std::uint8_t>(v >> 8);
  b[at + 3] = static_cast<std::uint8_t>(v);
}
inline void put_be64(Bytes b, std::size_t at, std::uint64_t v) {
  put_be32(b, at, static_cast<std::uint32_t>(v >> 32));
  put_be32(b, at + 4, static_cast<std::uint32_t>(v));
}
inline std::uint64_t get_be64(ConstBytes b, std::size_t at) {
  return (std::uint64_t{get_be32(b, at)} << 32) | get_be32(b, at + 4);
}

// Writes `text` into b[at, at+width), padded with blanks (INQUIRY strings).
inline void put_padded(Bytes b, std::size_t at, std::size_t width, std::string_view text) {
  for (std::size_t i = 0; i < width; ++i) {
    b[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : std::uint8_t{' '};
  }
}

// Reads from a byte span without ever passing its end. The first read that
// would pass the end sets the error (remembering where) and every later
// read yields zeros, so a parser can check once at the end of a record.
class Cursor {
 public:
  explicit Cursor(ConstBytes bytes) : bytes_(bytes) {}

  std::uint8_t u8() { return Take(1) ? bytes_[pos_ - 1] : 0; }
  std::uint16_t u16() { return Take(2) ? get_be16(bytes_, pos_ - 2) : 0; }
  std::uint32_t u32() { return Take(4) ? get_be32(bytes_, pos_ - 4) : 0; }
  std::uint64_t u64() { return Take(8) ? get_be64(bytes_, pos_ - 8) : 0; }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
  bool boolean() {
    std::uint8_t v = u8();
    if (v > 1) Fail();
    return v == 1;
  }
  // A length-prefixed (16-bit) string of at most `max` bytes.
  std::string str(std::size_t max) {
    std::size_t n = u16();
    if (n > max) {
      Fail();
      return {};
    }
    if (!Take(n)) return {};
    return std::string(reinterpret_cast<const char*>(bytes_.data() + pos_ - n), n);
  }
  ConstBytes raw(std::size_t n) {
    if (!Take(n)) return {};
    return bytes_.subspan(pos_ - n, n);
  }

  bool ok() const { return !failed_; }
  bool at_end() const { return pos_ == bytes_.size(); }
  std::size_t pos() const { return pos_; }
  std::size_t error_offset() const { return error_at_; }
  std::size_t remaining() const { return bytes_.size() - pos_; }
  void Fail() {
    if (!failed_) error_at_ = pos_;
    failed_ = true;
  }

 private:
  bool Take(std::size_t n) {
    if (failed_ || n > bytes_.size() - pos_) {
      Fail();
      return false;
    }
    pos_ += n;
    return true;
  }

  ConstBytes bytes_;
  std::size_t pos_ = 0;
  std::size_t error_at_ = 0;
  bool failed_ = false;
};

// The counterpart of Cursor for encoding stored state.
class Writer {
 public:
  void u8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void u16(std::uint16_t v) {
    u8(static_cast<std::uint8_t>(v >> 8));
    u8(static_cast<std::uint8_t>(v));
  }
  void u32(std::uint32_t v) {
    u16(static_cast<std::uint16_t>(v >> 16));
    u16(static_cast<std::uint16_t>(v));
  }
  void u64(std::uint64_t v) {
    u32(static_cast<std::uint32_t>(v >> 32));
    u32(static_cast<std::uint32_t>(v));
  }
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void i64(std::int64_t v) { u64(static_cast<std::uint64_t>(v)); }
  void boolean(bool v) { u8(v ? 1 : 0); }
  void str(std::string_view s) {
    u16(static_cast<std::uint16_t>(s.size()));
    out_.append(s.data(), s.size());
  }
  const std::string& data() const { return out_; }

 private:
  std::string out_;
};

}  // namespace vrec
