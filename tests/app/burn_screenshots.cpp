// Saves pictures of the main window in the middle of a burn (progress and
// the two buffer bars) and of the session dialog on a two-session disc,
// both against virtual recorders:
//   app_burn_screenshots OUTPUT_FOLDER
// tests/app/screenshots.sh runs it under Xvfb; it works offscreen as well.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QProgressBar>
#include <QTreeWidget>

#include "app/import_session.h"
#include "app/preferences.h"
#include "app_test_support.h"
#include "recording/job_state.h"
#include "vrec_place.h"

namespace {

enum : int {
  kSlow = 0,      // CD-R recording at 4x: the burn in progress
  kSessions = 1,  // CD-R burned twice
};

void Wait(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool WaitIdle(TFGUI& w) {
  QElapsedTimer t;
  t.start();
  while (w.FBusy || recording::JobRunning()) {
    if (t.elapsed() > 120000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

TWindowUnderTest Window(const TTestPlace& place, int recorder) {
  TWindowUnderTest t = MakeWindow(TVrecPlace::Get().Environment(place.Environment()));
  SelectRecorder(*t.Window, recorder);
  t.Window->resize(1100, 700);
  t.Window->show();
  return t;
}

// Start Burn with "Yes", to the job's end.
bool BurnToTheEnd(TFGUI& w) {
  bool idle = false;
  AnswerDialogs(
      [&] {
        w.actBurn->trigger();
        idle = WaitIdle(w);
      },
      {}, {}, {QMessageBox::Yes});
  return idle;
}

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  if (argc < 2) {
    qWarning("usage: app_burn_screenshots OUTPUT_FOLDER");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);

  TTestPlace place;
  const QString big = place.MakeFile("Video/holiday video.mp4", 40 * 1024 * 1024);
  const QString notes = place.MakeFile("notes.txt", 2300);
  const QString photos = place.MakeFolder("Photos");
  place.MakeFile("Photos/beach.jpg", 2500000);
  place.MakeFile("Photos/sunset.jpg", 3100000);
  place.MakeFile("Letters/2005/winter.txt", 19000);

  TVrecPlace& v = TVrecPlace::Get();
  if (!v.Vrec({"insert", "CD-R"}, kSlow) || !v.Vrec({"speed", "4x"}, kSlow) ||
      !v.Vrec({"insert", "CD-R"}, kSessions)) {
    qWarning("the virtual recorders could not be set up");
    return 1;
  }

  // A burn in progress: a few seconds into writing a 40 MB file at 4x.
  {
    TWindowUnderTest t = Window(place, kSlow);
    TFGUI& w = *t.Window;
    w.AddSourceItems(w.RootNode(), {{big, false}, {notes, false}});
    AnswerDialogs(
        [&] {
          w.actBurn->trigger();
          Wait(4000);
          w.grab().save(out + "/burn_progress.png");
          w.actAbort->trigger();
          WaitIdle(w);
        },
        {}, {}, {QMessageBox::Yes});
  }

  // The session dialog on a disc with two sessions.
  {
    TWindowUnderTest t = Window(place, kSessions);
    TFGUI& w = *t.Window;
    w.Preferences()->chkEjectBurn->setChecked(false);
    w.AddSourceItems(w.RootNode(), {{photos, true}, {notes, false}});
    if (!BurnToTheEnd(w)) return 1;
    w.AddSourceItems(w.RootNode(), {{place.Root() + "/Letters", true}});
    if (!BurnToTheEnd(w)) return 1;
    AnswerDialogs([&] { w.actSessionInfo->trigger(); }, {},
                  [&](QWidget* d) {
                    if (auto* s = qobject_cast<TfrmSessions*>(d)) {
                      s->lb->setCurrentRow(1);
                      Wait(300);
                      s->grab().save(out + "/session_dialog.png");
                    }
                    d->close();
                  });
  }
  return 0;
}
