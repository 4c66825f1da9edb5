#pragma once
// What the subcommands that drive the recorder share beyond its selection
// (cli_device.h): waiting until a disc can be read, and the tray after a
// job.

#include <string>

class TzqCDBurner;

namespace cli {

class Frame;

// Selects the recorder the options name (as every recorder command does),
// then waits until it can read: a disc just loaded reports itself first,
// a drive spinning one up says it is becoming ready. An exit status other
// than 0 comes with the message in Error.
int OpenDisc(TzqCDBurner& Burner, const Frame& F, std::string& Error);

// Opens the tray after a job that succeeded; a tray that stays shut is a
// warning only.
void EjectAfterJob(const Frame& F, TzqCDBurner& Burner);

// A date of the compilation as "yyyy-mm-dd hh:mm:ss".
std::string DateText(double Value);

}  // namespace cli
