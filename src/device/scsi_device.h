#pragma once
// TSCSIDevice: the device component every recorder operation goes through.
// The burner component derives from it.

#include <cstdint>
#include <functional>
#include <string>

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

class TSCSIDevice {
 public:
  TSCSIDevice();
  virtual ~TSCSIDevice();
  TSCSIDevice(const TSCSIDevice&) = delete;
  TSCSIDevice& operator=(const TSCSIDevice&) = delete;

  // Log channel: mType 0 failures and errors, 1 progress and trace,
  // 3 a full table, 4 a failed compilation operation.
  void DebugMsg(const std::string& Message, uint8_t mType);

  bool DoDebug = false;
  TDebugWindow* DebugWindow = nullptr;
  TOnDebugMsg OnDebugMessage;
  TDeviceChangedEvent OnDeviceChange;
};
