#pragma once
// Sense conditions the recorder reports: key, additional sense code and
// qualifier, named after what they mean. Every check condition the emulator
// raises is one of these constants, never a bare triple.

#include <cstdint>

namespace vrec {

struct Sense {
  std::uint8_t key = 0;
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
  constexpr bool operator==(const Sense&) const = default;
  constexpr bool ok() const { return key == 0 && asc == 0 && ascq == 0; }
};

namespace sense {

// Sense keys.
inline constexpr std::uint8_t kKeyNoSense = 0x0;
inline constexpr std::uint8_t kKeyRecovered = 0x1;
inline constexpr std::uint8_t kKeyNotReady = 0x2;
inline constexpr std::uint8_t kKeyMediumError = 0x3;
inline constexpr std::uint8_t kKeyHardwareError = 0x4;
inline constexpr std::uint8_t kKeyIllegalRequest = 0x5;
inline constexpr std::uint8_t kKeyUnitAttention = 0x6;
inline constexpr std::uint8_t kKeyDataProtect = 0x7;

inline constexpr Sense kNoSense{0x0, 0x00, 0x00};

// 02: not ready.
inline constexpr Sense kBecomingReady{0x2, 0x04, 0x01};
inline constexpr Sense kFormatInProgress{0x2, 0x04, 0x04};
inline constexpr Sense kOperationInProgress{0x2, 0x04, 0x07};
inline constexpr Sense kLongWriteInProgress{0x2, 0x04, 0x08};
inline constexpr Sense kNoMedium{0x2, 0x3A, 0x00};
inline constexpr Sense kNoMediumTrayClosed{0x2, 0x3A, 0x01};
inline constexpr Sense kNoMediumTrayOpen{0x2, 0x3A, 0x02};

// 03: medium errors.
inline constexpr Sense kWriteError{0x3, 0x0C, 0x00};
inline constexpr Sense kWriteErrorRecoveryFailed{0x3, 0x0C, 0x08};
inline constexpr Sense kWriteErrorLossOfStreaming{0x3, 0x0C, 0x09};
inline constexpr Sense kUnrecoveredReadError{0x3, 0x11, 0x00};
inline constexpr Sense kLecUncorrectable{0x3, 0x11, 0x05};

// 04: the emulator itself could not go on (its stored state failed).
inline constexpr Sense kInternalTargetFailure{0x4, 0x44, 0x00};

// 05: illegal requests.
inline constexpr Sense kParameterListLengthError{0x5, 0x1A, 0x00};
inline constexpr Sense kInvalidOperationCode{0x5, 0x20, 0x00};
inline constexpr Sense kLbaOutOfRange{0x5, 0x21, 0x00};
inline constexpr Sense kInvalidAddressForWrite{0x5, 0x21, 0x02};
inline constexpr Sense kInvalidFieldInCdb{0x5, 0x24, 0x00};
inline constexpr Sense kLunNotSupported{0x5, 0x25, 0x00};
inline constexpr Sense kInvalidFieldInParameterList{0x5, 0x26, 0x00};
inline constexpr Sense kCommandSequenceError{0x5, 0x2C, 0x00};
inline constexpr Sense kIncompatibleMedium{0x5, 0x30, 0x00};
inline constexpr Sense kCannotReadIncompatibleFormat{0x5, 0x30, 0x02};
inline constexpr Sense kCannotWriteIncompatibleFormat{0x5, 0x30, 0x05};
inline constexpr Sense kCannotFormat{0x5, 0x30, 0x06};
inline constexpr Sense kSavingParametersNotSupported{0x5, 0x39, 0x00};
inline constexpr Sense kMediumRemovalPrevented{0x5, 0x53, 0x02};
inline constexpr Sense kIllegalModeForTrack{0x5, 0x64, 0x00};
inline constexpr Sense kNoMoreTrackReservations{0x5, 0x72, 0x05};

// 06: unit attention.
inline constexpr Sense kMediumMayHaveChanged{0x6, 0x28, 0x00};
inline constexpr Sense kPowerOnReset{0x6, 0x29, 0x00};

// 07: data protect.
inline constexpr Sense kWriteProtected{0x7, 0x27, 0x00};

}  // namespace sense
}  // namespace vrec
