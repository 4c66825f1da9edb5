#include "device/scsi_device.h"

#include <chrono>
#include <thread>

// A component made while a transport is running lists the recorders at once.
TSCSIDevice::TSCSIDevice() {
  if (ASPIInitialized()) {
    HostAdapterInquiry(0);
    ScanDevices();
  }
}
TSCSIDevice::~TSCSIDevice() = default;

void TSCSIDevice::DebugMsg(const std::string& Message, uint8_t mType) {
  if (DebugWindow != nullptr) DebugWindow->AddLine(Message);
  if (OnDebugMessage) OnDebugMessage(this, Message, mType);
}

void TSCSIDevice::Sleep(int32_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
