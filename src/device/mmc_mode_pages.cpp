// MODE SENSE (10), MODE SELECT (10) and the write-parameters page.

#include <algorithm>
#include <cstring>

#include "device/media_types.h"
#include "device/mmc_block.h"
#include "device/mode_pages.h"

using namespace device;

size_t device::LocateModePage(std::span<const uint8_t> reply, uint8_t page, size_t fallback) {
  for (size_t off : {size_t{16}, size_t{8}, size_t{7}}) {
    if (off < reply.size() && reply[off] == page) return off;
  }
  return fallback;
}

// MODE SENSE (10) (5Ah), 10 bytes, Length bytes in through the mode-page
// buffer, 20 s: byte 2 page (+80h for default values), bytes 7-8 length.
// The caller's first ClearLength + 1 bytes are zeroed first; on success the
// reply is copied into Buffer.
bool TSCSIDevice::ModeSense10(uint8_t Page, std::span<uint8_t> Buffer, bool Defaults,
                              uint16_t Length, uint16_t ClearLength) {
  std::fill_n(Buffer.begin(), Clamp(uint32_t{ClearLength} + 1, Buffer.size()), 0);
  const uint32_t n = Clamp(Length, mode_buffer_.size());
  std::fill_n(mode_buffer_.begin(), n, 0);
  Command c(kOpModeSense10, 10, kDataIn);
  c.cdb()[2] = static_cast<uint8_t>(Defaults ? Page + kPageControlDefaults : Page);
  put_be16(at<2>(c.cdb(), 7), static_cast<uint16_t>(n));
  c.Data(mode_buffer_.data(), n);
  if (!c.Run(*this, 20000)) return false;
  std::copy_n(mode_buffer_.begin(), Clamp(n, Buffer.size()), Buffer.begin());
  return true;
}

// MODE SELECT (10) (55h), 10 bytes, Length bytes out, copied first into the
// mode-page buffer, 10 s: byte 1 = 10h (PF), bytes 7-8 the parameter list
// length.
bool TSCSIDevice::ModeSelect10(std::span<const uint8_t> Data, uint16_t Length) {
  const uint32_t n = Clamp(Clamp(Length, Data.size()), mode_buffer_.size());
  std::copy_n(Data.begin(), n, mode_buffer_.begin());
  Command c(kOpModeSelect10, 10, kDataOut);
  c.cdb()[1] = 0x10;
  put_be16(at<2>(c.cdb(), 7), static_cast<uint16_t>(n));
  c.Data(mode_buffer_.data(), n);
  return c.Run(*this, 10000);
}

namespace {

// Page 05h fields (byte offsets within the page).
constexpr size_t kPageLength = 1;
constexpr size_t kWriteType = 2;  // BUFE 40h, LS_V 20h, test write 10h, write type 0Fh
constexpr size_t kTrackMode = 3;  // multi-session C0h, FP 20h, track mode 0Fh
constexpr size_t kDataBlockType = 4;
constexpr size_t kLinkSize = 5;
constexpr uint8_t kBufe = 0x40;
constexpr uint8_t kLinkSizeValid = 0x20;
constexpr uint8_t kTestWrite = 0x10;
constexpr uint8_t kMultiSession = 0xC0;
constexpr size_t kKeptPageBytes = 54;
constexpr size_t kSentPageBytes = 52;
constexpr size_t kModeHeader = 8;

void SetMultiSession(uint8_t& b, bool open) {
  b = static_cast<uint8_t>(open ? b | kMultiSession : b & ~kMultiSession);
}
void SetBit(uint8_t& b, uint8_t bit, bool on) {
  b = static_cast<uint8_t>(on ? b | bit : b & ~bit);
}

}  // namespace

bool TSCSIDevice::SetWriteParameters(bool TestWrite, bool Underrun, uint16_t MediaType) {
  if (MediaType == mtDVDRAM) return true;  // random-access medium: no page 05h

  std::array<uint8_t, 512> reply{};
  if (!ModeSense10(kPageWriteParameters, reply, false, reply.size(), reply.size() - 1)) {
    return false;
  }
  const size_t off = LocateModePage(reply, kPageWriteParameters);
  std::copy_n(reply.begin() + static_cast<std::ptrdiff_t>(off), kKeptPageBytes,
              WriteParamsPage.begin());
  auto& p = WriteParamsPage;

  p[kPageLength] = 0x32;
  p[kWriteType] = 0x01;      // track at once
  p[kDataBlockType] = 0x08;  // mode 1, 2048 bytes
  if (MediaType == mtDVDPR) p[kWriteType] = 0x22;
  p[kTrackMode] = 0x04;  // data track, uninterrupted
  if (LinkSizeValidQuirk) p[kWriteType] |= kLinkSizeValid;
  SetMultiSession(p[kTrackMode], !TestWrite && !FinalizeDisc);
  SetBit(p[kWriteType], kBufe, Underrun && Capabilities.Has(TCapability::UnderrunProtection));
  if (MediaType == mtDVDR || MediaType == mtDVDRW || MediaType == mtDVDRWSeq) {
    p[kTrackMode] = 0x05;
    p[kWriteType] = Underrun ? 0x42 : 0x02;
    p[kDataBlockType] = 0x08;
  } else if (DVRQuirk) {
    p[kWriteType] = 0x41;
    SetMultiSession(p[kTrackMode], !FinalizeDisc);
  }
  SetBit(p[kWriteType], kTestWrite, TestWrite && Capabilities.Has(TCapability::WriteTest));
  std::fill(p.begin() + kLinkSize, p.begin() + 14, 0);  // link size … packet size
  if (MediaType == mtDVDPR) p[kLinkSize] = 0x10;

  std::array<uint8_t, kModeHeader + kSentPageBytes> list{};
  std::copy_n(p.begin(), kSentPageBytes, list.begin() + kModeHeader);
  list[kModeHeader] &= static_cast<uint8_t>(~kPageSavable);
  return ModeSelect10(list, list.size());
}
