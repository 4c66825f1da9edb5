#pragma once
// Numbers the disc writers and the eraser work by: command flags, sense
// fields, retry counts and waits, the streaming descriptor.

#include <chrono>
#include <cstdint>
#include <string>

#include "device/media_types.h"

namespace recording {

// WRITE (10): data out with event notification.
inline constexpr uint8_t kWriteFlags = 0x50;
inline constexpr uint8_t kInvisibleTrack = 0xFF;
inline constexpr uint8_t kNextWritableValid = 0x01;  // track information byte 7
// Addresses above this are negative (a blank CD's pregap): sector 0.
inline constexpr int64_t kHighestAddress = 0xFF000000;
inline constexpr int32_t kEccBlockSectors = 16;

// Fixed-format sense data.
inline constexpr size_t kSenseResponse = 0;
inline constexpr size_t kSenseKey = 2;
inline constexpr size_t kSenseAsc = 12;
inline constexpr uint8_t kSenseKeyMask = 0x0F;
inline constexpr uint8_t kKeyNotReady = 0x02;
inline constexpr uint8_t kKeyMediumError = 0x03;
inline constexpr uint8_t kKeyHardwareError = 0x04;
inline constexpr uint8_t kKeyUnitAttention = 0x06;
inline constexpr uint8_t kResponseDeferred = 0x71;  // and F1h with the valid bit
inline constexpr uint8_t kAscNone = 0x00;
inline constexpr uint8_t kAscNotReady = 0x04;
inline constexpr uint8_t kAscNoMedium = 0x3A;
inline constexpr uint8_t kAscFormatFailed = 0x31;
inline constexpr uint8_t kAscEraseFailed = 0x51;

inline constexpr int32_t kPollTimeoutMs = 5000;
inline constexpr int32_t kPollEvery = 5;  // blocks between drive-buffer polls
inline constexpr int32_t kMaxWriteAttempts = 10000;
inline constexpr int32_t kCompilationRetryMs = 600;
inline constexpr int32_t kImageRetryMs = 100;
inline constexpr int32_t kMaxCloseAttempts = 1000;
inline constexpr int32_t kCloseRetryMs = 1000;
// The DVD-R lead-out: polled every second for at most 30 minutes; the
// drive buffer bar fills over 960 seconds meanwhile.
inline constexpr int32_t kLeadOutPollMs = 1000;
inline constexpr int32_t kLeadOutMinutes = 30;
inline constexpr int32_t kLeadOutBarSeconds = 960;
// The longest wait for the reader between two looks at the abort flag.
inline constexpr auto kBlockWait = std::chrono::milliseconds(5);

// SET STREAMING performance descriptor (sizes in kilobytes, times in ms).
inline constexpr size_t kStreamingLength = 28;
inline constexpr uint32_t kStreamingEndLba = 0x0023127F;  // 2,298,495
inline constexpr uint32_t kStreamingReadKbps = 43965;
inline constexpr uint32_t kStreamingWriteKbps = 1418;
inline constexpr uint32_t kStreamingTimeMs = 1000;
inline constexpr uint32_t kKbpsPerSpeedX = 177;   // as SET CD SPEED sends speeds
inline constexpr size_t kPageMaxWriteSpeed = 18;  // capabilities page, kilobytes per second

inline std::string MediaName(uint16_t MediaType) {
  return std::string(MediaType < MediaNames.size() ? MediaNames[MediaType] : MediaNames[0]);
}

// The last command failed with a medium or hardware error, or reported an
// error deferred from an earlier command (a write the drive could not
// record after it had taken the data).
inline bool RecordingFailed(const uint8_t* Sense) {
  const uint8_t key = Sense[kSenseKey] & kSenseKeyMask;
  const uint8_t code = Sense[kSenseResponse] & 0x7F;
  return key == kKeyMediumError || key == kKeyHardwareError || code == kResponseDeferred;
}

}  // namespace recording
