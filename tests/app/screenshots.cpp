// Saves pictures of the main window with a small compilation and of the Add
// dialog, for a look at the layout:
//   app_screenshots OUTPUT_FOLDER
// tests/app/screenshots.sh runs it under Xvfb; it works offscreen as well.
#include <QDir>
#include <QTimer>

#include "app_test_support.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  if (argc < 2) {
    qWarning("usage: app_screenshots OUTPUT_FOLDER");
    return 2;
  }
  QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  TTestPlace place;
  TWindowUnderTest t = MakeWindow(place.Environment(true, {"0:1:0 TIDEMARK VIRTUAL RECORDER 1.0"}));
  TFGUI& w = *t.Window;
  w.resize(1100, 700);
  w.show();
  QTimer::singleShot(300, [&] {
    w.grab().save(out + "/main_window.png");
    app.quit();
  });
  return app.exec();
}
