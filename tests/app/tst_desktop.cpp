// The window as a desktop application: its command line (options, files
// and folders added at start-up, an image opening Burn ISO), its icon,
// and what its recorder list says about the machine's drives: a drive the
// automatic transport choice passed over, and a disc the desktop mounted,
// which is unmounted (through a stand-in udisks2) only when the user
// agrees.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>
#include <fstream>

#include "app/command_line.h"
#include "app_test_support.h"
#include "device/aspi_loader.h"
#include "fake_sg_system.h"
#include "private_bus.h"
#include "scripted_recorder.h"

namespace {

QStringList Args(std::initializer_list<QString> rest) {
  QStringList out{QStringLiteral("tidemark-gui")};
  for (const QString& a : rest) out << a;
  return out;
}

// A recorder on the built-in transport, as the kernel would show one:
// /sys/class/block/sr0 and its node, answered by a fake SG_IO.
struct TDriveOnNode {
  FakeSysfs Sysfs;
  FakeSgSystem Sg;
  QString Node;
  QString Table;

  explicit TDriveOnNode(const QString& table) : Table(table) {
    Sysfs.AddBlock("sr0", 5, "1:0:0:0");
    Node = QString::fromStdString(Sysfs.dev_root()) + "/sr0";
    Sg.node(Node.toStdString());
    setenv("TIDEMARK_MOUNTINFO", table.toLocal8Bit().constData(), 1);
    Unmounted();
  }
  ~TDriveOnNode() {
    // The transport lets go of the fake nodes while they still answer.
    RemoveASPI();
    unsetenv("TIDEMARK_MOUNTINFO");
  }
  void Mounted(const QString& point) {
    std::ofstream(Table.toStdString()) << "36 25 11:0 / " << point.toStdString() << " ro - iso9660 "
                                       << Node.toStdString() << " ro\n";
  }
  void Unmounted() {
    std::ofstream(Table.toStdString()) << "25 1 8:1 / / rw - ext4 /dev/sda1 rw\n";
  }
  // START STOP UNIT commands sent to the drive.
  int StartStops() const {
    int n = 0;
    for (const auto& call : Sg.sg_calls) n += call.cdb.at(0) == 0x1B ? 1 : 0;
    return n;
  }
};

}  // namespace

class TDesktopTest : public QObject {
  Q_OBJECT
 private slots:
  void commandLine();
  void argumentsAddedAtStartUp();
  void loneImageOpensBurnIso();
  void programIcon();
  void passedOverDriveInTheStatusBar();
  void mountedDiscIsUnmountedOnlyWhenAgreed();
};

void TDesktopTest::commandLine() {
  TTestPlace place;
  const QString file = place.MakeFile("a.txt", 1);
  const QString folder = place.MakeFolder("Docs");
  const QString image = place.MakeFile("disc.ISO", 2048);
  const QString folderImage = place.MakeFolder("folder.iso");

  TCommandLine version = ParseCommandLine(Args({"--version"}));
  QCOMPARE(version.ExitStatus, 0);
  QCOMPARE(version.Output, QStringLiteral("tidemark-gui 1.1.7\n"));
  TCommandLine help = ParseCommandLine(Args({"--help"}));
  QCOMPARE(help.ExitStatus, 0);
  for (const char* part : {"--version", "--list-recorders", "file or folder"})
    QVERIFY2(help.Output.contains(part), part);
  TCommandLine bad = ParseCommandLine(Args({"--no-such-option"}));
  QCOMPARE(bad.ExitStatus, 2);
  QVERIFY(bad.Output.contains("no-such-option"));
  QVERIFY(ParseCommandLine(Args({"--list-recorders"})).ListRecorders);

  struct TCase {
    QStringList args;
    QStringList paths;
    QString image;
    QStringList missing;
  } const cases[] = {
      {{file, folder}, {file, folder}, {}, {}},
      {{image}, {}, image, {}},
      {{image, file}, {image, file}, {}, {}},
      {{folderImage}, {folderImage}, {}, {}},
      {{place.Root() + "/gone.txt", file}, {file}, {}, {place.Root() + "/gone.txt"}},
      {{place.Root() + "/Docs/../a.txt"}, {file}, {}, {}},
  };
  for (const TCase& c : cases) {
    const TCommandLine line = ParseCommandLine(QStringList{"tidemark-gui"} + c.args);
    QCOMPARE(line.ExitStatus, -1);
    QCOMPARE(line.Paths, c.paths);
    QCOMPARE(line.Image, c.image);
    QCOMPARE(line.Missing, c.missing);
  }
}

void TDesktopTest::argumentsAddedAtStartUp() {
  TTestPlace place;
  const QString file = place.MakeFile("one.txt", 2048);
  place.MakeFile("Docs/inner.txt", 2048);
  TWindowUnderTest t = MakeWindow(place.Environment());
  TFGUI& w = *t.Window;
  const TCommandLine line =
      ParseCommandLine(Args({place.Root() + "/Docs", file, place.Root() + "/missing.txt"}));
  ApplyCommandLine(w, line);
  QCOMPARE(w.RootNode()->childCount(), 1);
  QCOMPARE(w.RootNode()->child(0)->text(0), QStringLiteral("Docs"));
  QVERIFY(w.zqCDBurner1.FindEntryByPath("\\", "one.txt") != nullptr);
  QVERIFY(w.zqCDBurner1.FindDir("\\DOCS") != nullptr);
  QCOMPARE(w.zqCDBurner1.TotalAddedBytes(), 4096);
  QCOMPARE(w.dxstbOne->text(), "Not found: " + place.Root() + "/missing.txt");

  // Without a transport there is nothing to add to, and nothing is added.
  TWindowUnderTest none = MakeWindow(place.Environment(false));
  ApplyCommandLine(*none.Window, line);
  QCOMPARE(none.Window->zqCDBurner1.FilesCount(), 0);
}

// Burn ISO's dialog, opened with the image chosen; nothing is burned
// until the user accepts it.
void TDesktopTest::loneImageOpensBurnIso() {
  TTestPlace place;
  const QString image = place.MakeFile("images/disc.iso", 4096);
  TWindowUnderTest t = MakeWindow(place.Environment());
  TFGUI& w = *t.Window;
  w.show();
  QString chosen;
  bool opened = false;
  AnswerDialogs(
      [&] {
        ApplyCommandLine(w, ParseCommandLine(Args({image})));
        QTRY_VERIFY(opened);
      },
      {},
      [&](QWidget* d) {
        auto* od = qobject_cast<QFileDialog*>(d);
        QVERIFY(od != nullptr);
        opened = true;
        chosen = od->selectedFiles().value(0);
        od->reject();
      });
  QCOMPARE(chosen, image);
  QVERIFY(!w.FBusy);
  QCOMPARE(w.zqCDBurner1.FilesCount(), 0);
}

void TDesktopTest::programIcon() {
  const QIcon icon = TApplication::ProgramIcon();
  QVERIFY(!icon.isNull());
  QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
  QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
  QCOMPARE(QApplication::windowIcon().availableSizes(), icon.availableSizes());
  // Drawn, not empty: the middle of the disc is not transparent.
  const QImage picture = icon.pixmap(64, 64).toImage();
  QVERIFY(qAlpha(picture.pixel(32, 16)) > 0);
  QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("org.tidemark.Tidemark"));
}

// The kernel lists a drive that cannot be opened; the recorders shown are
// another transport's: the status bar says so.
void TDesktopTest::passedOverDriveInTheStatusBar() {
  TTestPlace place;
  FakeSysfs sysfs;
  sysfs.AddBlock("sr0", 5, "1:0:0:0");
  TScriptedRecorder drive;
  TWindowUnderTest t = MakeWindow(drive.Environment(place.Environment()));
  const QString text = t.Window->dxstbOne->text();
  QCOMPARE(text, QString::fromStdString(sysfs.dev_root()) +
                     "/sr0 exists but does not answer through SG_IO; the recorders shown are "
                     "those of SCRIPTED (the library transport)");
}

void TDesktopTest::mountedDiscIsUnmountedOnlyWhenAgreed() {
  TTestPlace place;
  TDriveOnNode drive(place.Root() + "/mountinfo");
  drive.Mounted("/media/tester/DISC");
  TGuiEnvironment env = place.Environment();
  env.StartTransport = StartRecorderTransport;
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + place.Root() + "/no-bus").toLocal8Bit(), 1);
  TWindowUnderTest t = MakeWindow(env);
  TFGUI& w = *t.Window;
  QCOMPARE(w.cboBurner->count(), 1);
  const QString mounted = "disc in " + drive.Node + " is mounted on /media/tester/DISC";
  QVERIFY2(w.cboBurner->itemData(0, Qt::ToolTipRole).toString().contains(mounted),
           qPrintable(w.cboBurner->itemData(0, Qt::ToolTipRole).toString()));
  QVERIFY(w.cboBurner->toolTip().contains(mounted));
  const QString question = "The " + mounted + ".\r\nUnmount it?";

  // No: the tray stays shut.
  TDialogLog no = AnswerDialogs([&] { w.actEject->trigger(); }, {}, {}, {QMessageBox::No});
  QCOMPARE(no.Messages, QStringList{question});
  QCOMPARE(no.MessageTitles, QStringList{"Unmount the disc?"});
  QCOMPARE(drive.StartStops(), 0);

  // Yes, where there is no bus: why it cannot be done, and what to do.
  TDialogLog yes = AnswerDialogs([&] { w.actEject->trigger(); }, {}, {}, {QMessageBox::Yes});
  QCOMPARE(yes.Messages.size(), 2);
  QVERIFY2(yes.Messages[1].startsWith("The " + mounted +
                                      " and cannot be unmounted here (no "
                                      "system bus"),
           qPrintable(yes.Messages[1]));
  QVERIFY(yes.Messages[1].endsWith("umount /media/tester/DISC first."));
  QCOMPARE(drive.StartStops(), 0);

  // Yes, with udisks2 on the bus: unmounted, then ejected.
  if (!PrivateBus::DaemonInstalled()) QSKIP("dbus-daemon is not installed");
  PrivateBus bus(place.Root().toStdString(), {"udisks2"});
  QVERIFY(bus.Running(true));
  TDialogLog done = AnswerDialogs([&] { w.actEject->trigger(); }, {}, {}, {QMessageBox::Yes});
  QCOMPARE(done.Messages, QStringList{question});
  QVERIFY(drive.StartStops() > 0);
  QVERIFY(!w.cboBurner->itemData(0, Qt::ToolTipRole).toString().contains("mounted"));
  // Nothing mounted: nothing asked.
  TDialogLog again = AnswerDialogs([&] { w.actEject->trigger(); });
  QVERIFY(again.Messages.isEmpty());
}

TIDEMARK_QTEST_MAIN(TDesktopTest)
#include "tst_desktop.moc"
