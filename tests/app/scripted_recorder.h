#pragma once
// A recorder whose answers the test decides, for what the virtual recorder
// does not offer: a drive that takes only some write speeds, or reports
// odd ones. It answers INQUIRY, the capabilities page, SET CD SPEED and
// the current profile; every other command completes without data.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"

class ScriptedDrive;

class TScriptedRecorder {
 public:
  TScriptedRecorder();
  ~TScriptedRecorder();

  // Speeds (x) the drive takes, fastest first; a request is answered with
  // the fastest taken speed not above it (the slowest when none is).
  std::vector<uint16_t> Speeds{8, 4, 2};
  // Reported as the maximum write speed (x); 0 reports none.
  uint16_t MaxSpeed = 8;
  uint16_t MaxReadSpeed = 24;
  uint8_t WriteCaps = 0x01;   // page 2Ah byte 3: CD-R
  uint16_t Profile = 0x0009;  // CD-R
  // The speed the drive runs at now (x), as SET CD SPEED left it.
  uint16_t Current = 8;

  // The entry the window lists.
  static std::string Entry();
  // A window environment whose recorder start-up installs this drive.
  TGuiEnvironment Environment(const TGuiEnvironment& base);
  // Commands sent since the drive was installed.
  size_t CommandCount() const;

 private:
  std::unique_ptr<ScriptedDrive> FDrive;
};
