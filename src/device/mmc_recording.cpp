// Recording commands: reservation, calibration, closing, buffer, cue sheet,
// blanking, formatting, streaming, speed and DVD structures.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "device/mmc_block.h"

using namespace device;

// RESERVE TRACK (53h), 10 bytes, 10 s: bytes 5-8 the size in blocks. Sent
// with an 8-byte data-in buffer.
bool TSCSIDevice::ReserveTrack(uint32_t Size) {
  constexpr uint32_t kLength = 8;
  parameter_buffer_.fill(0);
  Command c(kOpReserveTrack, 10, kDataIn);
  put_be32(at<4>(c.cdb(), 5), Size);
  c.Data(parameter_buffer_.data(), kLength);
  return c.Run(*this, 10000);
}

// SEND OPC INFORMATION (54h), 10 bytes, no data, 150 s: byte 1 = 01h (DoOpc).
bool TSCSIDevice::SendOPCInformation() {
  Command c(kOpSendOpc, 10, kNoData);
  c.cdb()[1] = 0x01;
  return c.Run(*this, 150000);
}

// CLOSE TRACK/SESSION (5Bh), 10 bytes, no data, 180 s: byte 1 = 01h (Immed),
// byte 2 = 01h close track or 02h close session, track number 0.
bool TSCSIDevice::CloseTrackSession(bool CloseTrack, bool Immediate) {
  Command c(kOpCloseTrackSession, 10, kNoData);
  if (Immediate) c.cdb()[1] = 0x01;
  c.cdb()[2] = CloseTrack ? 0x01 : 0x02;
  return c.Run(*this, 180000);
}

// CLOSE TRACK/SESSION (5Bh), 10 bytes, no data, 180 s: byte 1 = 01h (Immed),
// byte 2 = 05h (finalize a DVD+R).
bool TSCSIDevice::FinalizeDVDPlusR(bool Immediate) {
  Command c(kOpCloseTrackSession, 10, kNoData);
  if (Immediate) c.cdb()[1] = 0x01;
  c.cdb()[2] = 0x05;
  return c.Run(*this, 180000);
}

// READ BUFFER CAPACITY (5Ch), 10 bytes, 32 bytes in, 10 s: buffer length
// from bytes 4-7, blank length from 8-11 (FFFFFFFFh: not reported, so the
// whole buffer counts as free).
bool TSCSIDevice::ReadBufferCapacity(uint32_t& BufferLength, uint32_t& BlankLength) {
  constexpr uint8_t kLength = 0x20;
  parameter_buffer_.fill(0);
  Command c(kOpReadBufferCapacity, 10, kDataIn);
  c.cdb()[8] = kLength;
  c.Data(parameter_buffer_.data(), kLength);
  if (!c.Run(*this, 10000)) {
    DeviceFreeBufferSize = 0;
    return false;
  }
  ReplyReader r = Arrived(parameter_buffer_, kLength, LastResidual);
  BufferLength = r.be32(4);
  BlankLength = r.be32(8);
  DeviceBufferSize = BufferLength;
  DeviceFreeBufferSize = BlankLength == 0xFFFFFFFF ? BufferLength : BlankLength;
  return true;
}

// SEND CUE SHEET (5Dh), 10 bytes, Length bytes out, 30 s: bytes 7-8 length.
bool TSCSIDevice::SendCueSheet(std::span<const uint8_t> Buffer, uint32_t Length) {
  const uint32_t n = Clamp(Clamp(Length, Buffer.size()), 0xFFFF);
  Command c(kOpSendCueSheet, 10, kDataOut);
  put_be16(at<2>(c.cdb(), 7), static_cast<uint16_t>(n));
  c.Data(Buffer.data(), n);
  return c.Run(*this, 30000);
}

// BLANK (A1h), 12 bytes, no data, 80 min: byte 1 = type | 10h (Immed).
bool TSCSIDevice::Blank(uint8_t Type) {
  Command c(kOpBlank, 12, kNoData);
  c.cdb()[1] = static_cast<uint8_t>(Type | 0x10);
  return c.Run(*this, 4800000);
}

// FORMAT UNIT (04h), 6 bytes, a 16-byte parameter list out, 10 s: byte 1
// from the caller (11h: FmtData, format code 1).
bool TSCSIDevice::FormatUnit(uint8_t Byte1, std::span<const uint8_t> ParamList) {
  constexpr uint32_t kLength = 16;
  std::array<uint8_t, kLength> list{};
  std::copy_n(ParamList.begin(), Clamp(kLength, ParamList.size()), list.begin());
  Command c(kOpFormatUnit, 6, kDataOut);
  c.cdb()[1] = Byte1;
  c.Data(list.data(), kLength);
  return c.Run(*this, 10000);
}

// SET STREAMING (B6h), 12 bytes, Length bytes out, 10 s: bytes 9-10 length.
bool TSCSIDevice::SetStreaming(std::span<const uint8_t> Descriptor, uint16_t Length) {
  const uint32_t n = Clamp(Length, Descriptor.size());
  Command c(kOpSetStreaming, 12, kDataOut);
  put_be16(at<2>(c.cdb(), 9), static_cast<uint16_t>(n));
  c.Data(Descriptor.data(), n);
  return c.Run(*this, 10000);
}

// SET CD SPEED (BBh), 12 bytes, no data, 10 s: bytes 2-3 read and 4-5
// write speed in kilobytes per second (x × 177), FFFFh for 0 (the maximum).
bool TSCSIDevice::SetCDSpeed(uint16_t ReadX, uint16_t WriteX) {
  auto kbps = [](uint16_t x) -> uint16_t {
    uint32_t v = uint32_t{x} * 177;
    return x == 0 || v > 0xFFFF ? uint16_t{0xFFFF} : static_cast<uint16_t>(v);
  };
  Command c(kOpSetCdSpeed, 12, kNoData);
  put_be16(at<2>(c.cdb(), 2), kbps(ReadX));
  put_be16(at<2>(c.cdb(), 4), kbps(WriteX));
  return c.Run(*this, 10000);
}

// SEND DVD STRUCTURE (BFh), 12 bytes, Length bytes out, 10 s: byte 7 format,
// bytes 8-9 length.
bool TSCSIDevice::SendDVDStructure(uint8_t Format, std::span<const uint8_t> Buffer,
                                   uint16_t Length) {
  const uint32_t n = Clamp(Length, Buffer.size());
  Command c(kOpSendDvdStructure, 12, kDataOut);
  c.cdb()[7] = Format;
  put_be16(at<2>(c.cdb(), 8), static_cast<uint16_t>(n));
  c.Data(Buffer.data(), n);
  return c.Run(*this, 10000);
}

namespace {

// "yyyymmddhhnnss" of a day-count date-time (days since 1899-12-30, the
// fraction being the time of day).
std::string TimeStampText(double date_time) {
  using namespace std::chrono;
  if (!std::isfinite(date_time)) date_time = 0;
  date_time = std::clamp(date_time, -657434.0, 2958465.99999);  // years 100 … 9999
  // The whole part counts days; the fraction is the time of day, counted
  // forward from midnight on either side of the epoch.
  const double day = std::trunc(date_time);
  const double fraction = std::fabs(date_time - day);
  auto seconds_of_day = static_cast<long>(std::llround(fraction * 86400.0));
  if (seconds_of_day >= 86400) seconds_of_day = 86399;
  const sys_days epoch = sys_days{year{1899} / December / 30};
  const year_month_day ymd{epoch + days{static_cast<long>(day)}};
  char b[32];
  std::snprintf(b, sizeof b, "%04d%02u%02u%02ld%02ld%02ld", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                seconds_of_day / 3600, seconds_of_day / 60 % 60, seconds_of_day % 60);
  return b;
}

}  // namespace

// SEND DVD STRUCTURE with format 0Fh (time stamp): data length 20, six
// reserved bytes, then the time as 14 ASCII digits.
bool TSCSIDevice::SendTimeStamp(double DateTime) {
  constexpr uint8_t kFormatTimeStamp = 0x0F;
  std::array<uint8_t, 22> list{};
  list[1] = 0x14;
  const std::string text = TimeStampText(DateTime);
  std::copy_n(text.begin(), std::min<size_t>(14, text.size()), list.begin() + 8);
  return SendDVDStructure(kFormatTimeStamp, list, list.size());
}
