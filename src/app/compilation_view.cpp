#include "app/main_window.h"

// The burner's side of the settings and of a new compilation.
void TFGUI::CurrentBurnerSettings(platform::ProgramSettings& /*s*/) const {}
void TFGUI::ApplySettingsToBurner(const platform::ProgramSettings& /*s*/) {}
void TFGUI::NewCompilation() {}
