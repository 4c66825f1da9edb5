#pragma once
// Virtual recorders for a window test program: one state folder for the
// whole process, with recorders 0, 1, ... prepared by `tidemark vrec`
// before the first window starts its transport (the recorder library
// reads its folder once per process and then holds the recorders). The
// window finds them through the library transport, as a machine without a
// real recorder does; the built-in transport is shown no drives.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "app/main_window.h"

class TVrecPlace {
 public:
  // The process's recorders (made on first use).
  static TVrecPlace& Get();

  // `tidemark vrec ARGS --target N`; true when it succeeded.
  bool Vrec(const QStringList& args, int target);
  // A window environment that starts the real transport.
  TGuiEnvironment Environment(const TGuiEnvironment& base) const;
  // The recorder entry of target N as the window lists it.
  static QString Entry(int target);
  QString Root() const { return FDir.path(); }

 private:
  TVrecPlace();
  QTemporaryDir FDir;
};

// Selects recorder N in the window's list, as the user does.
void SelectRecorder(TFGUI& w, int target);
