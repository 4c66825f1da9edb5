#pragma once
// The program's read-only settings file "zqcb.ini", section "Options", as the
// desktop application and the tidemark command both read it.

#include <cstdint>
#include <string>

#include "platform/ini_file.h"

namespace platform {

inline constexpr char kSettingsFileName[] = "zqcb.ini";
inline constexpr char kSettingsSection[] = "Options";

// One value per key; the defaults are those a missing file leaves.
struct ProgramSettings {
  bool ArchiveFiles = false;    // "ArchiveFiles"
  bool CloseDisc = false;       // "CloseDisc", the burner's FinalizeDisc
  bool TestWrite = false;       // "TestWrite"
  bool PerformOPC = false;      // "PerformOPC"
  bool QuickSaveISO = false;    // "QuickSaveISO"
  bool ShowFiles = false;       // "ShowFiles"
  std::string VolumeLable;      // "VolumeLable" (spelled so in every settings file)
  int32_t CacheSize = 4194304;  // "CacheSize", bytes, before the burner's rounding
};

// Reads every key, each with the value in `current` as its default, so a key
// that is missing or not a number leaves that value as it was.
ProgramSettings ReadProgramSettings(const IniFile& ini, const ProgramSettings& current);

}  // namespace platform
