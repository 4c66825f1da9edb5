#pragma once
// What the subcommands that read a disc share (ls, extract): the recorder
// chosen with --device and --transport, the session imported with the
// application's compilation limits, and paths of the imported tree.

#include <cstdint>
#include <optional>
#include <string>

#include "burner/compilation.h"

class TzqCDBurner;

namespace cli {

class Options;

// Declares --session, --device and --transport on Opts.
void AddReadOptions(Options& Opts);

// The session --session names (1..255), or 255 (the last) without it;
// nullopt for a value that is no session number.
std::optional<uint8_t> SessionOption(const Options& Opts);

// Starts the transport and selects the recorder the options name (as every
// recorder command does), then waits until it can read: a disc just loaded
// reports itself first, a drive spinning one up says it is becoming ready.
// An exit status other than 0 (kExitNoRecorder, kExitUsage or kExitFailed)
// comes with the message in Error.
int OpenDisc(TzqCDBurner& Burner, const Options& Opts, std::string& Error);

// Empties the compilation to the application's limits and imports the
// session into it. LastLog is the text AttachLog keeps of the last problem
// the log reported; it is emptied first. False with the reason in Error
// (that problem, or that the disc holds no session).
bool ImportForReading(TzqCDBurner& Burner, uint8_t Session, std::string& LastLog,
                      std::string& Error);

// An entry of the imported tree named by a path as the command line gives
// it ("/docs/a.txt", "\docs", "/" for the root).
struct FoundPath {
  PDirEntry Folder = nullptr;  // set for a folder (the root included)
  PFileEntry Entry = nullptr;  // the entry (a folder's entry, or a file); null for the root
  std::string Shown;           // the path with "/", as spelled on the disc
};
std::optional<FoundPath> FindPath(const TzqCDBurner& Burner, const std::string& Path);

// A date of the compilation as "yyyy-mm-dd hh:mm:ss".
std::string DateText(TDateTime Value);

}  // namespace cli
