// Capacity, READ (10), WRITE (10) and SYNCHRONIZE CACHE.

#include "device/mmc_block.h"

using namespace device;

// READ FORMAT CAPACITIES (23h), 10 bytes, 248 bytes in, 10 s. Blocks from
// bytes 4-7 and the block length from bytes 9-11 of the current descriptor.
bool TSCSIDevice::ReadFormatCapacities(uint32_t& Blocks, uint32_t& BlockLength) {
  constexpr uint8_t kLength = 0xF8;
  format_capacities_.fill(0);
  Command c(kOpReadFormatCapacities, 10, kDataIn);
  c.cdb()[8] = kLength;
  c.Data(format_capacities_.data(), kLength);
  if (!c.Run(*this, 10000)) return false;
  ReplyReader r = Arrived(format_capacities_, kLength, LastResidual);
  Blocks = r.be32(4);
  BlockLength = r.be24(9);
  return true;
}

// READ CAPACITY (25h), 10 bytes, 8 bytes in, 10 s.
bool TSCSIDevice::ReadCapacity(uint32_t& LastLBA, uint32_t& BlockLength) {
  constexpr uint32_t kLength = 8;
  parameter_buffer_.fill(0);
  Command c(kOpReadCapacity, 10, kDataIn);
  c.Data(parameter_buffer_.data(), kLength);
  if (!c.Run(*this, 10000)) return false;
  ReplyReader r = Arrived(parameter_buffer_, kLength, LastResidual);
  LastLBA = r.be32(0);
  BlockLength = r.be32(4);
  return true;
}

// READ (10) (28h), 10 bytes, ByteCount bytes in straight into the caller's
// buffer, 10 s: bytes 2-5 LBA, 7-8 block count.
bool TSCSIDevice::Read10(uint32_t LBA, uint16_t Blocks, uint32_t ByteCount,
                         std::span<uint8_t> Buffer) {
  Command c(kOpRead10, 10, kDataIn);
  put_be32(at<4>(c.cdb(), 2), LBA);
  put_be16(at<2>(c.cdb(), 7), Blocks);
  c.Data(Buffer.data(), Clamp(ByteCount, Buffer.size()));
  return c.Run(*this, 10000);
}

// WRITE (10) (2Ah), 10 bytes, ByteCount bytes out straight from the
// caller's buffer (no copy), 120 s; direction flags from the caller. A
// request that was refused before it reached the drive is a failure.
bool TSCSIDevice::Write10(uint32_t LBA, uint16_t Blocks, uint8_t Flags, uint32_t ByteCount,
                          std::span<const uint8_t> Buffer) {
  Command c(kOpWrite10, 10, Flags);
  put_be32(at<4>(c.cdb(), 2), LBA);
  put_be16(at<2>(c.cdb(), 7), Blocks);
  c.Data(Buffer.data(), Clamp(ByteCount, Buffer.size()));
  return c.Run(*this, 120000);
}

// SYNCHRONIZE CACHE (35h), 10 bytes, no data; byte 1 = 02h (Immed).
bool TSCSIDevice::SynchronizeCache(int32_t TimeoutMs, bool Immediate) {
  Command c(kOpSynchronizeCache, 10, kNoData);
  if (Immediate) c.cdb()[1] = 0x02;
  return c.Run(*this, TimeoutMs);
}
