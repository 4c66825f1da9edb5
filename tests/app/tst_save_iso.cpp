// Saving the compilation as an image file from the window: the name rules,
// the replace question, quick and threaded saves, the completion hand-over
// (on the window's thread, with the job's thread waiting, and at once when
// the save ends on the window's thread), the stopping state after Abort,
// and the progress display.
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <sys/stat.h>

#include <atomic>

#include "app/item_list_model.h"
#include "app/preferences.h"
#include "app_test_support.h"
#include "recording/job_state.h"

namespace {

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A window with a compilation of one file (and a folder holding another),
// saving into the place's folder "out".
struct TSaveFixture {
  TTestPlace Place;
  TWindowUnderTest T;
  QString Out;
  QString SavedCurrent = QDir::currentPath();

  explicit TSaveFixture(qint64 size = 5000) {
    T = MakeWindow(Place.Environment());
    Out = Place.MakeFolder("out");
    QDir::setCurrent(Out);
    Place.MakeFile("src/docs/inner.txt", 100);
    W().AddSourceItems(W().RootNode(), {{Place.MakeFile("src/a.txt", size), false},
                                        {Place.Root() + "/src/docs", true}});
  }
  ~TSaveFixture() { QDir::setCurrent(SavedCurrent); }
  TFGUI& W() { return *T.Window; }
};

// Waits for the end of a threaded job and for its hand-over to be run.
bool WaitIdle(TFGUI& w) {
  return QTest::qWaitFor([&] { return !w.FBusy && !recording::JobRunning(); }, 30000);
}

// Save ISO with `name` (and `buttons` for the questions), to its end.
TDialogLog SaveAs(TFGUI& w, const QString& name,
                  std::vector<QMessageBox::StandardButton> buttons = {}) {
  return AnswerDialogs(
      [&] {
        w.actSaveISO->trigger();
        QVERIFY(WaitIdle(w));
      },
      {name}, {}, std::move(buttons));
}

}  // namespace

class TSaveIsoTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { QuickSaveISO = false; }
  void cleanup() { QuickSaveISO = false; }
  void imageNames_data();
  void imageNames();
  void emptyCompilation();
  void replaceQuestion();
  void imageOverItsOwnSource();
  void threadedSaveHandsOverAndWaits();
  void earlyFailureOnTheWindowsThread();
  void failedSaveEmptiesTheCompilation();
  void leftOutEntriesAreNamedInTheQuestion();
  void stoppingStateUntilTheWriterReports();
  void jolietFromThePreferences();
  void progressDisplay();
};

void TSaveIsoTest::imageNames_data() {
  QTest::addColumn<QString>("answer");
  QTest::addColumn<QString>("saved");  // empty: nothing saved
  QTest::addColumn<QString>("message");
  QTest::addColumn<bool>("quick");
  const QString ok = QStringLiteral("ISO file has saved successfully!");
  QTest::newRow("bare name") << "backup"
                             << "backup.iso" << ok << false;
  QTest::newRow("bare name, quick") << "backup"
                                    << "backup.iso" << ok << true;
  QTest::newRow("upper-case extension") << "backup.ISO"
                                        << "backup.ISO.iso" << ok << true;
  QTest::newRow("extension inside") << "my.iso.old"
                                    << "my.iso.old" << ok << false;
  QTest::newRow("200 characters") << QString(200, 'n') << QString(106, 'n') + ".iso" << ok << true;
  QTest::newRow("backslash") << "d:\\x.iso"
                             << ""
                             << "Invalid Name." << true;
  QTest::newRow("slash") << "sub/x.iso"
                         << ""
                         << "Invalid Name." << false;
  QTest::newRow("parent folder") << "../x.iso"
                                 << ""
                                 << "Invalid Name." << false;
  QTest::newRow("blank") << "   "
                         << ""
                         << "" << true;
}

void TSaveIsoTest::imageNames() {
  QFETCH(QString, answer);
  QFETCH(QString, saved);
  QFETCH(QString, message);
  QFETCH(bool, quick);
  TSaveFixture f;
  QuickSaveISO = quick;
  f.W().zqCDBurner1.ISOFileName = "earlier.iso";
  TDialogLog log = SaveAs(f.W(), answer);
  QCOMPARE(log.InputTitles, QStringList{"Save As ISO File"});
  QCOMPARE(log.InputPrompts, QStringList{"Please Input Filename"});
  QCOMPARE(log.InputTexts, QStringList{"earlier.iso"});
  QCOMPARE(log.Messages, message.isEmpty() ? QStringList() : QStringList{message});
  QStringList files = QDir(f.Out).entryList(QDir::Files);
  QCOMPARE(files, saved.isEmpty() ? QStringList() : QStringList{saved});
  if (saved.isEmpty()) {
    // Refused: the compilation is as it was.
    QCOMPARE(f.W().zqCDBurner1.FilesCount(), 3);
    QCOMPARE(f.W().lvwModel->Count(), 2);
    return;
  }
  QByteArray image = ReadFile(f.Out + "/" + saved);
  QCOMPARE(image.mid(16 * 2048 + 1, 5), QByteArray("CD001"));
  QCOMPARE(image.size() % 2048, 0);
  // The threaded save pads a short image to 300 sectors, the quick one
  // does not; the window counts the padded length either way.
  if (quick) {
    QVERIFY(image.size() < 300 * 2048);
  } else {
    QCOMPARE(image.size(), 300 * 2048);
  }
  // The job's end: idle, the compilation and its view emptied, the status
  // bar back to rest, the total as the save left it.
  QVERIFY(!f.W().FBusy);
  QVERIFY(f.W().actSaveISO->isEnabled());
  QVERIFY(!f.W().actAbort->isEnabled());
  QCOMPARE(f.W().zqCDBurner1.FilesCount(), 0);
  QCOMPARE(f.W().lvwModel->Count(), 0);
  QCOMPARE(f.W().tvwISO->topLevelItemCount(), 1);
  QCOMPARE(f.W().tvwISO->currentItem()->text(0), QStringLiteral("NEW"));
  QCOMPARE(f.W().lblProgress->text(), QStringLiteral("Progress: "));
  QVERIFY(f.W().dxstbOne->text().isEmpty());
  QCOMPARE(f.W().dxbarProgress->value(), 0);
  QCOMPARE(f.W().dxbarProgress->maximum(), 300);
  QCOMPARE(f.W().lblTotalSpace->text(), FormatMegabytes(300 * 2048));
  QVERIFY(QApplication::overrideCursor() == nullptr);
  std::vector<std::string> debug = *f.T.Debug;
  QVERIFY(std::find(debug.begin(), debug.end(), "0|>>> Burn successful") != debug.end());
}

void TSaveIsoTest::emptyCompilation() {
  TTestPlace place;
  TWindowUnderTest t = MakeWindow(place.Environment());
  TDialogLog log = AnswerDialogs([&] { t.Window->actSaveISO->trigger(); }, {QString("x")});
  QCOMPARE(log.Messages, QStringList{"Please add the file or directory first!"});
  QVERIFY(log.InputTitles.isEmpty());
}

void TSaveIsoTest::replaceQuestion() {
  TSaveFixture f;
  QuickSaveISO = true;
  QFile old(f.Out + "/backup.iso");
  QVERIFY(old.open(QIODevice::WriteOnly));
  old.write("precious");
  old.close();

  TDialogLog log = SaveAs(f.W(), "backup", {QMessageBox::No});
  QCOMPARE(log.Messages.size(), 1);
  QVERIFY(log.Messages[0].startsWith("backup.iso already exists."));
  QCOMPARE(ReadFile(f.Out + "/backup.iso"), QByteArray("precious"));
  QCOMPARE(f.W().zqCDBurner1.FilesCount(), 3);
  QVERIFY(!f.W().FBusy);

  log = SaveAs(f.W(), "backup", {QMessageBox::Yes});
  QCOMPARE(log.Messages.size(), 2);
  QCOMPARE(log.Messages[1], QStringLiteral("ISO file has saved successfully!"));
  QCOMPARE(ReadFile(f.Out + "/backup.iso").mid(16 * 2048 + 1, 5), QByteArray("CD001"));
}

void TSaveIsoTest::imageOverItsOwnSource() {
  // The image named like a file it would copy: refused, the file kept.
  TSaveFixture f;
  QuickSaveISO = true;
  const QString source = f.Place.MakeFile("out/data.iso", 3000);
  f.W().AddSourceItems(f.W().RootNode(), {{source, false}});
  TDialogLog log = SaveAs(f.W(), "data.iso", {QMessageBox::Yes});
  QCOMPARE(log.Messages.size(), 1);
  QVERIFY(log.Messages[0].startsWith("Invalid Name."));
  QCOMPARE(QFileInfo(source).size(), 3000);
  QCOMPARE(f.W().zqCDBurner1.FilesCount(), 4);
}

void TSaveIsoTest::threadedSaveHandsOverAndWaits() {
  TSaveFixture f(3 * 1024 * 1024);
  // The handler's own log line tells on which thread it runs and whether
  // the job's thread still waits for it.
  bool jobWaited = false;
  bool onWindowThread = false;
  TOnDebugMsg inner = f.W().zqCDBurner1.OnDebugMessage;
  f.W().zqCDBurner1.OnDebugMessage = [&, inner](TSCSIDevice* s, const std::string& m, uint8_t k) {
    if (m == ">>> Burn successful") {
      jobWaited = recording::JobRunning();
      onWindowThread = QThread::currentThread() == f.W().thread();
    }
    inner(s, m, k);
  };
  TDialogLog log = AnswerDialogs(
      [&] {
        f.W().actSaveISO->trigger();
        // Busy while the writer runs, and the loop turns meanwhile.
        QVERIFY(f.W().FBusy);
        QVERIFY(f.W().actAbort->isEnabled());
        QCOMPARE(f.W().lblProgress->text(), QStringLiteral("Files Saving Progress: "));
        QVERIFY(f.W().Timer1->isActive());
        QVERIFY(WaitIdle(f.W()));
      },
      {QString("threaded")});
  QCOMPARE(log.Messages, QStringList{"ISO file has saved successfully!"});
  QVERIFY(jobWaited);
  QVERIFY(onWindowThread);
  QVERIFY(!f.W().Timer1->isActive());
  QCOMPARE(QFileInfo(f.Out + "/threaded.iso").size() % 2048, 0);
  QVERIFY(QFileInfo(f.Out + "/threaded.iso").size() > 3 * 1024 * 1024);
}

void TSaveIsoTest::earlyFailureOnTheWindowsThread() {
  // A source gone before the save: the reader fails before the writer
  // starts and the end is reported inside the command, on the window's
  // own thread; the hand-over runs the handler at once.
  TSaveFixture f;
  QVERIFY(QFile::remove(f.Place.Root() + "/src/a.txt"));
  TDialogLog log = AnswerDialogs([&] { f.W().actSaveISO->trigger(); }, {QString("gone")});
  // Reported before the command returned.
  QCOMPARE(log.Messages.size(), 1);
  QVERIFY2(log.Messages[0].startsWith("Failed in Saving ISO file!\r\nError: "),
           qPrintable(log.Messages[0]));
  QVERIFY(!f.W().FBusy);
  QVERIFY(!recording::JobRunning());
  QCOMPARE(f.W().zqCDBurner1.FilesCount(), 0);
}

void TSaveIsoTest::failedSaveEmptiesTheCompilation() {
  for (bool quick : {true, false}) {
    // A folder where the image should go: refused before anything is
    // written, and the compilation stays for the user to mend.
    TSaveFixture f;
    QuickSaveISO = quick;
    QVERIFY(QDir().mkpath(f.Out + "/taken.iso"));
    TDialogLog log = SaveAs(f.W(), "taken", {QMessageBox::Yes});
    QCOMPARE(log.Messages.size(), 1);
    QVERIFY2(log.Messages[0].endsWith("taken.iso is a folder"), qPrintable(log.Messages[0]));
    QCOMPARE(f.W().zqCDBurner1.FilesCount(), 3);

    // A source that changed since it was added: the save fails, the image
    // it was to replace stays as it was, and the compilation is emptied as
    // after every write job.
    QFile old(f.Out + "/backup.iso");
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("precious");
    old.close();
    QFile source(f.Place.Root() + "/src/a.txt");
    QVERIFY(source.open(QIODevice::WriteOnly | QIODevice::Truncate));
    source.write("changed");
    source.close();
    log = SaveAs(f.W(), "backup", {QMessageBox::Yes});
    QCOMPARE(log.Messages.size(), 2);
    QVERIFY2(log.Messages[1].startsWith("Failed in Saving ISO file!\r\nError: "),
             qPrintable(log.Messages[1]));
    QVERIFY2(log.Messages[1].contains("HAS CHANGED"), qPrintable(log.Messages[1]));
    QVERIFY2(log.Messages[1].contains("\r\nphase: "), qPrintable(log.Messages[1]));
    QCOMPARE(ReadFile(f.Out + "/backup.iso"), QByteArray("precious"));
    QCOMPARE(QDir(f.Out).entryList(QDir::Files), QStringList{"backup.iso"});
    QCOMPARE(f.W().zqCDBurner1.FilesCount(), 0);
    QCOMPARE(f.W().lvwModel->Count(), 0);
    std::vector<std::string> debug = *f.T.Debug;
    QVERIFY(std::find(debug.begin(), debug.end(), "0|>>> Burn error") != debug.end());
  }
}

void TSaveIsoTest::leftOutEntriesAreNamedInTheQuestion() {
  // A FIFO cannot be added; the status bar says so, and the file name
  // question says it once more before anything is saved without it.
  TSaveFixture f;
  QuickSaveISO = true;
  QVERIFY(QDir().mkpath(f.Place.Root() + "/odd"));
  QVERIFY(mkfifo(QFile::encodeName(f.Place.Root() + "/odd/pipe").constData(), 0644) == 0);
  f.W().AddSourceItems(f.W().RootNode(), {{f.Place.Root() + "/odd", true}});
  TDialogLog log = SaveAs(f.W(), "partial");
  QCOMPARE(log.InputPrompts,
           QStringList{"Please Input Filename\r\n1 item could not be added (see the status bar)"});
  QCOMPARE(log.Messages, QStringList{"ISO file has saved successfully!"});
}

void TSaveIsoTest::stoppingStateUntilTheWriterReports() {
  // Abort pressed after the writer has ended but before its report has
  // been run on the window's thread: the window stays busy, with nothing
  // enabled, until the report has been run.
  TSaveFixture f;
  std::atomic<bool> reported{false};
  TWriteDoneEvent inner = f.W().zqCDBurner1.OnWriteDone;
  f.W().zqCDBurner1.OnWriteDone = [&, inner](TzqCDBurner* s, const std::string& e) {
    reported = true;
    inner(s, e);
  };
  TDialogLog log = AnswerDialogs(
      [&] {
        f.W().actSaveISO->trigger();
        // The loop does not turn here, so the report stays queued.
        for (int i = 0; i < 3000 && !reported; ++i) QThread::msleep(10);
        QVERIFY(reported);
        QThread::msleep(50);
        QVERIFY(recording::JobRunning());  // its thread waits for the handler
        f.W().actAbort->trigger();
        QVERIFY(f.W().FBusy);
        QVERIFY(f.W().FStopping);
        QVERIFY(!f.W().actAbort->isEnabled());
        for (QAction* a : {f.W().actBurn, f.W().actSaveISO, f.W().actNew, f.W().actErase,
                           f.W().actExit, f.W().actPreferences})
          QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(!f.W().cboBurner->isEnabled());
        QVERIFY(!f.W().Timer1->isActive());
        QVERIFY(f.W().dxstbOne->text().isEmpty());
        QCOMPARE(f.W().dxbarProgress->value(), 0);
        // Closing is refused while it stops.
        QCloseEvent request;
        QApplication::sendEvent(&f.W(), &request);
        QVERIFY(!request.isAccepted());
        QVERIFY(WaitIdle(f.W()));
      },
      {QString("stopped")});
  // The refusal's message box lets the loop turn, so the report may run
  // while it is up.
  QCOMPARE(log.Messages.size(), 2);
  QVERIFY(log.Messages.contains("now is burning, can not close."));
  QVERIFY(log.Messages.contains("ISO file has saved successfully!"));
  QVERIFY(!f.W().FStopping);
  QVERIFY(f.W().actSaveISO->isEnabled());
  QVERIFY(!f.W().actAbort->isEnabled());
  QCOMPARE(f.W().zqCDBurner1.FilesCount(), 0);
}

void TSaveIsoTest::jolietFromThePreferences() {
  // "Joliet File System" cleared and Cancel pressed: the next save has no
  // Joliet descriptor (sector 17 is then the set terminator).
  TSaveFixture f;
  QuickSaveISO = true;
  AnswerDialogs([&] { f.W().actSaveISO->trigger(); }, {QString("with")});
  QCOMPARE(static_cast<uint8_t>(ReadFile(f.Out + "/with.iso").at(17 * 2048)), 2);

  f.W().AddSourceItems(f.W().RootNode(), {{f.Place.MakeFile("src/b.txt", 10), false}});
  AnswerDialogs([&] { f.W().actPreferences->trigger(); }, {},
                [&](QWidget* d) {
                  auto* prefs = qobject_cast<TfrmPreferences*>(d);
                  QVERIFY(prefs != nullptr);
                  prefs->chkJoliet->setChecked(false);
                  QTest::mouseClick(prefs->findChild<QWidget*>("btnCancel"), Qt::LeftButton);
                });
  AnswerDialogs([&] { f.W().actSaveISO->trigger(); }, {QString("without")});
  QCOMPARE(static_cast<uint8_t>(ReadFile(f.Out + "/without.iso").at(17 * 2048)), 255);
}

void TSaveIsoTest::progressDisplay() {
  TTestPlace place;
  TWindowUnderTest t = MakeWindow(place.Environment());
  TFGUI& w = *t.Window;
  w.zqCDBurner1.SessionSectors = 51200;
  w.zqCDBurner1.WritePostGap = false;
  w.dxbarProgress->setMaximum(51200);
  w.dxpgrHBuffer->setMaximum(4 * 1024 * 1024);
  w.zqCDBurner1.BytesWritten = 10485760;
  w.zqCDBurner1.DeviceBufferSize = 4 * 1024 * 1024;
  w.zqCDBurner1.DeviceFreeBufferSize = 1024 * 1024;
  w.Timer1Timer();
  QCOMPARE(w.dxstbOne->text(), QStringLiteral("Burned Data Size: 10.00/100.00 MB"));
  QCOMPARE(w.dxbarProgress->value(), 5120);
  QCOMPARE(w.dxpgrHBuffer->value(), 3 * 1024 * 1024);
  QCOMPARE(w.dxpgrBuffer->value(), 0);  // no job: no read-ahead buffer
  // More free room than the buffer holds: the bar keeps its place.
  w.zqCDBurner1.DeviceFreeBufferSize = 5 * 1024 * 1024;
  w.zqCDBurner1.BytesWritten = 1234567890;
  w.Timer1Timer();
  QCOMPARE(w.dxpgrHBuffer->value(), 3 * 1024 * 1024);
  QCOMPARE(w.dxstbOne->text(), QStringLiteral("Burned Data Size: 1,177.38/100.00 MB"));
  QCOMPARE(w.dxbarProgress->value(), 51200);  // held at its end
}

TIDEMARK_QTEST_MAIN(TSaveIsoTest)
#include "tst_save_iso.moc"
