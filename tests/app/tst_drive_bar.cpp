// The drive bar against a scripted recorder: selecting the recorder, the
// speed list and what its entries stand for, and the recorder information
// dialog.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include "app/device_caps.h"
#include "app_test_support.h"
#include "scripted_recorder.h"

namespace {

QStringList Items(const QComboBox& box) {
  QStringList out;
  for (int i = 0; i < box.count(); ++i) out << box.itemText(i);
  return out;
}

struct TDriveFixture {
  TTestPlace Place;
  TScriptedRecorder Drive;
  TWindowUnderTest T;

  explicit TDriveFixture(const std::function<void(TScriptedRecorder&)>& setUp = {}) {
    if (setUp) setUp(Drive);
    T = MakeWindow(Drive.Environment(Place.Environment()));
  }
  TFGUI& W() { return *T.Window; }
};

}  // namespace

class TDriveBarTest : public QObject {
  Q_OBJECT
 private slots:
  void speedListOfADriveTakingThreeSpeeds();
  void dvdSpeeds();
  void selectionSurvivesARebuild();
  void speedFromText_data();
  void speedFromText();
  void recorderSelection();
  void burnerInformation();
};

void TDriveBarTest::speedListOfADriveTakingThreeSpeeds() {
  TDriveFixture f;
  QCOMPARE(f.W().cboBurner->currentText(), QString::fromStdString(TScriptedRecorder::Entry()));
  // Built at start, once per entry although the drive answers the same
  // speed for several requests.
  QCOMPARE(Items(*f.W().cboSpeed),
           (QStringList{"Max", "08X (1,200 KB/s)", "04X (600 KB/s)", "02X (300 KB/s)"}));
  QCOMPARE(f.W().cboSpeed->currentIndex(), 0);
  // The list leaves the drive at the last speed tried.
  QCOMPARE(f.Drive.Current, 2);
  QCOMPARE(f.W().zqCDBurner1.WriteSpeed(), 1);
  // Dropping the list down builds it again.
  f.Drive.Speeds = {8, 6, 4, 2};
  f.W().cboSpeed->showPopup();
  f.W().cboSpeed->hidePopup();
  QCOMPARE(Items(*f.W().cboSpeed), (QStringList{"Max", "08X (1,200 KB/s)", "06X (900 KB/s)",
                                                "04X (600 KB/s)", "02X (300 KB/s)"}));
}

void TDriveBarTest::dvdSpeeds() {
  // A DVD: x div 7 names the entry, the rate stays that of the CD x.
  TDriveFixture f([](TScriptedRecorder& d) {
    d.Profile = 0x0011;  // DVD-R
    d.MaxSpeed = 22;
    d.Speeds = {22, 16};
  });
  QCOMPARE(Items(*f.W().cboSpeed), (QStringList{"Max", "03X (3,300 KB/s)", "02X (2,400 KB/s)"}));
  QCOMPARE(SpeedFromText(f.W().cboSpeed->itemText(1), f.W().zqCDBurner1.GetMediaType()), 21);
}

void TDriveBarTest::selectionSurvivesARebuild() {
  // Entry 5 selected: kept by a rebuild of six entries, "Max" after one of
  // five; no entry selected: "Max".
  TDriveFixture f([](TScriptedRecorder& d) {
    d.MaxSpeed = 16;
    d.Speeds = {16, 12, 8, 4, 2};
  });
  QCOMPARE(f.W().cboSpeed->count(), 6);
  f.W().cboSpeed->setCurrentIndex(5);
  f.W().cboSpeedDropDown();
  QCOMPARE(f.W().cboSpeed->currentIndex(), 5);
  f.Drive.Speeds = {16, 8, 4, 2};
  f.W().cboSpeedDropDown();
  QCOMPARE(f.W().cboSpeed->count(), 5);
  QCOMPARE(f.W().cboSpeed->currentIndex(), 0);
  f.W().cboSpeed->setCurrentIndex(-1);
  f.W().cboSpeedDropDown();
  QCOMPARE(f.W().cboSpeed->currentText(), QStringLiteral("Max"));
  // A drive that reports no maximum: "Max" alone.
  f.Drive.MaxSpeed = 0;
  f.W().cboSpeedDropDown();
  QCOMPARE(Items(*f.W().cboSpeed), QStringList{"Max"});
}

void TDriveBarTest::speedFromText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("mediaType");
  QTest::addColumn<int>("speed");
  QTest::newRow("Max on a CD") << "Max" << 2 << 0;
  QTest::newRow("Max on a DVD") << "Max" << 5 << 0;
  QTest::newRow("Max, no medium") << "Max" << 0 << 0;
  QTest::newRow("8x on a CD") << "08X (1,200 KB/s)" << 2 << 8;
  QTest::newRow("16x on a CD-RW") << "16X (2,400 KB/s)" << 3 << 16;
  QTest::newRow("4x on a DVD") << "04X (4,650 KB/s)" << 5 << 28;
  QTest::newRow("2x on a DVD+R") << "02X (2,100 KB/s)" << 10 << 14;
}

void TDriveBarTest::speedFromText() {
  QFETCH(QString, text);
  QFETCH(int, mediaType);
  QFETCH(int, speed);
  QCOMPARE(int{SpeedFromText(text, static_cast<uint8_t>(mediaType))}, speed);
}

void TDriveBarTest::recorderSelection() {
  // No device node: "  Burner :". A recorder that writes no CD-R, DVD-R or
  // DVD-RAM has the three writing commands off, until a job's end turns
  // them on again.
  TDriveFixture f([](TScriptedRecorder& d) { d.WriteCaps = 0x00; });
  QCOMPARE(f.W().lblBurner->text(), QStringLiteral("  Burner :"));
  QCOMPARE(f.W().cboBurner->toolTip(), QString::fromStdString(TScriptedRecorder::Entry()));
  QCOMPARE(QString::fromStdString(f.W().zqCDBurner1.DeviceId),
           QString::fromStdString(TScriptedRecorder::Entry()));
  for (QAction* a : {f.W().actBurn, f.W().actBurnISO, f.W().actErase})
    QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
  QVERIFY(f.W().actSaveISO->isEnabled());
  f.W().EnableCommands(false);
  f.W().EnableCommands(true);
  for (QAction* a : {f.W().actBurn, f.W().actBurnISO, f.W().actErase}) QVERIFY(a->isEnabled());
  // Choosing a speed selects the recorder again.
  f.W().cboSpeed->setCurrentIndex(1);
  emit f.W().cboSpeed->activated(1);
  QVERIFY(!f.W().actBurn->isEnabled());

  TDriveFixture writer;
  for (QAction* a : {writer.W().actBurn, writer.W().actBurnISO, writer.W().actErase})
    QVERIFY(a->isEnabled());
}

void TDriveBarTest::burnerInformation() {
  TDriveFixture f([](TScriptedRecorder& d) { d.WriteCaps = 0x05; });  // CD-R, test write
  const size_t sent = f.Drive.CommandCount();
  QStringList labels;
  QStringList checked;
  QString title;
  int boxes = 0;
  AnswerDialogs([&] { f.W().actBurnerInfo->trigger(); }, {},
                [&](QWidget* d) {
                  auto* info = qobject_cast<TForm2*>(d);
                  QVERIFY(info != nullptr);
                  title = info->windowTitle();
                  labels << info->Label1->text() << info->Label2->text() << info->Label3->text();
                  for (QCheckBox* c : info->Checks) {
                    ++boxes;
                    QVERIFY(!c->isEnabledTo(info) || !c->isEnabled());
                    if (c->isChecked()) checked << c->text();
                  }
                  QVERIFY(info->findChild<QCheckBox*>("UnderrunProtection")->font().bold());
                  QTest::keyClick(info, Qt::Key_Escape);
                });
  QCOMPARE(title, QStringLiteral("Burner Infomation"));
  QCOMPARE(labels, (QStringList{"  " + QString::fromStdString(TScriptedRecorder::Entry()),
                                "Max Write Speed:  8x", "Max Read Speed:  24x"}));
  QCOMPARE(boxes, 17);
  QCOMPARE(checked, (QStringList{"Read CDR", "Read CDRW", "Write CDR", "Write Test"}));
  // What the burner already knew: nothing was sent for the dialog.
  QCOMPARE(f.Drive.CommandCount(), sent);
  QVERIFY(f.W().findChildren<TForm2*>().isEmpty());
}

TIDEMARK_QTEST_MAIN(TDriveBarTest)
#include "tst_drive_bar.moc"
