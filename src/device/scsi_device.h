#pragma once
// TSCSIDevice: the device component every recorder operation goes through.
// The burner component derives from it.
//
// One routine, ExecSCSICommand, carries every command to the selected drive
// and owns time-outs, failure texts and the failure log line; the MMC
// operations are small methods that build one request block each. The
// component is not reentrant: one thread sends commands at a time.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/aspi_blocks.h"
#include "device/capabilities.h"
#include "device/capabilities_page.h"
#include "device/disc_types.h"
#include "device/track_info.h"
#include "device/write_modes.h"

// Any line sink can stand where the original design had a memo control.
class TDebugWindow {
 public:
  virtual ~TDebugWindow() = default;
  virtual void AddLine(const std::string& line) = 0;
};

class TSCSIDevice;
using TOnDebugMsg =
    std::function<void(TSCSIDevice* Sender, const std::string& Message, uint8_t mType)>;
using TDeviceChangedEvent = std::function<void(TSCSIDevice* Sender)>;

// HostAdapter, TargetId and Lun hold this while no device is selected.
inline constexpr uint8_t kNoDevice = 0xFE;
// ExecSCSICommand's results.
inline constexpr uint8_t kExecIssued = 1;
inline constexpr uint8_t kExecRefused = SS_ILLEGAL_MODE;  // E2h
// The wait for a pending request is never shorter than this.
inline constexpr int32_t kMinCommandTimeoutMs = 10000;

class TSCSIDevice {
 public:
  TSCSIDevice();
  virtual ~TSCSIDevice();
  TSCSIDevice(const TSCSIDevice&) = delete;
  TSCSIDevice& operator=(const TSCSIDevice&) = delete;

  // ---- Log channel --------------------------------------------------------
  // mType 0 failures and errors, 1 progress and trace, 3 a full table,
  // 4 a failed compilation operation.
  void DebugMsg(const std::string& Message, uint8_t mType);

  bool DoDebug = false;
  TDebugWindow* DebugWindow = nullptr;
  TOnDebugMsg OnDebugMessage;
  TDeviceChangedEvent OnDeviceChange;

  // ---- Selected device and the last command ------------------------------
  uint8_t HostAdapter = kNoDevice;
  uint8_t TargetId = kNoDevice;
  uint8_t Lun = kNoDevice;

  // Text of the last failure; empty after a successful command.
  std::string LastError;
  // Sense area of the last failed command (bytes 12/13 are ASC/ASCQ).
  std::array<uint8_t, kSenseAreaSize> LastSense{};
  // The last command ended with target status BUSY.
  bool TargetBusy = false;
  // The last command got no answer from the drive: it was refused, the
  // transport or host adapter failed, or the wait timed out. Retrying such a
  // command the way one retries a busy drive does not help.
  bool TransportError = false;
  // Bytes of the last transfer that did not move, when the transport knows.
  uint32_t LastResidual = 0;
  // The wait the last command was given, after the floor was applied.
  int32_t LastTimeoutMs = 0;
  // The command block of the last command that failed, so that a job's
  // report can name the command and the sector it addressed.
  std::array<uint8_t, kCdbSize> LastFailedCdb{};

  // A transport is installed.
  bool ASPIInitialized() const;

  // Completes the block with the device address, sends it, waits for it and
  // decodes a failure. kExecIssued when the command was issued (its outcome
  // is in SRB_Status), kExecRefused when it was not (no transport or no
  // device selected; the block is left untouched).
  uint8_t ExecSCSICommand(SRB_ExecSCSICmd& srb, int32_t TimeoutMs);

  // ---- MMC operations (true when SRB_Status is 01h) ----------------------
  // Buffers are spans: a Length larger than the span is cut to it, so no
  // request ever reads or writes outside the caller's memory.
  bool TestUnitReady(int32_t TimeoutMs);
  void RewindUnit();
  bool RequestSense(std::span<uint8_t> Buffer, uint8_t Length);
  bool FormatUnit(uint8_t Byte1, std::span<const uint8_t> ParamList);
  bool Inquiry();
  bool StartStopUnit(bool Eject);
  bool PreventAllowRemoval(bool Allow);
  bool ReadFormatCapacities(uint32_t& Blocks, uint32_t& BlockLength);
  bool ReadCapacity(uint32_t& LastLBA, uint32_t& BlockLength);
  bool Read10(uint32_t LBA, uint16_t Blocks, uint32_t ByteCount, std::span<uint8_t> Buffer);
  bool Write10(uint32_t LBA, uint16_t Blocks, uint8_t Flags, uint32_t ByteCount,
               std::span<const uint8_t> Buffer);
  bool SynchronizeCache(int32_t TimeoutMs, bool Immediate);
  bool ReadTOC(uint8_t Format, std::span<uint8_t> Buffer, uint8_t Control, bool MSF, uint8_t Track,
               uint16_t Length);
  bool GetConfiguration(uint8_t RT, uint16_t StartFeature, uint16_t Length,
                        std::span<uint8_t> Buffer);
  bool ReadDiscInformation(std::span<uint8_t> Buffer, uint16_t Length);
  bool ReadDiscInfo();
  bool ReadTrackInformation(uint32_t Track);
  bool ReserveTrack(uint32_t Size);
  bool SendOPCInformation();
  bool ModeSelect10(std::span<const uint8_t> Data, uint16_t Length);
  bool ModeSense10(uint8_t Page, std::span<uint8_t> Buffer, bool Defaults, uint16_t Length,
                   uint16_t ClearLength);
  bool CloseTrackSession(bool CloseTrack, bool Immediate);
  // CLOSE TRACK/SESSION with close function 101b: a DVD+R's open session
  // is closed and the disc finalized (closing a session leaves it open).
  bool FinalizeDVDPlusR(bool Immediate);
  bool ReadBufferCapacity(uint32_t& BufferLength, uint32_t& BlankLength);
  bool SendCueSheet(std::span<const uint8_t> Buffer, uint32_t Length);
  bool Blank(uint8_t Type);
  bool SetStreaming(std::span<const uint8_t> Descriptor, uint16_t Length);
  bool SetCDSpeed(uint16_t ReadX, uint16_t WriteX);
  bool SendDVDStructure(uint8_t Format, std::span<const uint8_t> Buffer, uint16_t Length);

  // ---- Composite operations ----------------------------------------------
  // SEND DVD STRUCTURE time stamp of a local date-time (days since
  // 1899-12-30).
  bool SendTimeStamp(double DateTime);
  // Builds and sends write-parameters page 05h for the media type index.
  bool SetWriteParameters(bool TestWrite, bool Underrun, uint16_t MediaType);
  // Waits until the drive can take commands; false when the budget runs out.
  bool WaitReady(int32_t TotalMs, int32_t IntervalMs);

  // ---- Discovery and identification --------------------------------------
  // Starts the transport (the built-in one first when UseInternalFirst) and
  // lists the recorders; false when no transport could be started.
  bool InitializeASPI(bool UseInternalFirst);
  // Refreshes AdapterCount from the adapter inquiry of one adapter.
  void HostAdapterInquiry(uint8_t Adapter);
  // Rebuilds DeviceList: one entry per CD/DVD device on every adapter.
  void ScanDevices();
  // Selects the device of an entry of DeviceList (its address is read from
  // the front of the text); deselects on an invalid entry or device.
  void SelectDevice(const std::string& Entry);
  // Capabilities, INQUIRY and the description of the selected device.
  void IdentifyDevice();
  // The selected drive's device node name ("sr0"); empty when it has none.
  // Stands where the drive letter was in the original design.
  std::string GetDriveLetter();
  // Fills WriteModes with the write types the drive accepts.
  void ProbeWriteModes();

  // Signed: 80h-FFh mean no adapters (nothing is scanned).
  int8_t AdapterCount = -1;
  std::string DeviceId;           // entry text of the selected device
  uint8_t DeviceType = 0x7F;      // INQUIRY byte 0 of the selected device
  std::string DeviceDescription;  // vendor, product and revision
  std::vector<std::string> DeviceList;
  TWriteModes WriteModes;

  // ---- Capabilities and speeds (x units of CD speed) ---------------------
  // Refreshes Capabilities, CapabilitiesPage and the maximum speeds; true
  // when the current values of page 2Ah were read.
  bool ReadCapabilities();
  bool HasVendorPage30();
  // Each reads the capabilities again; 0 when they cannot be read.
  uint16_t GetMaxWriteSpeedX();
  uint16_t GetMaxReadSpeedX();
  uint16_t GetCurrentWriteSpeedX();
  // Sends the speed (0 = maximum) with ReadSpeed; WriteSpeed takes the value
  // whatever the drive answered.
  void SetWriteSpeed(uint16_t Value);
  uint16_t WriteSpeed() const { return write_speed_; }

  TCapabilitiesPage CapabilitiesPage;
  uint16_t DeviceMaxWriteSpeed = 0;
  uint16_t DeviceMaxReadSpeed = 0;
  // The user's request to use buffer-underrun protection when writing.
  bool UnderrunProtection = true;
  uint16_t ReadSpeed = 0;  // sent with every speed change; 0 = maximum

  // ---- Disc, track and session information (blocks of 2048 bytes) --------
  // Media type index (media_types.h) of the loaded disc.
  uint8_t GetMediaType();
  bool IsErasable();
  // Last complete session; 0 when it cannot be read.
  uint8_t GetLastSession();
  uint32_t GetUsedSpace();
  uint32_t GetFreeSpace();
  // 0 (with a log line) when no source gives a size.
  uint32_t GetDiscCapacity();
  // Fills Disc from the drive; leaves it untouched when the drive is not
  // ready (callers pass a zeroed record, so Ready reads false).
  void GetDiscInfo(TDisc& Disc);

  TDisc DiscSummary;  // the record of the last GetDiscInfo

  // ---- Replies the callers read right after a command ---------------------
  std::array<uint8_t, 131> InquiryData{};
  TTrackInfo TrackInfo;
  std::array<uint8_t, 56> DiscInfo{};
  uint16_t DiscInfoLength = 0;  // data length of the last disc information, host order
  std::array<uint8_t, 26> ATIPData{};
  std::array<uint8_t, 54> WriteParamsPage{};

  // ---- State the operations read or update --------------------------------
  uint16_t CurrentMediaType = 0;  // media type index of the current job
  bool FinalizeDisc = false;      // close the disc after writing
  uint32_t DeviceBufferSize = 0;
  uint32_t DeviceFreeBufferSize = 0;
  TCapabilities Capabilities;
  // Per-drive quirks, decided when a drive is selected.
  bool DVRQuirk = false;
  bool ForceUnderrunCapability = false;
  bool LinkSizeValidQuirk = false;
  bool SlowReadyQuirk = false;
  bool CloseImmediate = false;

 protected:
  // Internal steps of the failure path.
  std::string DecodeStatus(const SRB_ExecSCSICmd& srb);
  std::string DecodeSense(const SRB_ExecSCSICmd& srb);
  std::string DecodeAdditionalSense(const SRB_ExecSCSICmd& srb);

  // Every wait between commands goes through here (tests count instead).
  virtual void Sleep(int32_t ms);

 private:
  bool Send(SRB_ExecSCSICmd& srb, int32_t timeout_ms);
  void DecodeFailure(SRB_ExecSCSICmd& srb);
  void LogCommand(const SRB_ExecSCSICmd& srb);

  // The block handed to the transport. The caller's block is copied in and
  // back out, so a library still holding a timed-out request never writes
  // into memory the caller has reused.
  std::unique_ptr<SRB_ExecSCSICmd> in_flight_;

  // Scratch buffers of the operations.
  std::array<uint8_t, 1024> mode_buffer_{};
  std::array<uint8_t, 498> parameter_buffer_{};
  std::array<uint8_t, 275> format_capacities_{};
  std::array<uint8_t, 40> ready_sense_{};
  std::array<uint8_t, 114> config_buffer_{};
  std::array<uint8_t, 114> toc_buffer_{};
  std::array<uint8_t, 4> session_buffer_{};
  uint16_t write_speed_ = 0;
  SRB_HAInquiry ha_inquiry_{};  // the last adapter inquiry

  void Deselect();
};
