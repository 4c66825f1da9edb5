// The main window's frame: layout, commands, creation sequence, busy state,
// closing, the error log and the About box.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <stdexcept>

#include "app/about_box.h"
#include "app_test_support.h"

namespace {

QStringList EntryTexts(const QList<QAction*>& actions) {
  QStringList out;
  for (QAction* a : actions) out << (a->isSeparator() ? QStringLiteral("|") : a->text());
  return out;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TMainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void menusToolBarAndDriveBar();
  void commandCaptionsAndShortcuts_data();
  void commandCaptionsAndShortcuts();
  void statusBarAndTimer();
  void sizeFromTheScreen();
  void failedTransportStopsTheCreation();
  void creationWithRecorders();
  void busyStateAndClosing();
  void errorLogEntries();
  void exceptionFromTheMessageLoop();
  void aboutBox();
};

void TMainWindowTest::menusToolBarAndDriveBar() {
  TTestPlace place;
  TFGUI w(place.Environment());
  QCOMPARE(w.windowTitle(), QStringLiteral(" Tidemark CD/DVD Burner"));
  QStringList menus;
  for (QAction* a : w.menuBar()->actions()) menus << a->text();
  QCOMPARE(menus, (QStringList{"&File", "&Edit", "&Drive", "&Tools", "&Help"}));
  QCOMPARE(EntryTexts(w.mnuFile->actions()), (QStringList{"New", "|", "Save ISO", "|", "Exit"}));
  QCOMPARE(EntryTexts(w.mnuEdit->actions()),
           (QStringList{"Add", "|", "Delete", "Clear", "&Rename", "|", "Create Folder",
                        "Extract Files", "|", "Select All", "|", "Property"}));
  QCOMPARE(EntryTexts(w.mnuDrive->actions()),
           (QStringList{"Start Burn", "Burn ISO", "|", "Import Session", "|", "Erase", "|", "Eject",
                        "Load"}));
  QCOMPARE(EntryTexts(w.mnuTools->actions()),
           (QStringList{"Burner Info.", "Session Info.", "|", "Preferences"}));
  QCOMPARE(EntryTexts(w.mnuHelp->actions()), (QStringList{"About"}));
  QCOMPARE(EntryTexts(w.pmnISORoot->actions()),
           (QStringList{"Delete Selected", "Delete All", "&Rename", "Add", "Create Folder",
                        "Extract Files", "Select All", "Property"}));
  QCOMPARE(EntryTexts(w.ToolBar1->actions()),
           (QStringList{"New", "Add", "Save ISO", "|", "Start Burn", "Burn ISO", "Abort", "Erase",
                        "|", "Eject", "Load", "|", "Preferences", "About"}));
  QCOMPARE(w.ToolBar1->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);

  // The drive bar, left to right; the bar's own separators aside.
  QStringList drive;
  for (QAction* a : w.DriveBar->actions()) {
    QWidget* c = w.DriveBar->widgetForAction(a);
    if (auto* l = qobject_cast<QLabel*>(c)) drive << "label:" + l->text();
    if (auto* b = qobject_cast<QComboBox*>(c)) drive << "list:" + b->objectName();
    if (auto* t = qobject_cast<QToolButton*>(c)) drive << "button:" + t->text();
  }
  QCOMPARE(drive, (QStringList{"label:Burner ", "list:cboBurner", "label:Speed: ", "list:cboSpeed",
                               "label:Total Space: ", "label:MB", "button:Burner Info.",
                               "button:Session Info."}));
  QVERIFY(w.lblTotalSpace->alignment() & Qt::AlignRight);
  QVERIFY(w.spbBurnerInfo->autoRaise());
  QVERIFY(!w.cboBurner->isEditable());
  QVERIFY(!w.cboSpeed->isEditable());
  QCOMPARE(w.edtCDDir->text(), QStringLiteral("\\"));
  QVERIFY(w.edtCDDir->isReadOnly());
  QCOMPARE(w.tvwISO->topLevelItem(0)->text(0), QStringLiteral("NEW"));

  // Tapping the flat buttons runs the commands.
  int runs = 0;
  connect(w.actSessionInfo, &QAction::triggered, [&] { ++runs; });
  w.show();
  AnswerDialogs([&] { QTest::mouseClick(w.spbSessionInfo, Qt::LeftButton); });
  QCOMPARE(runs, 1);
}

void TMainWindowTest::commandCaptionsAndShortcuts_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("shortcut");
  QTest::addColumn<bool>("enabled");
  struct Row {
    const char* name;
    const char* caption;
    const char* key;
    bool enabled;
  } rows[] = {
      {"actNew", "New", "", true},
      {"actSaveISO", "Save ISO", "", true},
      {"actExit", "Exit", "", true},
      {"actAdd", "Add", "Ctrl+D", true},
      {"actDelete", "Delete", "Del", true},
      {"actDeleteAll", "Clear", "", true},
      {"actRename", "&Rename", "Ctrl+R", true},
      {"actCreateFolder", "Create Folder", "Ins", true},
      {"actSelectAll", "Select All", "Ctrl+A", true},
      {"actProperty", "Property", "", true},
      {"actBurn", "Start Burn", "", true},
      {"actBurnISO", "Burn ISO", "", true},
      {"actErase", "Erase", "", true},
      {"actAbort", "Abort", "", false},
      {"actEject", "Eject", "", true},
      {"actLoad", "Load", "", true},
      {"actBurnerInfo", "Burner Info.", "", true},
      {"actSessionInfo", "Session Info.", "", true},
      {"actPreferences", "Preferences", "", true},
      {"actAbout", "About", "", true},
  };
  for (const Row& r : rows) {
    QTest::newRow(r.name) << QString(r.name) << QString(r.caption) << QString(r.key) << r.enabled;
  }
}

void TMainWindowTest::commandCaptionsAndShortcuts() {
  QFETCH(QString, name);
  QFETCH(QString, caption);
  QFETCH(QString, shortcut);
  QFETCH(bool, enabled);
  TTestPlace place;
  TFGUI w(place.Environment());
  auto* a = w.findChild<QAction*>(name);
  QVERIFY(a != nullptr);
  QCOMPARE(a->text(), caption);
  QCOMPARE(a->shortcut().toString(QKeySequence::PortableText), shortcut);
  QCOMPARE(a->isEnabled(), enabled);
}

void TMainWindowTest::statusBarAndTimer() {
  TTestPlace place;
  TFGUI w(place.Environment());
  QVERIFY(w.dxstbOne->minimumWidth() >= 230);
  QCOMPARE(w.dxbarProgress->parentWidget()->width(), 330);
  QCOMPARE(w.dxpgrBuffer->width(), 130);
  QCOMPARE(w.dxpgrHBuffer->width(), 80);
  auto* caption = w.dxbarProgress->parentWidget()->findChild<QLabel*>();
  QVERIFY(caption != nullptr);
  QCOMPARE(caption->text(), QStringLiteral("Progress: "));
  QCOMPARE(w.Timer1->interval(), 500);
  QVERIFY(!w.Timer1->isActive());
}

void TMainWindowTest::sizeFromTheScreen() {
  QCOMPARE(WindowSizeForScreen(QSize(1024, 768)), QSize(870, 652));
  QCOMPARE(WindowSizeForScreen(QSize(1920, 1080)), QSize(1632, 918));
  TTestPlace place;
  TWindowUnderTest t = MakeWindow(place.Environment());
  QScreen* scr = t.Window->screen();
  QCOMPARE(t.Window->size(), WindowSizeForScreen(scr->geometry().size()));
}

void TMainWindowTest::failedTransportStopsTheCreation() {
  TTestPlace place;
  place.WriteSettings("[Options]\r\nArchiveFiles=1\r\nQuickSaveISO=1\r\n");
  QuickSaveISO = false;
  TWindowUnderTest t = MakeWindow(place.Environment(false, {"0:1:0 TIDEMARK VIRTUAL"}));
  QCOMPARE(t.StartDialogs.Messages,
           QStringList{QString::fromUtf8(
               "Can not Initialize ASPI\xEF\xBC\x8CPlease install ASPI 4.7 or higher version "
               "first\xEF\xBC\x81")});
  QCOMPARE(t.Window->FErrorPosition, QStringLiteral("After Burner DebugMsg"));
  QCOMPARE(*t.Debug, (std::vector<std::string>{"0|>>>  Tidemark CD/DVD Burner"}));
  QCOMPARE(t.Window->cboBurner->count(), 0);
  QCOMPARE(t.Window->cboSpeed->count(), 0);
  QVERIFY(!t.Window->FArchiveFiles);  // the settings file was not read
  QVERIFY(!QuickSaveISO);
  QVERIFY(t.Window->tvwISO->currentItem() == nullptr);
  // Commands that need a current folder do nothing until New.
  t.Window->AddSourceItems(t.Window->CurrentFolderNode(), {{place.MakeFile("x.txt"), false}});
  QCOMPARE(t.Window->zqCDBurner1.FilesCount(), 0);
  QVERIFY(!t.Window->tvwISO->isEnabled());
  t.Window->actNew->trigger();
  QVERIFY(t.Window->tvwISO->isEnabled());
  QVERIFY(t.Window->zqCDBurner1.StripSourcePath);
  QCOMPARE(t.Window->zqCDBurner1.MaxFiles(), 600000);
  t.Window->AddSourceItems(t.Window->CurrentFolderNode(), {{place.MakeFile("x.txt"), false}});
  QCOMPARE(t.Window->zqCDBurner1.FilesCount(), 1);
}

void TMainWindowTest::creationWithRecorders() {
  TTestPlace place;
  TWindowUnderTest t =
      MakeWindow(place.Environment(true, {"0:1:0 TIDEMARK VIRTUAL", "0:2:0 TIDEMARK OTHER"}));
  QVERIFY(t.StartDialogs.Messages.isEmpty());
  QCOMPARE(t.Window->cboBurner->count(), 2);
  QCOMPARE(t.Window->cboBurner->currentText(), QStringLiteral("0:1:0 TIDEMARK VIRTUAL"));
  QCOMPARE(t.Window->cboSpeed->itemText(0), QStringLiteral("Max"));
  QCOMPARE(t.Window->FErrorPosition, QStringLiteral("After Burner DebugMsg, ClearAll"));
  // The creation sequence's own lines, in order (selecting these made-up
  // recorders logs its failures between them).
  std::vector<std::string> own;
  for (const std::string& line : *t.Debug) {
    if (line == "0|>>>  Tidemark CD/DVD Burner" || line == "0| ") own.push_back(line);
  }
  QCOMPARE(own, (std::vector<std::string>{"0|>>>  Tidemark CD/DVD Burner", "0| "}));
  QCOMPARE(t.Window->tvwISO->currentItem(), t.Window->tvwISO->topLevelItem(0));
}

void TMainWindowTest::busyStateAndClosing() {
  TTestPlace place;
  TWindowUnderTest t = MakeWindow(place.Environment());
  TFGUI& w = *t.Window;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));

  w.EnableCommands(false);
  QVERIFY(w.FBusy);
  const QList<QAction*> commands{
      w.actExit,         w.actBurn,        w.actBurnISO,    w.actSaveISO,  w.actNew,
      w.actAdd,          w.actErase,       w.actEject,      w.actLoad,     w.actAbout,
      w.actPreferences,  w.actSessionInfo, w.actBurnerInfo, w.actDelete,   w.actDeleteAll,
      w.actCreateFolder, w.actRename,      w.actProperty,   w.actSelectAll};
  for (QAction* a : commands) QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
  QVERIFY(w.actAbort->isEnabled());
  for (QWidget* c : std::initializer_list<QWidget*>{w.cboBurner, w.cboSpeed, w.tvwISO, w.lvwISORoot,
                                                    w.edtCDDir}) {
    QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
  }
  QVERIFY(w.ToolBar1->isEnabled());
  QVERIFY(w.DriveBar->isEnabled());

  // Exit (enabled again for the test, as a shortcut would reach it), the
  // close box and a close request of the window system all ask the same.
  TDialogLog log = AnswerDialogs([&] {
    w.close();
    QCloseEvent request;
    QApplication::sendEvent(&w, &request);
    w.actExit->setEnabled(true);
    w.actExit->trigger();
  });
  QCOMPARE(log.Messages, QStringList(3, QStringLiteral("now is burning, can not close.")));
  QVERIFY(w.isVisible());

  w.EnableCommands(true);
  QVERIFY(!w.FBusy);
  for (QAction* a : commands) QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
  QVERIFY(!w.actAbort->isEnabled());
  log = AnswerDialogs([&] { w.actExit->trigger(); });
  QVERIFY(log.Messages.isEmpty());
  QVERIFY(!w.isVisible());
}

void TMainWindowTest::errorLogEntries() {
  TTestPlace place;
  TFGUI w(place.Environment());
  QVERIFY(!QFile::exists(place.ProgramDir() + "/Log"));
  w.WriteErrorLog("Step one", "first failure", false);
  QString caption = w.windowTitle();
  QVERIFY(
      caption.startsWith(" ********* ----------------------------------- ********* \r\nTime: "));
  QVERIFY(caption.endsWith("\r\nError Position: Step one\r\nError: first failure\r\n"));
  TDialogLog log = AnswerDialogs([&] { w.WriteErrorLog("Step two", "second", true); });
  QCOMPARE(log.Messages.size(), 1);
  QCOMPARE(log.Messages[0],
           QString::fromUtf8("Have Error, Please Check the Log\xEF\xBC\x9A\r\n") + w.windowTitle());

  QList<QByteArray> lines = ReadFile(place.LogFile()).split('\n');
  QCOMPARE(lines.size(), 11);  // two entries of five lines, and the end of the last
  QCOMPARE(lines[0], QByteArray(" ********* ----------------------------------- ********* \r"));
  QVERIFY(lines[1].startsWith("Time: "));
  QCOMPARE(lines[2], QByteArray("Error Position: Step one\r"));
  QCOMPARE(lines[3], QByteArray("Error: first failure\r"));
  QCOMPARE(lines[4], QByteArray("\r"));
  QCOMPARE(lines[7], QByteArray("Error Position: Step two\r"));
  QCOMPARE(lines[9], QByteArray("\r"));
  QCOMPARE(lines[10], QByteArray());

  // A log folder that cannot be made: nothing written, nothing reported.
  TTestPlace blocked;
  QFile plain(blocked.ProgramDir() + "/Log");
  QVERIFY(plain.open(QIODevice::WriteOnly));
  plain.close();
  TFGUI w2(blocked.Environment());
  log = AnswerDialogs([&] { w2.WriteErrorLog("p", "e", false); });
  QVERIFY(log.Messages.isEmpty());
  QVERIFY(w2.windowTitle().contains("Error: e"));
}

void TMainWindowTest::exceptionFromTheMessageLoop() {
  TTestPlace place;
  TWindowUnderTest t = MakeWindow(place.Environment());
  TFGUI& w = *t.Window;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  for (const char* what : {"disk on fire", "second failure"}) {
    QMetaObject::invokeMethod(
        &w, [what] { throw std::runtime_error(what); }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
  }
  QVERIFY(QApplication::overrideCursor() == nullptr);
  QByteArray log = ReadFile(place.LogFile());
  QCOMPARE(log.count("Error Position: After Burner DebugMsg, ClearAll\r\n"), 2);
  QVERIFY(log.contains("Error: disk on fire\r\n\r\n"));
  QVERIFY(log.endsWith("Error: second failure\r\n\r\n"));
  QVERIFY(w.windowTitle().contains("Error: second failure"));
}

void TMainWindowTest::aboutBox() {
  TTestPlace place;
  TFGUI w(place.Environment());
  QString caption;
  QStringList labels;
  AnswerDialogs([&] { w.actAbout->trigger(); }, {},
                [&](QWidget* d) {
                  caption = d->windowTitle();
                  for (QLabel* l : d->findChildren<QLabel*>()) labels << l->text();
                  QVERIFY(d->parentWidget() == &w);
                  QTest::mouseClick(d->findChild<QWidget*>("btnOK"), Qt::LeftButton);
                });
  QCOMPARE(caption, QStringLiteral("About"));
  QVERIFY(labels.contains("Tidemark CD/DVD Burner"));
  QVERIFY(labels.contains("Version: "));
  QVERIFY(w.findChildren<TdlgAbout*>().isEmpty());
}

TIDEMARK_QTEST_MAIN(TMainWindowTest)
#include "tst_main_window.moc"
