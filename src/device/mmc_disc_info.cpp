// READ TOC/PMA/ATIP, GET CONFIGURATION, READ DISC INFORMATION and READ TRACK
// INFORMATION. The caller's reply buffers are zeroed over the requested
// length first, so that whatever a short reply did not fill reads as zero.

#include "device/mmc_block.h"

using namespace device;

// READ TOC/PMA/ATIP (43h), 10 bytes, Length bytes in, 10 s: byte 1 = 02h
// (MSF), byte 2 format, byte 6 track or session, byte 8 length (low byte),
// byte 9 control.
bool TSCSIDevice::ReadTOC(uint8_t Format, std::span<uint8_t> Buffer, uint8_t Control, bool MSF,
                          uint8_t Track, uint16_t Length) {
  const uint32_t n = Clamp(Length, Buffer.size());
  std::fill_n(Buffer.begin(), n, 0);
  Command c(kOpReadToc, 10, kDataIn);
  if (MSF) c.cdb()[1] = 0x02;
  c.cdb()[2] = Format;
  c.cdb()[6] = Track;
  c.cdb()[8] = static_cast<uint8_t>(n);
  c.cdb()[9] = Control;
  c.Data(Buffer.data(), n);
  return c.Run(*this, 10000);
}

// GET CONFIGURATION (46h), 10 bytes, Length bytes in, 30 s: byte 1 RT,
// byte 3 starting feature (low byte only), byte 8 length (low byte).
bool TSCSIDevice::GetConfiguration(uint8_t RT, uint16_t StartFeature, uint16_t Length,
                                   std::span<uint8_t> Buffer) {
  const uint32_t n = Clamp(Length, Buffer.size());
  std::fill_n(Buffer.begin(), n, 0);
  Command c(kOpGetConfiguration, 10, kDataIn);
  c.cdb()[1] = RT;
  c.cdb()[3] = static_cast<uint8_t>(StartFeature);
  c.cdb()[8] = static_cast<uint8_t>(n);
  c.Data(Buffer.data(), n);
  return c.Run(*this, 30000);
}

// READ DISC INFORMATION (51h), 10 bytes, Length bytes in, 10 s: byte 8
// length (low byte).
bool TSCSIDevice::ReadDiscInformation(std::span<uint8_t> Buffer, uint16_t Length) {
  const uint32_t n = Clamp(Length, Buffer.size());
  std::fill_n(Buffer.begin(), n, 0);
  Command c(kOpReadDiscInformation, 10, kDataIn);
  c.cdb()[8] = static_cast<uint8_t>(n);
  c.Data(Buffer.data(), n);
  return c.Run(*this, 10000);
}

// READ DISC INFORMATION into DiscInfo: 56 bytes (38h), zeroed first.
bool TSCSIDevice::ReadDiscInfo() {
  constexpr uint8_t kLength = 0x38;
  DiscInfo.fill(0);
  DiscInfoLength = 0;
  Command c(kOpReadDiscInformation, 10, kDataIn);
  c.cdb()[8] = kLength;
  c.Data(DiscInfo.data(), kLength);
  if (!c.Run(*this, 10000)) return false;
  DiscInfoLength = Arrived(DiscInfo, kLength, LastResidual).be16(0);
  return true;
}

// READ TRACK INFORMATION (52h), 10 bytes, 38 bytes in into TrackInfo, 60 s:
// byte 1 = 01h (the address is a track number), byte 5 the track number's
// low byte (FFh = the invisible track), byte 8 = 26h.
bool TSCSIDevice::ReadTrackInformation(uint32_t Track) {
  constexpr uint8_t kLength = 0x26;
  TrackInfo = TTrackInfo{};
  Command c(kOpReadTrackInformation, 10, kDataIn);
  c.cdb()[1] = 0x01;
  c.cdb()[5] = static_cast<uint8_t>(Track);
  c.cdb()[8] = kLength;
  c.Data(TrackInfo.Raw.data(), kLength);
  if (!c.Run(*this, 60000)) return false;
  ReplyReader r = Arrived(TrackInfo.Raw, kLength, LastResidual);
  TrackInfo.DataLength = r.be16(0);
  TrackInfo.TrackNumber = r.u8(2);
  TrackInfo.SessionNumber = r.u8(3);
  TrackInfo.TrackMode = r.u8(5);
  TrackInfo.DataMode = r.u8(6);
  TrackInfo.Flags = r.u8(7);
  TrackInfo.TrackStart = r.be32(8);
  TrackInfo.NextWritable = r.be32(12);
  TrackInfo.FreeBlocks = r.be32(16);
  TrackInfo.FixedPacketSize = r.be32(20);
  TrackInfo.TrackSize = r.be32(24);
  TrackInfo.LastRecorded = r.be32(28);
  return true;
}
