// tidemark-gui: the desktop application.
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

#include "app/application.h"
#include "app/command_line.h"
#include "app/main_window.h"

namespace {

// Help, the version and the recorder list need no window, and so no
// display: they are answered without the window system.
bool AnsweredWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    for (const char* option : {"-h", "--help", "--help-all", "-v", "--version", "--list-recorders"})
      if (std::strcmp(argv[i], option) == 0) return true;
  }
  return false;
}

int Finish(const TCommandLine& line) {
  std::fputs(line.Output.toLocal8Bit().constData(), line.ExitStatus == 0 ? stdout : stderr);
  return line.ExitStatus;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnsweredWithoutWindow(argc, argv)) {
    QCoreApplication core(argc, argv);
    TApplication::SetNames();
    const TCommandLine line = ParseCommandLine(QCoreApplication::arguments());
    if (line.ExitStatus >= 0) return Finish(line);
    if (line.ListRecorders) return ListRecorders(TGuiEnvironment::FromSystem());
  }
  TApplication app(argc, argv);
  const TCommandLine line = ParseCommandLine(QCoreApplication::arguments());
  if (line.ExitStatus >= 0) return Finish(line);
  TFGUI window;
  window.FormCreate();
  window.show();
  ApplyCommandLine(window, line);
  return app.exec();
}
