// Arbitrary bytes as a settings file: parsing and every typed read must stay
// inside the input and never fail.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/ini_file.h"
#include "platform/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  platform::IniFile ini = platform::IniFile::FromBytes(bytes);
  platform::ProgramSettings s = platform::ReadProgramSettings(ini, platform::ProgramSettings{});
  (void)s;
  (void)ini.ReadString("Options", "VolumeLable", "");
  (void)platform::ParseProfileInteger(bytes.substr(0, 64));
  return 0;
}
