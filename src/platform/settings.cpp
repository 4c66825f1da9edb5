#include "platform/settings.h"

namespace platform {

ProgramSettings ReadProgramSettings(const IniFile& ini, const ProgramSettings& current) {
  constexpr const char* s = kSettingsSection;
  ProgramSettings out = current;
  out.ArchiveFiles = ini.ReadBool(s, "ArchiveFiles", current.ArchiveFiles);
  out.CloseDisc = ini.ReadBool(s, "CloseDisc", current.CloseDisc);
  out.TestWrite = ini.ReadBool(s, "TestWrite", current.TestWrite);
  out.PerformOPC = ini.ReadBool(s, "PerformOPC", current.PerformOPC);
  out.QuickSaveISO = ini.ReadBool(s, "QuickSaveISO", current.QuickSaveISO);
  out.ShowFiles = ini.ReadBool(s, "ShowFiles", current.ShowFiles);
  out.VolumeLable = ini.ReadString(s, "VolumeLable", current.VolumeLable);
  out.CacheSize = ini.ReadInteger(s, "CacheSize", current.CacheSize);
  return out;
}

}  // namespace platform
