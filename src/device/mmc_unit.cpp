// Unit commands: readiness, sense, identification, tray and lock.

#include "device/mmc_block.h"

using namespace device;

// TEST UNIT READY (00h), 6 bytes, no data; time-out from the caller.
bool TSCSIDevice::TestUnitReady(int32_t TimeoutMs) {
  return Command(kOpTestUnitReady, 6, kNoData).Run(*this, TimeoutMs);
}

// REWIND UNIT (01h), 6 bytes, no data, 10 s; the result is not used.
void TSCSIDevice::RewindUnit() {
  Command(kOpRewindUnit, 6, kNoData).Run(*this, 10000);
}

// REQUEST SENSE (03h), 6 bytes, Length bytes in (at most 255), 10 s.
bool TSCSIDevice::RequestSense(std::span<uint8_t> Buffer, uint8_t Length) {
  const uint32_t n = Clamp(Length, Buffer.size());
  std::fill_n(Buffer.begin(), n, 0);
  Command c(kOpRequestSense, 6, kDataIn);
  c.cdb()[4] = static_cast<uint8_t>(n);
  c.Data(Buffer.data(), n);
  return c.Run(*this, 10000);
}

// INQUIRY (12h), 6 bytes, 128 bytes in into InquiryData, 10 s.
bool TSCSIDevice::Inquiry() {
  constexpr uint8_t kLength = 0x80;
  InquiryData.fill(0);
  Command c(kOpInquiry, 6, kDataIn);
  c.cdb()[4] = kLength;
  c.Data(InquiryData.data(), kLength);
  return c.Run(*this, 10000);
}

// START STOP UNIT (1Bh), 6 bytes, no data, 20 s: byte 4 = 02h eject
// (LoEj), 03h load (LoEj + Start).
bool TSCSIDevice::StartStopUnit(bool Eject) {
  Command c(kOpStartStopUnit, 6, kNoData);
  c.cdb()[4] = Eject ? 0x02 : 0x03;
  return c.Run(*this, 20000);
}

// PREVENT/ALLOW MEDIUM REMOVAL (1Eh), 6 bytes, no data, 10 s: byte 4 = 01h
// prevent, 00h allow.
bool TSCSIDevice::PreventAllowRemoval(bool Allow) {
  Command c(kOpPreventAllow, 6, kNoData);
  c.cdb()[4] = Allow ? 0x00 : 0x01;
  return c.Run(*this, 10000);
}
