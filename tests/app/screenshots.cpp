// Saves pictures of the main window with a small compilation, of the Add
// dialog and of the preferences' DATA writer page, for a look at the
// layout:
//   app_screenshots OUTPUT_FOLDER
// tests/app/screenshots.sh runs it under Xvfb; it works offscreen as well.
#include <QDir>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QTreeView>
#include <QTreeWidget>

#include "app/add_dialog.h"
#include "app/preferences.h"
#include "app_test_support.h"

namespace {

void Wait(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  if (argc < 2) {
    qWarning("usage: app_screenshots OUTPUT_FOLDER");
    return 2;
  }
  QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);

  TTestPlace place;
  place.MakeFile("Projects/Tidemark/README.md", 4000);
  place.MakeFile("Projects/Tidemark/src/main.cpp", 12000);
  place.MakeFile("Photos/2004/Summer/beach.jpg", 2500000);
  place.MakeFile("Photos/2004/Summer/sunset.jpg", 3100000);
  place.MakeFile("Photos/2005/winter.jpg", 1900000);
  place.MakeFile(QString::fromUtf8("Photos/\xE5\x85\x89\xE7\x9B\x98\xE7\x85\xA7\xE7\x89\x87.png"),
                 800000);
  QString notes = place.MakeFile("notes.txt", 2300);
  QString video = place.MakeFile("holiday video.mp4", 48000000);

  TWindowUnderTest t = MakeWindow(place.Environment(true, {"0:1:0 TIDEMARK VIRTUAL RECORDER 1.0"}));
  TFGUI& w = *t.Window;
  w.resize(1100, 700);
  w.show();
  w.AddSourceItems(w.CurrentFolderNode(), {{place.Root() + "/Photos", true},
                                           {place.Root() + "/Projects", true},
                                           {notes, false},
                                           {video, false}});
  w.tvwISO->expandAll();
  Wait(300);
  w.grab().save(out + "/main_window.png");

  auto* add = new TfrmAdd(&w);
  add->show();
  add->ShowFolder(place.Root() + "/Photos");
  Wait(800);
  add->grab().save(out + "/add_dialog.png");
  delete add;

  TfrmPreferences* prefs = w.Preferences();
  prefs->show();
  prefs->tvwType->setCurrentItem(prefs->tvwType->topLevelItem(2));
  Wait(300);
  prefs->grab().save(out + "/preferences_writer.png");
  prefs->hide();
  return 0;
}
