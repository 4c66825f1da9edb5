#pragma once
// The window program's command line: --help, --version, --list-recorders,
// and the files and folders to start with. An image file given alone opens
// Burn ISO with it; anything else given is added to the compilation's root
// once the window is up.

#include <QString>
#include <QStringList>

class TFGUI;
struct TGuiEnvironment;

struct TCommandLine {
  // Absolute paths to add, in the order given.
  QStringList Paths;
  // An image file to open Burn ISO with.
  QString Image;
  // Arguments that name nothing on disk.
  QStringList Missing;
  bool ListRecorders = false;
  // >= 0: print Output (to standard output, or standard error when the
  // status is not 0) and end with this status, without a window.
  int ExitStatus = -1;
  QString Output;
};

// Parses the arguments after the program's name has been taken off by the
// application object (argv[0] first, as QCoreApplication::arguments()).
TCommandLine ParseCommandLine(const QStringList& arguments);

// What the started window does with the command line: the files and
// folders added to the root, or Burn ISO opened with the image (after the
// window has appeared), and the missing ones named in the status bar.
void ApplyCommandLine(TFGUI& window, const TCommandLine& line);

// --list-recorders: starts the transport as the window does and prints the
// recorders it would list, one entry a line; notes (a listed drive passed
// over, a mounted disc) go to standard error. 0, or 3 when there is none.
int ListRecorders(const TGuiEnvironment& env);
