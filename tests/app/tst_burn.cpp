// The commands that write to a disc, against virtual recorders: burning a
// compilation (twice, as two sessions), burning an image file, erasing a
// CD-RW, Abort in the middle of a burn, a write error from a fault rule,
// the question before a burn on an overwritable disc, the layout window
// before a burn, and the speed lists the recorder gives.
#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/disc_layout.h"
#include "app/import_session.h"
#include "app/item_list_model.h"
#include "app/preferences.h"
#include "app/tree_view.h"
#include "app_test_support.h"
#include "device/session_list.h"
#include "private_bus.h"
#include "recording/job_state.h"
#include "vrec_place.h"

namespace {

// The recorders of this program.
enum : int {
  kTwoSessions = 0,  // CD-R: burned twice
  kImageBurn = 1,    // CD-R: an image file burned to it
  kRewritable = 2,   // CD-RW: burned, then erased
  kSlow = 3,         // CD-R recording at 4x: Abort in the middle
  kFaulty = 4,       // CD-R whose WRITE (10) fails at sector 40
  kPressed = 5,      // CD-ROM made from an image
  kPlusRw = 6,       // DVD+RW: written from its start every time; FORMAT UNIT fails
  kRam = 7,          // DVD-RAM: written from its start every time
};

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WaitIdle(TFGUI& w, int ms = 120000) {
  return QTest::qWaitFor(
      [&] { return !w.FBusy && !recording::JobRunning() && !w.zqCDBurner1.Erasing(); }, ms);
}

// Start Burn, answering "Start to Burn?" with `answer`, to the job's end.
TDialogLog Burn(TFGUI& w, QMessageBox::StandardButton answer = QMessageBox::Yes,
                const std::function<void(QWidget*)>& other = {}) {
  return AnswerDialogs(
      [&] {
        w.actBurn->trigger();
        QVERIFY(WaitIdle(w));
      },
      {}, other, {answer});
}

// The sessions the disc in the window's recorder holds, as the session
// dialog lists them (the " Free" line last).
QStringList SessionLines(TFGUI& w) {
  QStringList out;
  for (const std::string& l : device::ReadSessionList(w.zqCDBurner1).Lines)
    out << QString::fromStdString(l);
  return out;
}

// Closes the tray again after an eject and waits for the disc.
void Load(TFGUI& w) {
  w.actLoad->trigger();
  QVERIFY(w.zqCDBurner1.WaitReady(30000, 100));
}

// The names at the root of the disc's session `n` (-1: the last), read
// back through the burner (which empties its compilation for it).
QStringList SessionRoot(TFGUI& w, int n) {
  TzqCDBurner& b = w.zqCDBurner1;
  b.ClearAll(TzqCDBurner::kDefaultMaxFiles, TzqCDBurner::kDefaultMaxDirs);
  if (!b.ImportSession(static_cast<int8_t>(n), b.RootDir())) return {"(no session)"};
  QStringList out;
  for (PFileEntry e = b.RootDir()->FirstChild; e != nullptr; e = e->Next)
    out << QString::fromStdString(e->LongName);
  out.sort();
  b.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  return out;
}

}  // namespace

class TBurnTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanup();
  void burnTwoSessions();
  void answeringNo();
  void burnAnImage();
  void eraseARewritable();
  void eraseRefusedOnPressedDisc();
  void eraseThatCannotStart();
  void abortInTheMiddle();
  void writeErrorFromAFault();
  void overwritableDiscs();
  void layoutBeforeTheBurn();
  void speedListsOfTheRecorder();

 private:
  TWindowUnderTest Window(int recorder);
  TTestPlace FPlace;
  QString FImage;
  // A stand-in logind, which the jobs take their inhibitor from.
  std::unique_ptr<PrivateBus> FBus;
};

void TBurnTest::initTestCase() {
  FPlace.MakeFile("one/alpha.txt", 5000);
  FPlace.MakeFile("one/docs/inner.txt", 300);
  FPlace.MakeFile("two/beta.bin", 70000);
  QFile text(FPlace.Root() + "/two/notes.txt");
  QVERIFY(text.open(QIODevice::WriteOnly));
  text.write("second session\n");
  text.close();
  // Four times the recorder's buffer: the writer is still sending when
  // Abort comes.
  FPlace.MakeFile("big/large.bin", 16 * 1024 * 1024);

  // An image file to burn, saved by the burner itself.
  TzqCDBurner b;
  b.ClearAll(1000, 100);
  b.StripSourcePath = true;
  QCOMPARE(b.InsertDir("\\", (FPlace.Root() + "/one/").toStdString(), false, true, true, 63, "*.*"),
           1);
  QVERIFY(b.Prepare(true));
  FImage = FPlace.Root() + "/one.iso";
  QVERIFY(b.SaveISO(FImage.toStdString(), true));

  TVrecPlace& v = TVrecPlace::Get();
  for (int r : {kTwoSessions, kImageBurn, kSlow, kFaulty}) QVERIFY(v.Vrec({"insert", "CD-R"}, r));
  QVERIFY(v.Vrec({"insert", "CD-RW"}, kRewritable));
  QVERIFY(v.Vrec({"insert-image", FImage}, kPressed));
  QVERIFY(v.Vrec({"insert", "DVD+RW"}, kPlusRw));
  QVERIFY(v.Vrec({"insert", "DVD-RAM"}, kRam));
  QVERIFY(v.Vrec({"speed", "4x"}, kSlow));
  QVERIFY(v.Vrec({"fault", "add", "04=05/24/00"}, kPlusRw));
  QVERIFY(v.Vrec({"fault", "add", "2A@40=03/0C/00"}, kFaulty));
  if (PrivateBus::DaemonInstalled()) {
    FBus = std::make_unique<PrivateBus>(FPlace.Root().toStdString(),
                                        std::vector<std::string>{"login1"});
    QVERIFY(FBus->Running(true));
  }
}

void TBurnTest::cleanup() {
  ShowFiles = false;
}

TWindowUnderTest TBurnTest::Window(int recorder) {
  TWindowUnderTest t = MakeWindow(TVrecPlace::Get().Environment(FPlace.Environment()));
  SelectRecorder(*t.Window, recorder);
  return t;
}

void TBurnTest::burnTwoSessions() {
  TWindowUnderTest t = Window(kTwoSessions);
  TFGUI& w = *t.Window;
  w.AddSourceItems(w.RootNode(), {{FPlace.Root() + "/one/alpha.txt", false},
                                  {FPlace.Root() + "/one/docs", true}});
  const qint64 total = w.zqCDBurner1.TotalAddedBytes();
  TDialogLog log = Burn(w);
  QCOMPARE(log.MessageTitles.first(), QStringLiteral("Start to Burn?"));
  QCOMPARE(log.Messages, (QStringList{"Total File Sizes " + FormatMegabyteFigure(total) + " MB",
                                      "Burning has completed successfully!"}));
  // Idle, the compilation and its view emptied, the bars at rest.
  QVERIFY(!w.FBusy);
  QVERIFY(w.actBurn->isEnabled());
  QVERIFY(!w.actAbort->isEnabled());
  QCOMPARE(w.zqCDBurner1.FilesCount(), 0);
  QCOMPARE(w.lvwModel->Count(), 0);
  QCOMPARE(w.tvwISO->currentItem()->text(0), QStringLiteral("NEW"));
  QCOMPARE(w.lblProgress->text(), QStringLiteral("Progress: "));
  QVERIFY(w.dxstbOne->text().isEmpty());
  QCOMPARE(w.dxbarProgress->value(), 0);
  QVERIFY(QApplication::overrideCursor() == nullptr);
  std::vector<std::string> debug = *t.Debug;
  QVERIFY(std::find(debug.begin(), debug.end(),
                    "0|>>> CD Burner " + TVrecPlace::Entry(kTwoSessions).toStdString()) !=
          debug.end());
  QVERIFY(std::find(debug.begin(), debug.end(), "0|>>> Completed") != debug.end());
  QVERIFY(std::find(debug.begin(), debug.end(), "0|>>> Burn successful") != debug.end());
  // "Eject after burn" is on at first: the tray is open now.
  QVERIFY(!w.zqCDBurner1.TestUnitReady(5000));
  Load(w);
  QCOMPARE(SessionRoot(w, 1), (QStringList{"alpha.txt", "docs"}));

  // A second session, kept in the drive.
  w.Preferences()->chkEjectBurn->setChecked(false);
  w.AddSourceItems(w.RootNode(), {{FPlace.Root() + "/two/beta.bin", false},
                                  {FPlace.Root() + "/two/notes.txt", false}});
  log = Burn(w);
  QCOMPARE(log.Messages.last(), QStringLiteral("Burning has completed successfully!"));
  QVERIFY(w.zqCDBurner1.TestUnitReady(5000));
  const QStringList lines = SessionLines(w);
  QCOMPARE(lines.size(), 3);
  QVERIFY(lines[0].startsWith("  001      000:02:00  "));
  QVERIFY2(lines[1].startsWith("  002      "), qPrintable(lines[1]));
  QVERIFY(lines[2].startsWith(" Free      "));

  // The session dialog on the two-session disc: session 2 imported and
  // browsed, and a file of it extracted.
  const QString target = FPlace.MakeFolder("extracted") + "/notes.txt";
  QStringList dialogLines, browsed;
  log = AnswerDialogs([&] { w.actSessionInfo->trigger(); }, {target},
                      [&](QWidget* d) {
                        if (auto* s = qobject_cast<TfrmSessions*>(d)) {
                          dialogLines.clear();
                          for (int i = 0; i < s->lb->count(); ++i)
                            dialogLines << s->lb->item(i)->text();
                          QCOMPARE(s->lMedium->text(), QStringLiteral("CD-R"));
                          s->lb->setCurrentRow(1);
                          s->SpeedButton1Click();
                          s->close();
                        } else if (auto* b = qobject_cast<TfrmTree*>(d)) {
                          for (int r = 0; r < b->fl->rowCount(); ++r) {
                            const QString cell = b->fl->item(r, 0)->text();
                            browsed << cell.mid(3);
                            if (cell.endsWith("notes.txt")) b->fl->setCurrentCell(r, 0);
                          }
                          b->Extract1Click();
                          b->close();
                        }
                      });
  QCOMPARE(dialogLines, lines);
  browsed.sort();
  QCOMPARE(browsed, (QStringList{"beta.bin", "notes.txt"}));
  QCOMPARE(ReadFile(target), QByteArray("second session\n"));
  // The imported session is the compilation now; the list is not told.
  QVERIFY(w.zqCDBurner1.FindEntry(w.zqCDBurner1.RootDir(), "beta.bin") != nullptr);
}

void TBurnTest::answeringNo() {
  TWindowUnderTest t = Window(kImageBurn);
  TFGUI& w = *t.Window;
  w.AddSourceItems(w.RootNode(), {{FPlace.MakeFile("mb.bin", 1048576), false},
                                  {FPlace.MakeFile("mb2.bin", 10), false}});
  // A FIFO cannot go on a disc: left out, and the question says so.
  QVERIFY(QDir().mkpath(FPlace.Root() + "/odd"));
  QVERIFY(mkfifo(QFile::encodeName(FPlace.Root() + "/odd/pipe").constData(), 0644) == 0);
  w.AddSourceItems(w.RootNode(), {{FPlace.Root() + "/odd", true}});
  TDialogLog log = Burn(w, QMessageBox::No);
  QCOMPARE(log.Messages, QStringList{"Total File Sizes 1.00 MB\r\n1 item could not be added "
                                     "(see the status bar)"});
  QCOMPARE(w.zqCDBurner1.FilesCount(), 3);
  QCOMPARE(w.lvwModel->Count(), 3);
  QCOMPARE(w.lblProgress->text(), QStringLiteral("Burning Progress: "));
  QVERIFY(!w.FBusy);
  QVERIFY(!w.Timer1->isActive());
  // Nothing was written: the disc is still blank.
  QCOMPARE(SessionLines(w).size(), 1);

  TWindowUnderTest e = Window(kImageBurn);
  log = Burn(*e.Window);
  QCOMPARE(log.Messages, QStringList{"Please add the file or directory first!"});
}

void TBurnTest::burnAnImage() {
  TWindowUnderTest t = Window(kImageBurn);
  TFGUI& w = *t.Window;
  QStringList filters;
  TDialogLog log = AnswerDialogs(
      [&] {
        w.actBurnISO->trigger();
        QVERIFY(WaitIdle(w));
      },
      {},
      [&](QWidget* d) {
        auto* od = qobject_cast<QFileDialog*>(d);
        QVERIFY(od != nullptr);
        filters = od->nameFilters();
        QCOMPARE(od->defaultSuffix(), QStringLiteral("iso"));
        QCOMPARE(od->fileMode(), QFileDialog::ExistingFile);
        // The dialog does not replace the name of a focused name field.
        if (QWidget* focused = od->focusWidget()) focused->clearFocus();
        od->selectFile(FImage);
        QCOMPARE(od->selectedFiles(), QStringList{FImage});
        QMetaObject::invokeMethod(od, "accept");
      });
  QCOMPARE(filters.size(), 2);
  QVERIFY(filters[0].startsWith(".ISO Files"));
  QVERIFY(filters[1].startsWith("All File"));
  QCOMPARE(log.Messages, QStringList{"Burning has completed successfully!"});
  // The progress range is the image's length, with the 300-sector minimum
  // of a session padded to it.
  const qint64 sectors = QFileInfo(FImage).size() / 2048;
  QCOMPARE(w.dxbarProgress->maximum(),
           w.zqCDBurner1.WritePostGap ? std::max<qint64>(sectors, 300) : sectors);
  Load(w);
  // The image holds the folder it was saved with.
  QCOMPARE(SessionRoot(w, 1), QStringList{"one"});

  // Cancel in the file dialog starts nothing.
  log = AnswerDialogs([&] { w.actBurnISO->trigger(); });
  QVERIFY(log.Messages.isEmpty());
  QVERIFY(!w.FBusy);
}

void TBurnTest::eraseARewritable() {
  TWindowUnderTest t = Window(kRewritable);
  TFGUI& w = *t.Window;
  w.Preferences()->chkEjectBurn->setChecked(false);
  w.AddSourceItems(w.RootNode(), {{FPlace.Root() + "/one/alpha.txt", false}});
  Burn(w);
  QCOMPARE(SessionLines(w).size(), 2);

  // No: nothing happens.
  TDialogLog log = AnswerDialogs([&] { w.actErase->trigger(); }, {}, {}, {QMessageBox::No});
  QCOMPARE(log.MessageTitles, QStringList{"Delete all data Quickly! Are you sure?"});
  QCOMPARE(log.Messages, QStringList{"Delete all data"});
  QVERIFY(!w.FBusy);
  QCOMPARE(SessionLines(w).size(), 2);

  // Yes: busy with Abort off (an erase cannot be stopped), no message at
  // the end, the disc blank and ejected ("Eject after erase" is on): the
  // tray opens after the erase has put the drive back to rest, which
  // would load the disc again.
  bool abortWhileErasing = true;
  bool busyWhileErasing = false;
  log = AnswerDialogs(
      [&] {
        w.actErase->trigger();
        busyWhileErasing = w.FBusy;
        abortWhileErasing = w.actAbort->isEnabled();
        QVERIFY(WaitIdle(w));
      },
      {}, {}, {QMessageBox::Yes});
  QCOMPARE(log.Messages, QStringList{"Delete all data"});
  QVERIFY(busyWhileErasing);
  QVERIFY(!abortWhileErasing);
  QVERIFY(w.actErase->isEnabled());
  QVERIFY(QApplication::overrideCursor() == nullptr);
  std::vector<std::string> debug = *t.Debug;
  QVERIFY(std::find(debug.begin(), debug.end(), "0|>>> Deletion successful") != debug.end());
  QVERIFY(!w.zqCDBurner1.TestUnitReady(5000));
  Load(w);
  TDisc disc;
  w.zqCDBurner1.GetDiscInfo(disc);
  QCOMPARE(int{disc.DiscStatus}, 0);  // empty
  QCOMPARE(SessionLines(w).size(), 1);

  // "Eject after erase" cleared and Cancel pressed: the disc stays in.
  AnswerDialogs([&] { w.actPreferences->trigger(); }, {},
                [&](QWidget* d) {
                  auto* p = qobject_cast<TfrmPreferences*>(d);
                  p->chkEjectErase->setChecked(false);
                  QTest::mouseClick(p->findChild<QWidget*>("btnCancel"), Qt::LeftButton);
                });
  AnswerDialogs(
      [&] {
        w.actErase->trigger();
        QVERIFY(WaitIdle(w));
      },
      {}, {}, {QMessageBox::Yes});
  QVERIFY(w.zqCDBurner1.TestUnitReady(5000));
}

void TBurnTest::eraseRefusedOnPressedDisc() {
  TWindowUnderTest t = Window(kPressed);
  TDialogLog log =
      AnswerDialogs([&] { t.Window->actErase->trigger(); }, {}, {}, {QMessageBox::Yes});
  QCOMPARE(log.Messages, QStringList{"This is not a rewritable CD!"});
  QVERIFY(!t.Window->FBusy);
}

void TBurnTest::eraseThatCannotStart() {
  // The refusal is reported inside the command, on the window's own
  // thread: the window is idle again, with no message shown.
  TWindowUnderTest t = Window(kPlusRw);
  TFGUI& w = *t.Window;
  TDialogLog log = AnswerDialogs(
      [&] {
        w.actErase->trigger();
        QVERIFY(WaitIdle(w));
      },
      {}, {}, {QMessageBox::Yes});
  QCOMPARE(log.Messages, QStringList{"Delete all data"});
  QVERIFY(!w.FBusy);
  QVERIFY(w.actErase->isEnabled());
  QVERIFY(!w.actAbort->isEnabled());
  QVERIFY(QApplication::overrideCursor() == nullptr);
  std::vector<std::string> debug = *t.Debug;
  QVERIFY(std::find(debug.begin(), debug.end(), "0|>>> Deletion error") != debug.end());
  // The disc was not ejected.
  QVERIFY(w.zqCDBurner1.TestUnitReady(5000));
}

void TBurnTest::abortInTheMiddle() {
  TWindowUnderTest t = Window(kSlow);
  TFGUI& w = *t.Window;
  w.AddSourceItems(w.RootNode(), {{FPlace.Root() + "/big/large.bin", false}});
  QString phase;
  QString shown;
  int bar = 0;
  TDialogLog log = AnswerDialogs(
      [&] {
        w.actBurn->trigger();
        QVERIFY(w.FBusy);
        QVERIFY(w.actAbort->isEnabled());
        QCOMPARE(w.lblProgress->text(), QStringLiteral("Burning Progress: "));
        // Nothing in the window can ask the drive while the job has it.
        for (QAction* a : {w.actEject, w.actLoad, w.actSessionInfo, w.actBurnerInfo,
                           w.actPreferences, w.actErase, w.actBurnISO, w.actSaveISO})
          QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
        QVERIFY(!w.cboSpeed->isEnabled());
        QVERIFY(!w.cboBurner->isEnabled());
        // The window stays responsive while the recorder writes; the
        // half-second display follows the job.
        QVERIFY(QTest::qWaitFor([&] { return w.dxbarProgress->value() > 64; }, 60000));
        // The machine is kept awake while the disc is written.
        if (FBus) {
          QCOMPARE(PrivateBus::Inhibitors(),
                   std::vector<std::string>{"shutdown:sleep:idle|Tidemark|Writing a disc|block"});
        }
        shown = w.dxstbOne->text();
        bar = w.dxbarProgress->value();
        QVERIFY(QTest::qWaitFor([&] { return w.lblPhase->text().contains(" MB/s"); }, 10000));
        phase = w.lblPhase->text();
        w.actAbort->trigger();
        QVERIFY(w.FBusy);
        QVERIFY(!w.actAbort->isEnabled());
        QVERIFY(!w.actBurn->isEnabled());
        QVERIFY(!w.actErase->isEnabled());
        QVERIFY(!w.cboBurner->isEnabled());
        QVERIFY(WaitIdle(w));
      },
      {}, {}, {QMessageBox::Yes});
  QVERIFY2(shown.startsWith("Burned Data Size: "), qPrintable(shown));
  // Beside it, what the job does and how fast, in the medium's x too.
  QVERIFY2(phase.startsWith("writing, ") && phase.contains("x, "), qPrintable(phase));
  QVERIFY(w.lblPhase->text().isEmpty());
  // The bars say what they measure.
  QCOMPARE(w.dxbarProgress->accessibleName(), QStringLiteral("Written"));
  QCOMPARE(w.dxpgrBuffer->toolTip(), QStringLiteral("Read-ahead buffer"));
  QCOMPARE(w.dxpgrHBuffer->accessibleName(), QStringLiteral("Recorder buffer"));
  QVERIFY(shown.endsWith(" MB"));
  QVERIFY(bar > 0);
  // The message, and below it where the burn stopped and how the disc
  // was left.
  QVERIFY2(log.Messages.last().startsWith(
               QStringLiteral("Failed in Burning!\r\nError: OPERATION ABORTED BY USER\r\n"
                              "phase: writing\r\nsectors written: ")),
           qPrintable(log.Messages.last()));
  QVERIFY2(log.Messages.last().contains(QStringLiteral("\r\ndisc left: ")),
           qPrintable(log.Messages.last()));
  QVERIFY(!w.FStopping);
  QVERIFY(w.actBurn->isEnabled());
  if (FBus) QVERIFY(PrivateBus::Inhibitors().empty());
  QCOMPARE(w.zqCDBurner1.FilesCount(), 0);
  QCOMPARE(w.lvwModel->Count(), 0);
}

void TBurnTest::writeErrorFromAFault() {
  TWindowUnderTest t = Window(kFaulty);
  TFGUI& w = *t.Window;
  w.AddSourceItems(w.RootNode(), {{FPlace.Root() + "/two/beta.bin", false}});
  TDialogLog log = Burn(w);
  QCOMPARE(log.Messages.size(), 2);
  QVERIFY2(log.Messages[1].startsWith("Failed in Burning!\r\nError: "),
           qPrintable(log.Messages[1]));
  QVERIFY(log.Messages[1].size() > QStringLiteral("Failed in Burning!\r\nError: ").size());
  // Below the message: where it failed, on which command, and how the disc
  // was left; the same lines are in the error log.
  for (const char* part : {"\r\nphase: writing\r\n", "\r\ncommand: WRITE (10) at sector ",
                           "\r\nsectors written: ", "\r\ndisc left: ", "\r\nhint: "})
    QVERIFY2(log.Messages[1].contains(QString::fromUtf8(part)), qPrintable(log.Messages[1]));
  // Emptied as after a burn that worked.
  QCOMPARE(w.zqCDBurner1.FilesCount(), 0);
  QCOMPARE(w.lvwModel->Count(), 0);
  std::vector<std::string> debug = *t.Debug;
  QVERIFY(std::find(debug.begin(), debug.end(), "0|>>> Burn error") != debug.end());
}

void TBurnTest::overwritableDiscs() {
  // A session on these media is written from the disc's first sector: the
  // question says that what the disc holds is replaced, and the files of
  // an imported session, which that would overwrite, are not burned.
  for (const auto& [recorder, medium] :
       {std::pair{kPlusRw, QStringLiteral("DVD+RW")}, std::pair{kRam, QStringLiteral("DVD-RAM")}}) {
    TWindowUnderTest t = Window(recorder);
    TFGUI& w = *t.Window;
    w.Preferences()->chkEjectBurn->setChecked(false);
    w.AddSourceItems(w.RootNode(), {{FPlace.Root() + "/one/alpha.txt", false}});
    const QString total = FormatMegabyteFigure(w.zqCDBurner1.TotalAddedBytes());
    TDialogLog log = Burn(w);
    QCOMPARE(log.Messages,
             (QStringList{"Total File Sizes " + total + " MB\r\nThe " + medium +
                              " is written from its start: what it holds is replaced.",
                          "Burning has completed successfully!"}));
    QCOMPARE(SessionRoot(w, 1), QStringList{"alpha.txt"});

    // The session imported, as the session dialog does it, and a file added.
    TzqCDBurner& b = w.zqCDBurner1;
    b.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
    QVERIFY(b.ImportSession(1, b.RootDir()));
    w.AddSourceItems(w.RootNode(), {{FPlace.Root() + "/two/notes.txt", false}});
    log = Burn(w, QMessageBox::Yes);
    QCOMPARE(log.Messages, QStringList{"The session cannot be continued on a " + medium +
                                       ": the disc is written from its start, over the files "
                                       "of the session."});
    QVERIFY(!w.FBusy);
    QVERIFY(b.FindEntry(b.RootDir(), "notes.txt") != nullptr);
    QCOMPARE(SessionRoot(w, 1), QStringList{"alpha.txt"});
  }
}

void TBurnTest::layoutBeforeTheBurn() {
  // ShowFiles: the layout window comes before the question; what is taken
  // out there is left out of the total asked about.
  ShowFiles = true;
  TWindowUnderTest t = Window(kImageBurn);
  TFGUI& w = *t.Window;
  w.AddSourceItems(w.RootNode(), {{FPlace.MakeFile("keep.bin", 2 * 1048576), false},
                                  {FPlace.MakeFile("drop.bin", 1048576), false}});
  QString caption;
  TDialogLog log = Burn(w, QMessageBox::No, [&](QWidget* d) {
    auto* layout = qobject_cast<TfrmDiscLayout*>(d);
    QVERIFY(layout != nullptr);
    caption = layout->windowTitle();
    for (int r = 0; r < layout->fl->rowCount(); ++r) {
      if (layout->fl->item(r, 0)->text() == "drop.bin") layout->fl->setCurrentCell(r, 0);
    }
    layout->MenuItem1Click();
    layout->bCloseClick();
  });
  QCOMPARE(caption, QStringLiteral("Disk Layout"));
  QCOMPARE(log.Messages, QStringList{"Total File Sizes 2.00 MB"});
  QCOMPARE(w.zqCDBurner1.FilesCount(), 1);
  // The window's list is not refreshed by the layout window.
  QCOMPARE(w.lvwModel->Count(), 2);
}

void TBurnTest::speedListsOfTheRecorder() {
  // Built when the list drops down, from the speeds the recorder takes for
  // its disc: a CD in CD units, a DVD in x div 7.
  const std::pair<int, QStringList> cases[] = {
      {kRewritable,
       {"Max", "24X (3,600 KB/s)", "16X (2,400 KB/s)", "10X (1,500 KB/s)", "04X (600 KB/s)"}},
      {kRam, {"Max", "03X (3,600 KB/s)", "02X (2,400 KB/s)"}},
  };
  for (const auto& [recorder, expected] : cases) {
    TWindowUnderTest t = Window(recorder);
    QComboBox* list = t.Window->cboSpeed;
    list->setCurrentIndex(2);
    list->showPopup();
    list->hidePopup();
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    QCOMPARE(items, expected);
    QCOMPARE(list->currentIndex(), 2);
  }
}

TIDEMARK_QTEST_MAIN(TBurnTest)
#include "tst_burn.moc"
