#include "device/scsi_device.h"

TSCSIDevice::TSCSIDevice() = default;
TSCSIDevice::~TSCSIDevice() = default;

void TSCSIDevice::DebugMsg(const std::string& Message, uint8_t mType) {
  if (DebugWindow != nullptr) DebugWindow->AddLine(Message);
  if (OnDebugMessage) OnDebugMessage(this, Message, mType);
}
