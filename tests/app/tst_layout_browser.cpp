// The layout browser: the compilation's folders and entries as it will be
// written, and taking files and folders out of it.
#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/disc_layout.h"
#include "app/item_list_model.h"
#include "app_test_support.h"

namespace {

QStringList Column(const QTableWidget& grid, int column) {
  QStringList out;
  for (int r = 0; r < grid.rowCount(); ++r) {
    QTableWidgetItem* cell = grid.item(r, column);
    out << (cell != nullptr ? cell->text() : QString());
  }
  return out;
}

QStringList NodeTexts(QTreeWidgetItem* node) {
  QStringList out;
  for (int i = 0; i < node->childCount(); ++i) out << node->child(i)->text(0);
  return out;
}

// A window whose compilation holds, at the root: the folder docs (two
// files, an empty folder and the folder locked, marked read-only) and the
// file a.bin of 1234 bytes.
struct TLayoutFixture {
  TTestPlace Place;
  TWindowUnderTest T;

  TLayoutFixture() {
    T = MakeWindow(Place.Environment());
    Place.MakeFile("src/docs/one.txt", 10);
    Place.MakeFile("src/docs/two.txt", 2048);
    Place.MakeFolder("src/docs/empty");
    Place.MakeFile("src/docs/locked/in.txt", 1);
    T.Window->AddSourceItems(T.Window->RootNode(), {{Place.Root() + "/src/docs", true},
                                                    {Place.MakeFile("src/a.bin", 1234), false}});
    B().FindEntryByPath("\\DOCS\\", "locked")->Attr = 0x11;
  }
  TzqCDBurner& B() { return T.Window->zqCDBurner1; }
};

}  // namespace

class TLayoutBrowserTest : public QObject {
  Q_OBJECT
 private slots:
  void foldersAndEntries();
  void takingFilesOut();
  void takingFoldersOut();
  void keysOfTheMenus();
};

void TLayoutBrowserTest::foldersAndEntries() {
  TLayoutFixture f;
  TfrmDiscLayout d(f.T.Window.get(), f.B());
  d.show();
  QCOMPARE(d.windowTitle(), QStringLiteral("Disk Layout"));
  QCOMPARE(d.tvDir->topLevelItemCount(), 1);
  QTreeWidgetItem* root = d.tvDir->topLevelItem(0);
  QCOMPARE(root->text(0), QString::fromUtf8("\xE6\xA0\xB9\xE7\x9B\xAE\xE5\xBD\x95"));
  QCOMPARE(d.tvDir->currentItem(), root);
  QCOMPARE(NodeTexts(root), QStringList{"docs"});
  // The read-only folder (attribute 17) has no node.
  QCOMPARE(NodeTexts(root->child(0)), QStringList{"empty"});

  QCOMPARE(d.fl->columnCount(), 3);
  QStringList header;
  for (int c = 0; c < 3; ++c) header << d.fl->horizontalHeaderItem(c)->text();
  QCOMPARE(header, (QStringList{"File Name", "File Size", "    Date & Time "}));
  QCOMPARE(d.fl->columnWidth(0), 254);
  QCOMPARE(d.fl->columnWidth(1), 71);
  QCOMPARE(d.fl->columnWidth(2), 141);
  QCOMPARE(d.fl->font().family(), QStringLiteral("Courier New"));
  QCOMPARE(d.fl->toolTip(), QStringLiteral("Double click on a file name to extract"));
  QCOMPARE(d.fl->selectionBehavior(), QAbstractItemView::SelectRows);

  QCOMPARE(Column(*d.fl, 0), (QStringList{"docs", "a.bin"}));
  QCOMPARE(Column(*d.fl, 1), (QStringList{" < DIR > ", "     1234"}));
  PFileEntry file = f.B().FindEntry(f.B().RootDir(), "a.bin");
  QVERIFY(file != nullptr);
  QCOMPARE(d.RowEntry(1), file);
  QStringList dates = Column(*d.fl, 2);
  QVERIFY(dates[0].isEmpty());
  QCOMPARE(dates[1], DateTimeFromDays(file->DateTime).toString("MM-dd-yyyy hh:mm:ss"));
  QVERIFY(
      QRegularExpression("^\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d$").match(dates[1]).hasMatch());

  d.tvDir->setCurrentItem(root->child(0));
  // In the order the folder walk met them.
  const QStringList names = Column(*d.fl, 0);
  const QStringList sizes = Column(*d.fl, 1);
  QCOMPARE(QSet<QString>(names.begin(), names.end()),
           (QSet<QString>{"empty", "locked", "one.txt", "two.txt"}));
  QCOMPARE(sizes[names.indexOf("one.txt")], QStringLiteral("       10"));
  QCOMPARE(sizes[names.indexOf("two.txt")], QStringLiteral("     2048"));
  QCOMPARE(sizes[names.indexOf("locked")], QStringLiteral(" < DIR > "));
  // An empty folder: the header and one empty row without an entry.
  d.tvDir->setCurrentItem(root->child(0)->child(0));
  QCOMPARE(d.fl->rowCount(), 1);
  QVERIFY(d.RowEntry(0) == nullptr);
  QCOMPARE(Column(*d.fl, 0), QStringList{""});
}

void TLayoutBrowserTest::takingFilesOut() {
  TLayoutFixture f;
  TfrmDiscLayout d(f.T.Window.get(), f.B());
  d.show();
  // A folder row: refused with its name.
  d.fl->setCurrentCell(0, 0);
  TDialogLog log = AnswerDialogs([&] { d.MenuItem1Click(); });
  QCOMPARE(log.Messages,
           QStringList{QString::fromUtf8("\xE4\xBD\xA0\xE4\xB8\x8D\xE5\x8F\xAF\xE4\xBB\xA5\xE5\x88"
                                         "\xA0\xE9\x99\xA4\xE7\x9B\xAE\xE5\xBD\x95 : docs")});
  QVERIFY(f.B().FindDir("\\DOCS") != nullptr);
  // A file row: out of the compilation at once, the grid filled again.
  d.fl->setCurrentCell(1, 0);
  log = AnswerDialogs([&] { d.MenuItem1Click(); });
  QVERIFY(log.Messages.isEmpty());
  QVERIFY(f.B().FindEntry(f.B().RootDir(), "a.bin") == nullptr);
  QCOMPARE(Column(*d.fl, 0), QStringList{"docs"});
  // The empty row of an empty folder does nothing.
  d.tvDir->setCurrentItem(d.tvDir->topLevelItem(0)->child(0)->child(0));
  d.fl->setCurrentCell(0, 0);
  log = AnswerDialogs([&] { d.MenuItem1Click(); });
  QVERIFY(log.Messages.isEmpty());
  // The main window's list is not refreshed by this.
  QCOMPARE(f.T.Window->lvwModel->Count(), 2);
}

void TLayoutBrowserTest::takingFoldersOut() {
  TLayoutFixture f;
  TfrmDiscLayout d(f.T.Window.get(), f.B());
  d.show();
  const int32_t files = f.B().FilesCount();
  // The root stays.
  d.Delete1Click();
  QCOMPARE(f.B().FilesCount(), files);
  QTreeWidgetItem* docs = d.tvDir->topLevelItem(0)->child(0);
  d.tvDir->setCurrentItem(docs);
  d.Delete1Click();
  QVERIFY(f.B().FindDir("\\DOCS") == nullptr);
  QCOMPARE(f.B().FilesCount(), files - 6);  // docs and the five entries below it
  // Shown again from the root.
  QCOMPARE(d.tvDir->currentItem(), d.tvDir->topLevelItem(0));
  QVERIFY(NodeTexts(d.tvDir->topLevelItem(0)).isEmpty());
  QCOMPARE(Column(*d.fl, 0), QStringList{"a.bin"});
}

void TLayoutBrowserTest::keysOfTheMenus() {
  TLayoutFixture f;
  TfrmDiscLayout d(f.T.Window.get(), f.B());
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  QStringList captions;
  for (QMenu* m : {d.pmnGrid, d.pmnTree})
    for (QAction* a : m->actions()) captions << a->text() + " " + a->shortcut().toString();
  QCOMPARE(captions, (QStringList{"?? Del", "?? F5", "?? Del", "?? F5"}));
  // Del in the grid takes the file out; F5 in the tree rebuilds.
  d.fl->setFocus();
  d.fl->setCurrentCell(1, 0);
  QTest::keyClick(d.fl, Qt::Key_Delete);
  QVERIFY(f.B().FindEntry(f.B().RootDir(), "a.bin") == nullptr);
  d.tvDir->setFocus();
  d.tvDir->setCurrentItem(d.tvDir->topLevelItem(0)->child(0));
  QTest::keyClick(d.tvDir, Qt::Key_F5);
  QCOMPARE(d.tvDir->currentItem(), d.tvDir->topLevelItem(0));
  // "Close" takes the browser away.
  QTest::mouseClick(d.findChild<QWidget*>("bClose"), Qt::LeftButton);
  QVERIFY(!d.isVisible());
}

TIDEMARK_QTEST_MAIN(TLayoutBrowserTest)
#include "tst_layout_browser.moc"
