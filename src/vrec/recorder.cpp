// Emulated MMC recorder.
