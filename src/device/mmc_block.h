#pragma once
// Building one command's request block (internal to the MMC operations).

#include <algorithm>
#include <cstdint>
#include <span>

#include "device/aspi_blocks.h"
#include "device/byte_order.h"
#include "device/reply_reader.h"
#include "device/scsi_device.h"

namespace device {

// Operation codes.
inline constexpr uint8_t kOpTestUnitReady = 0x00;
inline constexpr uint8_t kOpRewindUnit = 0x01;
inline constexpr uint8_t kOpRequestSense = 0x03;
inline constexpr uint8_t kOpFormatUnit = 0x04;
inline constexpr uint8_t kOpInquiry = 0x12;
inline constexpr uint8_t kOpStartStopUnit = 0x1B;
inline constexpr uint8_t kOpPreventAllow = 0x1E;
inline constexpr uint8_t kOpReadFormatCapacities = 0x23;
inline constexpr uint8_t kOpReadCapacity = 0x25;
inline constexpr uint8_t kOpRead10 = 0x28;
inline constexpr uint8_t kOpWrite10 = 0x2A;
inline constexpr uint8_t kOpSynchronizeCache = 0x35;
inline constexpr uint8_t kOpReadToc = 0x43;
inline constexpr uint8_t kOpGetConfiguration = 0x46;
inline constexpr uint8_t kOpReadDiscInformation = 0x51;
inline constexpr uint8_t kOpReadTrackInformation = 0x52;
inline constexpr uint8_t kOpReserveTrack = 0x53;
inline constexpr uint8_t kOpSendOpc = 0x54;
inline constexpr uint8_t kOpModeSelect10 = 0x55;
inline constexpr uint8_t kOpModeSense10 = 0x5A;
inline constexpr uint8_t kOpCloseTrackSession = 0x5B;
inline constexpr uint8_t kOpReadBufferCapacity = 0x5C;
inline constexpr uint8_t kOpSendCueSheet = 0x5D;
inline constexpr uint8_t kOpBlank = 0xA1;
inline constexpr uint8_t kOpSetStreaming = 0xB6;
inline constexpr uint8_t kOpSetCdSpeed = 0xBB;
inline constexpr uint8_t kOpSendDvdStructure = 0xBF;

// Direction flags, always with event notification.
inline constexpr uint8_t kDataIn = SRB_DIR_IN | SRB_EVENT_NOTIFY;    // 48h
inline constexpr uint8_t kDataOut = SRB_DIR_OUT | SRB_EVENT_NOTIFY;  // 50h
inline constexpr uint8_t kNoData = SRB_EVENT_NOTIFY;                 // 40h

// A zero-filled block for one command.
struct Command {
  SRB_ExecSCSICmd srb{};

  Command(uint8_t opcode, uint8_t cdb_length, uint8_t flags) {
    srb.CDBByte[0] = opcode;
    srb.SRB_CDBLen = cdb_length;
    srb.SRB_Flags = flags;
  }
  std::span<uint8_t, kCdbSize> cdb() { return std::span<uint8_t, kCdbSize>(srb.CDBByte); }
  Command& Data(void* buffer, uint32_t length) {
    srb.SRB_BufPointer = length != 0 ? buffer : nullptr;
    srb.SRB_BufLen = length;
    return *this;
  }
  Command& Data(const void* buffer, uint32_t length) {
    return Data(const_cast<void*>(buffer), length);
  }

  // Sends the block; true when the command completed (SRB_Status 01h).
  bool Run(TSCSIDevice& device, int32_t timeout_ms) {
    device.ExecSCSICommand(srb, timeout_ms);
    return srb.SRB_Status == SS_COMP;
  }
};

// The part of a reply buffer that actually arrived.
inline ReplyReader Arrived(std::span<const uint8_t> buffer, uint32_t requested, uint32_t residual) {
  size_t n = std::min<size_t>(buffer.size(), requested);
  n -= std::min<size_t>(n, residual);
  return ReplyReader(buffer.first(n));
}

// A caller's Length cut to the buffer it names.
inline uint32_t Clamp(uint32_t length, size_t buffer_size) {
  return static_cast<uint32_t>(std::min<size_t>(length, buffer_size));
}

}  // namespace device
