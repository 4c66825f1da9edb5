#pragma once
// What ls and extract share: --session with the recorder options, and the
// recorder opened and the session imported before they read it.

#include <optional>

class TzqCDBurner;

namespace cli {

class Frame;
class Options;

// Declares --session, --device and --transport.
void AddReadOptions(Options& Opts);

// The recorder opened, the disc ready and the session --session names
// imported. nullopt to go on, else the exit status after the refusal or
// failure was reported.
std::optional<int> OpenSession(const Frame& F, TzqCDBurner& Burner);

}  // namespace cli
