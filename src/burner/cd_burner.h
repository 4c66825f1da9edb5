#pragma once
// TzqCDBurner: the one component through which everything that concerns a
// disc is done.

#include "device/scsi_device.h"

class TzqCDBurner : public TSCSIDevice {
 public:
  TzqCDBurner();
  ~TzqCDBurner() override;
};
