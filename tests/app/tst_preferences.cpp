// The preferences dialog: made once and only hidden, its pages and their
// first filling, the controls' first states, and the cache-size track bar.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/preferences.h"
#include "app_test_support.h"

namespace {

// Opens the dialog with the Preferences command and hands it to `fn`,
// which must close it.
void WithDialog(TFGUI& w, const std::function<void(TfrmPreferences&)>& fn) {
  bool seen = false;
  AnswerDialogs([&] { w.actPreferences->trigger(); }, {},
                [&](QWidget* d) {
                  auto* prefs = qobject_cast<TfrmPreferences*>(d);
                  QVERIFY(prefs != nullptr);
                  seen = true;
                  fn(*prefs);
                });
  QVERIFY(seen);
}

void Click(QWidget* dialog, const char* button) {
  QWidget* b = dialog->findChild<QWidget*>(button);
  QVERIFY2(b != nullptr, button);
  QTest::mouseClick(b, Qt::LeftButton);
}

}  // namespace

class TPreferencesTest : public QObject {
  Q_OBJECT
 private slots:
  void madeOnceAndHidden();
  void layoutAndFirstStates();
  void pagesAndTheirFilling();
  void cacheSizeFromTheTrackBar_data();
  void cacheSizeFromTheTrackBar();
  void cancelKeepsTheChecks();
  void nothingClippedAndResizable();
};

void TPreferencesTest::madeOnceAndHidden() {
  TTestPlace place;
  TWindowUnderTest t = MakeWindow(place.Environment());
  TFGUI& w = *t.Window;
  QVERIFY(w.FPreferences.isNull());
  TfrmPreferences* first = nullptr;
  WithDialog(w, [&](TfrmPreferences& d) {
    first = &d;
    QVERIFY(d.parentWidget() == &w);
    QVERIFY(d.isModal());
    d.chkEjectBurn->setChecked(false);
    Click(&d, "btnOK");
  });
  QVERIFY(first == w.FPreferences.data());
  QVERIFY(!first->isVisible());
  // Esc and the close box hide it too; it keeps what was set.
  WithDialog(w, [&](TfrmPreferences& d) {
    QVERIFY(&d == first);
    QVERIFY(!d.chkEjectBurn->isChecked());
    QTest::keyClick(&d, Qt::Key_Escape);
  });
  WithDialog(w, [&](TfrmPreferences& d) { d.close(); });
  QVERIFY(w.Preferences() == first);
  QCOMPARE(w.findChildren<TfrmPreferences*>().size(), 1);
}

void TPreferencesTest::layoutAndFirstStates() {
  TTestPlace place;
  TWindowUnderTest t = MakeWindow(place.Environment());
  TfrmPreferences& d = *t.Window->Preferences();
  QCOMPARE(d.windowTitle(), QStringLiteral(" Preferences"));
  // The size it was designed at, or larger where the user's font needs it.
  QVERIFY(d.width() >= 617 && d.height() >= 453);
  QCOMPARE(d.font().families().first(), QStringLiteral("Tahoma"));
  QStringList nodes;
  for (int i = 0; i < d.tvwType->topLevelItemCount(); ++i)
    nodes << d.tvwType->topLevelItem(i)->text(0);
  QCOMPARE(nodes, (QStringList{"General", "Language", "DATA - CD/DVD Writer Setting",
                               "DATA Volume Name/Info", "AUDIO - CD Writer Setting",
                               "AUDIO Volume Name/Info", "Warning Messages"}));

  struct TCheck {
    QCheckBox* box;
    const char* caption;
    bool checked;
  } const checks[] = {
      {d.chkASPI, "Use Internal ASPI first", true},
      {d.CheckBox1, "Quick CD Erase", true},
      {d.chkEjectErase, "Eject after erase", true},
      {d.CheckBox3, "Show folders size in compilation (slow!!!)", false},
      {d.CheckBox4, "Intercept and disable CDROM autoplay", true},
      {d.CheckBox5, "Underrun Protection / Burnproof", true},
      {d.CheckBox6, "Perform OPC (monitoring and maintaining the quality of the disc writing)",
       true},
      {d.CheckBox7, "Close Disc (Finalize)", true},
      {d.chkEjectBurn, "Eject after burn", true},
      {d.chkJoliet, "Joliet File System", true},
      {d.CheckBox10, "Verify data", false},
  };
  for (const TCheck& c : checks) {
    QCOMPARE(c.box->text(), QString::fromLatin1(c.caption));
    QVERIFY2(c.box->isChecked() == c.checked, c.caption);
  }
  QCOMPARE(d.tkbCacheSize->minimum(), 2);
  QCOMPARE(d.tkbCacheSize->maximum(), 64);
  QCOMPARE(d.tkbCacheSize->value(), 4);
  QCOMPARE(d.tkbCacheSize->tickPosition(), QSlider::NoTicks);
  QCOMPARE(d.lblCacheSize->text(), QStringLiteral(" 4 MBytes"));
  QVERIFY(d.Edit1->text().isEmpty());
  QCOMPARE(d.UpDown1->value(), 1);
  QCOMPARE(d.ListBox1->count(), 19);
  QCOMPARE(d.ListBox1->item(0)->text(), QStringLiteral("<#increment> = Increment value"));
  QCOMPARE(d.ListBox1->item(18)->text(),
           QStringLiteral("<#ss> = Displays the second with a leading zero (00-59)"));
  QCOMPARE(d.tabsVolume->tabText(0), QStringLiteral("Name"));
  QCOMPARE(d.tabsVolume->tabText(1), QStringLiteral("Info"));
  for (QLineEdit* e : {d.Edit3, d.Edit4, d.Edit5, d.Edit6, d.Edit7, d.Edit8, d.Edit9})
    QVERIFY(e->text().isEmpty());
  QCOMPARE(d.CheckListBox1->count(), 1);
  QCOMPARE(d.CheckListBox1->item(0)->text(), QStringLiteral("   Burn DATA?     Total size ="));
  QCOMPARE(d.CheckListBox1->item(0)->checkState(), Qt::Unchecked);
  QVERIFY(d.Msg->text().isEmpty());
  QVERIFY(d.findChild<QPushButton*>("btnOK")->isDefault());
}

void TPreferencesTest::pagesAndTheirFilling() {
  TTestPlace place;
  TWindowUnderTest t =
      MakeWindow(place.Environment(true, {"0:1:0,?: TIDEMARK VIRTUAL", "0:2:0,?: OTHER"}));
  TfrmPreferences& d = *t.Window->Preferences();
  // Created for a job, never shown: nothing filled yet.
  QVERIFY(!d.GeneralFilled());
  QVERIFY(!d.DataWriterFilled());
  const QList<QWidget*> pageOf{d.pnlGeneral,  d.pnlLanguage, d.pnlDataWriSetting, d.pnlDataVol,
                               d.pnlLanguage, d.pnlLanguage, d.pnlWarning};
  for (int i : {1, 3, 4, 5, 6}) {
    d.tvwTypeChange(i);
    QCOMPARE(d.pages->currentWidget(), pageOf[i]);
  }
  QVERIFY(!d.GeneralFilled());
  // The writer page fills the General page first.
  d.tvwTypeChange(2);
  QCOMPARE(d.pages->currentWidget(), d.pnlDataWriSetting);
  QVERIFY(d.GeneralFilled());
  QVERIFY(d.DataWriterFilled());
  QCOMPARE(d.cboBurner->count(), 2);
  QCOMPARE(d.cboBurner->currentText(), QStringLiteral("0:1:0,?: TIDEMARK VIRTUAL"));
  QCOMPARE(d.lblBurnerName->text(), QStringLiteral("0:1:0,?: TIDEMARK VIRTUAL"));
  QCOMPARE(d.cboSpeed->itemText(0), QStringLiteral("Max"));
  // Once per run: a second visit changes nothing.
  d.cboBurner->setCurrentIndex(1);
  d.tvwTypeChange(0);
  d.tvwTypeChange(2);
  QCOMPARE(d.cboBurner->count(), 2);
  QCOMPARE(d.lblBurnerName->text(), QStringLiteral("0:1:0,?: TIDEMARK VIRTUAL"));
  // The tree's own selection brings the page to the front.
  d.tvwType->setCurrentItem(d.tvwType->topLevelItem(6));
  QCOMPARE(d.pages->currentWidget(), d.pnlWarning);
}

void TPreferencesTest::cacheSizeFromTheTrackBar_data() {
  QTest::addColumn<int>("position");  // 0: left alone
  QTest::addColumn<int>("cacheSize");
  QTest::addColumn<QString>("label");
  QTest::newRow("untouched") << 0 << 3999744 << " 4 MBytes";
  QTest::newRow("lowest") << 2 << 2097152 << "2 MBytes";
  QTest::newRow("eight") << 8 << 7999488 << "8 MBytes";
  QTest::newRow("highest") << 64 << 64000000 << "64 MBytes";
}

void TPreferencesTest::cacheSizeFromTheTrackBar() {
  QFETCH(int, position);
  QFETCH(int, cacheSize);
  QFETCH(QString, label);
  TTestPlace place;
  // "OK" replaces a size that came from the settings file.
  place.WriteSettings("[Options]\r\nCacheSize=33554432\r\n");
  TWindowUnderTest t = MakeWindow(place.Environment());
  QCOMPARE(t.Window->zqCDBurner1.CacheSize(), 33554432);
  WithDialog(*t.Window, [&](TfrmPreferences& d) {
    if (position != 0) d.tkbCacheSize->setValue(position);
    QCOMPARE(d.lblCacheSize->text(), label);
    Click(&d, "btnOK");
  });
  QCOMPARE(t.Window->zqCDBurner1.CacheSize(), cacheSize);
}

void TPreferencesTest::cancelKeepsTheChecks() {
  TTestPlace place;
  TWindowUnderTest t = MakeWindow(place.Environment());
  WithDialog(*t.Window, [&](TfrmPreferences& d) {
    d.chkEjectErase->setChecked(false);
    d.tkbCacheSize->setValue(30);
    Click(&d, "btnCancel");
  });
  TfrmPreferences& d = *t.Window->Preferences();
  QVERIFY(!d.chkEjectErase->isChecked());
  // Cancel leaves the cache size alone.
  QCOMPARE(t.Window->zqCDBurner1.CacheSize(), 4194304);
}

// Every caption of every page is shown whole at the default font, also
// after the dialog was made as small as it goes; and it can be made larger.
void TPreferencesTest::nothingClippedAndResizable() {
  TTestPlace place;
  TWindowUnderTest t = MakeWindow(place.Environment());
  TfrmPreferences& d = *t.Window->Preferences();
  d.show();
  QVERIFY(d.minimumSize() != d.maximumSize());
  const QSize larger = d.size() + QSize(150, 80);
  d.resize(larger);
  QCOMPARE(d.size(), larger);
  for (const QSize size : {d.size(), QSize(1, 1)}) {
    d.resize(size);
    for (int node = 0; node < d.tvwType->topLevelItemCount(); ++node) {
      d.tvwType->setCurrentItem(d.tvwType->topLevelItem(node));
      QCoreApplication::processEvents();
      QWidget* page = d.pages->currentWidget();
      QList<QWidget*> shown = page->findChildren<QWidget*>();
      shown << d.findChild<QWidget*>("btnOK") << d.findChild<QWidget*>("btnCancel")
            << d.findChild<QWidget*>("btnApply");
      for (QWidget* c : shown) {
        if (!c->isVisibleTo(&d)) continue;
        const bool caption = qobject_cast<QCheckBox*>(c) || qobject_cast<QPushButton*>(c) ||
                             (qobject_cast<QLabel*>(c) && !qobject_cast<QLabel*>(c)->wordWrap());
        if (!caption) continue;
        const QString name =
            c->objectName().isEmpty() ? c->metaObject()->className() : c->objectName();
        QVERIFY2(c->width() >= c->minimumSizeHint().width(),
                 qPrintable(QStringLiteral("%1 on page %2: %3 < %4")
                                .arg(name)
                                .arg(node)
                                .arg(c->width())
                                .arg(c->minimumSizeHint().width())));
        QVERIFY2(c->height() >= c->minimumSizeHint().height(), qPrintable(name));
      }
    }
  }
  d.hide();
}

TIDEMARK_QTEST_MAIN(TPreferencesTest)
#include "tst_preferences.moc"
