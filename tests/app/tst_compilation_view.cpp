// The compilation view: the settings the creation sequence reads into the
// burner, every editing command's effect on the burner and on the view,
// the add callbacks and their report, drops and going into folders.
#include <QAbstractItemDelegate>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>

#include "app/item_list_model.h"
#include "app_test_support.h"

namespace {

QStringList Captions(const TFGUI& w) {
  QStringList out;
  for (int i = 0; i < w.lvwModel->Count(); ++i) {
    const TListItem& item = w.lvwModel->Item(i);
    out << (item.ImageIndex == 1 ? "[" + item.Caption + "]" : item.Caption);
  }
  return out;
}

QStringList ChildTexts(QTreeWidgetItem* node) {
  QStringList out;
  for (int i = 0; node != nullptr && i < node->childCount(); ++i) out << node->child(i)->text(0);
  return out;
}

// The entries of a compilation folder, folders in brackets, in entry order.
QStringList Entries(TzqCDBurner& b, const std::string& path) {
  QStringList out;
  int32_t kind = 0;
  PFileEntry e = nullptr;
  PDirEntry d = b.FindDir(path);
  while (b.NextEntry(d, kind, e)) {
    QString name = QString::fromStdString(e->LongName);
    out << (kind == 1 ? "[" + name + "]" : name);
  }
  return out;
}

int RowOf(const TFGUI& w, const QString& caption) {
  for (int i = 0; i < w.lvwModel->Count(); ++i) {
    if (w.lvwModel->Item(i).Caption == caption) return i;
  }
  return -1;
}

void Select(TFGUI& w, const QStringList& captions) {
  w.lvwISORoot->setFocus();
  w.lvwISORoot->clearSelection();
  for (const QString& c : captions) {
    int row = RowOf(w, c);
    QVERIFY2(row >= 0, qPrintable(c));
    w.lvwISORoot->selectionModel()->select(w.lvwModel->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w.lvwISORoot->setCurrentIndex(w.lvwModel->index(row, 0));
  }
  w.lvwISORoot->selectionModel()->select(w.lvwModel->index(RowOf(w, captions.first()), 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Renames through the list's own editor: Rename, type, Enter.
TDialogLog RenameInPlace(TFGUI& w, const QString& caption, const QString& text) {
  Select(w, {caption});
  w.lvwISORoot->selectionModel()->select(
      w.lvwModel->index(RowOf(w, caption), 0),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  return AnswerDialogs([&] {
    w.actRename->trigger();
    auto* editor = w.lvwISORoot->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor != nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  });
}

// A double click as the window system delivers it: press, release, then
// the double click.
void DoubleClick(QWidget* w, QPoint at) {
  QTest::mouseClick(w, Qt::LeftButton, {}, at);
  QTest::mouseDClick(w, Qt::LeftButton, {}, at);
}

struct TReady {
  TTestPlace Place;
  TWindowUnderTest T;
  TFGUI& W() { return *T.Window; }
};

std::unique_ptr<TReady> Ready() {
  auto r = std::make_unique<TReady>();
  r->T = MakeWindow(r->Place.Environment());
  r->W().show();
  r->W().activateWindow();
  if (!QTest::qWaitForWindowActive(&r->W())) qWarning("window not active");
  return r;
}

}  // namespace

class TCompilationViewTest : public QObject {
  Q_OBJECT
 private slots:
  void settingsReadAtCreation_data();
  void settingsReadAtCreation();
  void addingFoldersAndFiles();
  void whatTheBurnerRefusesIsNotShown();
  void totalSpace();
  void newAndClear();
  void deleteSelected();
  void deleteKey();
  void renameFiles_data();
  void renameFiles();
  void renameFolder();
  void createFolder();
  void selectAllAndProperty();
  void goingIntoFolders();
  void dropOnTheItemList();
};

void TCompilationViewTest::settingsReadAtCreation_data() {
  QTest::addColumn<QByteArray>("ini");
  QTest::addColumn<bool>("archive");
  QTest::addColumn<bool>("closeDisc");
  QTest::addColumn<bool>("testWrite");
  QTest::addColumn<bool>("opc");
  QTest::addColumn<bool>("quickSave");
  QTest::addColumn<bool>("showFiles");
  QTest::addColumn<QString>("volume");
  QTest::addColumn<int>("cache");
  QTest::newRow("no file") << QByteArray() << false << false << false << false << false << false
                           << "" << 4194304;
  QTest::newRow("every key") << QByteArray(
                                    "[Options]\r\nArchiveFiles=1\r\nCloseDisc=1\r\nTestWrite=1\r\n"
                                    "PerformOPC=1\r\nQuickSaveISO=1\r\nShowFiles=1\r\n"
                                    "VolumeLable=BACKUP 2024\r\nCacheSize=8388608\r\n")
                             << true << true << true << true << true << true << "BACKUP 2024"
                             << 8388608;
  QTest::newRow("small cache") << QByteArray("[Options]\nCacheSize=1000\n") << false << false
                               << false << false << false << false << "" << 2097152;
  QTest::newRow("odd cache") << QByteArray("[Options]\nCacheSize=5000000\n") << false << false
                             << false << false << false << false << "" << 4999168;
  QTest::newRow("hex and odd booleans")
      << QByteArray("[options]\nTestWrite=yes\nPerformOPC=2\nCloseDisc=0x0\nCacheSize=$600000\n")
      << false << false << false << true << false << false << "" << 0x600000;
  QTest::newRow("Chinese label, misspelling kept")
      << QByteArray("[Options]\nVolumeLabel=wrong key\nVolumeLable=\xE5\x85\x89\xE7\x9B\x98\n")
      << false << false << false << false << false << false << QString::fromUtf8("光盘") << 4194304;
  QTest::newRow("other section") << QByteArray("[Settings]\nArchiveFiles=1\n") << false << false
                                 << false << false << false << false << "" << 4194304;
}

void TCompilationViewTest::settingsReadAtCreation() {
  QFETCH(QByteArray, ini);
  TTestPlace place;
  if (!ini.isNull()) place.WriteSettings(ini);
  QuickSaveISO = false;
  ShowFiles = false;
  TWindowUnderTest t = MakeWindow(place.Environment());
  TzqCDBurner& b = t.Window->zqCDBurner1;
  QTEST(t.Window->FArchiveFiles, "archive");
  QTEST(b.FinalizeDisc, "closeDisc");
  QTEST(b.TestWrite, "testWrite");
  QTEST(b.PerformOPC, "opc");
  QTEST(QuickSaveISO, "quickSave");
  QTEST(ShowFiles, "showFiles");
  QTEST(QString::fromStdString(b.IdVolume), "volume");
  QTEST(b.CacheSize(), "cache");
  QVERIFY(b.StripSourcePath);
  QCOMPARE(b.MaxFiles(), 600000);
  QCOMPARE(b.MaxDirs(), 20000);
  QCOMPARE(t.Window->edtCDDir->text(), QStringLiteral("\\"));
  QuickSaveISO = false;
  ShowFiles = false;
}

void TCompilationViewTest::addingFoldersAndFiles() {
  auto r = Ready();
  TFGUI& w = r->W();
  const TTestPlace& p = r->Place;
  p.MakeFile("src/Data/Photos/a.jpg", 10);
  p.MakeFile("src/Data/Photos/Recycled/junk.txt", 1);
  p.MakeFile("src/Data/Photos/recycled.old/keep.txt", 1);
  p.MakeFile("src/Data/Photos/2004/Summer/beach.jpg", 5);
  QString notes = p.MakeFile("src/notes.txt", 3);
  QString makefile = p.MakeFile("src/Makefile", 3);

  w.AddSourceItems(
      w.CurrentFolderNode(),
      {{p.Root() + "/src/Data/Photos", true}, {notes, false}, {makefile, false}, {"/", true}});
  QCOMPARE(Captions(w), (QStringList{"[Photos]", "notes.txt", "Makefile."}));
  QCOMPARE(Entries(w.zqCDBurner1, "\\"), (QStringList{"[Photos]", "notes.txt", "Makefile."}));
  // Files first, then the subfolders in the order the folder lists them.
  QStringList photos = Entries(w.zqCDBurner1, "\\PHOTOS");
  QCOMPARE(photos.takeFirst(), QStringLiteral("a.jpg"));
  photos.sort();
  QCOMPARE(photos, (QStringList{"[2004]", "[recycled.old]"}));
  QVERIFY(std::count(r->T.Debug->begin(), r->T.Debug->end(), "0|>>> SKIPING RECYCLE BIN") == 1);
  // The tree: the new folder under the root, loaded one level down.
  QTreeWidgetItem* root = w.RootNode();
  QCOMPARE(ChildTexts(root), QStringList{"Photos"});
  QStringList below = ChildTexts(root->child(0));
  below.sort();
  QCOMPARE(below, (QStringList{"2004", "recycled.old"}));
  QVERIFY(root->isExpanded());
  QCOMPARE(w.dxstbOne->text(), QStringLiteral("1 item left out (recycle bins: 1)"));

  // The same file again: not added, said so.
  w.AddSourceItems(w.CurrentFolderNode(), {{notes, false}});
  QCOMPARE(Captions(w), (QStringList{"[Photos]", "notes.txt", "Makefile."}));
  QCOMPARE(w.dxstbOne->text(), QStringLiteral("1 item left out (already in the folder: 1)"));
  QVERIFY(w.actAdd->isEnabled());
  QVERIFY(!w.FAdding);

  // An add leaves the commands as it found them: one the recorder does not
  // allow stays off.
  w.actBurn->setEnabled(false);
  w.AddSourceItems(w.CurrentFolderNode(), {{makefile, false}});
  QVERIFY(!w.actBurn->isEnabled());
  QVERIFY(w.actErase->isEnabled());
  QVERIFY(w.lvwISORoot->isEnabled());
}

void TCompilationViewTest::whatTheBurnerRefusesIsNotShown() {
  auto r = Ready();
  TFGUI& w = r->W();
  const TTestPlace& p = r->Place;
  QString name107 = QString(103, 'n') + ".txt";
  QString name108 = QString(104, 'l') + ".txt";
  QString ok = p.MakeFile("in/" + name107, 1);
  QString tooLong = p.MakeFile("in/" + name108, 1);
  QString huge = p.MakeFile("in/huge.bin", 4294967296LL);  // sparse
  p.MakeFile("in/folder/" + name108, 1);
  p.MakeFile("in/folder/fine.txt", 1);
  p.MakeFolder("in/folder/" + QString(128, 'd'));

  w.AddSourceItems(w.CurrentFolderNode(),
                   {{ok, false}, {tooLong, false}, {huge, false}, {p.Root() + "/in/folder", true}});
  QCOMPARE(Captions(w), (QStringList{name107, "[folder]"}));
  QCOMPARE(Entries(w.zqCDBurner1, "\\FOLDER"), QStringList{"fine.txt"});
  QCOMPARE(w.dxstbOne->text(),
           QStringLiteral("4 items left out (files of 4 GB or more: 1, names too long: 3)"));

  // A full file table: what did not fit is not listed.
  w.zqCDBurner1.ClearAll(3, 10);
  w.lvwModel->Clear();
  QString a = p.MakeFile("few/a", 1), b = p.MakeFile("few/b", 1), c = p.MakeFile("few/c", 1),
          d = p.MakeFile("few/d", 1);
  w.AddSourceItems(w.CurrentFolderNode(), {{a, false}, {b, false}, {c, false}, {d, false}});
  QCOMPARE(Captions(w), (QStringList{"a.", "b.", "c."}));
  QCOMPARE(w.dxstbOne->text(), QStringLiteral("1 item left out (compilation full: 1)"));
}

void TCompilationViewTest::totalSpace() {
  auto r = Ready();
  TFGUI& w = r->W();
  QString one = r->Place.MakeFile("m/one.bin", 1048576);
  QString two = r->Place.MakeFile("m/two.bin", 1048576);
  QString odd = r->Place.MakeFile("m/odd.bin", 1);
  QCOMPARE(w.lblTotalSpace->text(), QStringLiteral("MB"));  // until something refreshes it
  // While a file is offered the label shows the total before it; once the
  // add is done, the total with it.
  QStringList seen;
  auto watch = connect(w.lvwModel, &QAbstractItemModel::rowsInserted,
                       [&] { seen << w.lblTotalSpace->text(); });
  w.AddSourceItems(w.CurrentFolderNode(), {{one, false}});
  QCOMPARE(seen, QStringList{"0.00 MB"});
  QCOMPARE(w.lblTotalSpace->text(), QStringLiteral("1.00 MB"));
  w.AddSourceItems(w.CurrentFolderNode(), {{two, false}, {odd, false}});
  disconnect(watch);
  QCOMPARE(w.lblTotalSpace->text(), QStringLiteral("2.00 MB"));  // 2 MiB + 2048 bytes
  QCOMPARE(FormatMegabytes(1234567890123LL), QStringLiteral("1,177,375.69 MB"));
  QCOMPARE(FormatMegabytes(5242), QStringLiteral("0.00 MB"));
  QCOMPARE(FormatMegabytes(5243), QStringLiteral("0.01 MB"));
}

void TCompilationViewTest::newAndClear() {
  auto r = Ready();
  TFGUI& w = r->W();
  r->Place.MakeFile("d/Docs/x.txt", 4096);
  QString file = r->Place.MakeFile("d/y.txt", 10);
  w.AddSourceItems(w.CurrentFolderNode(), {{r->Place.Root() + "/d/Docs", true}, {file, false}});
  QCOMPARE(w.zqCDBurner1.FilesCount(), 3);

  w.actDeleteAll->trigger();
  QCOMPARE(w.zqCDBurner1.FilesCount(), 0);
  QCOMPARE(w.zqCDBurner1.DirsCount(), 0);
  QCOMPARE(w.lvwModel->Count(), 0);
  QCOMPARE(w.RootNode()->childCount(), 0);
  QVERIFY(w.RootNode()->isExpanded());
  QCOMPARE(w.lblTotalSpace->text(), QStringLiteral("0.00 MB"));

  w.AddSourceItems(w.CurrentFolderNode(), {{file, false}});
  w.zqCDBurner1.StripSourcePath = false;
  w.actNew->trigger();
  QCOMPARE(w.tvwISO->topLevelItemCount(), 1);
  QCOMPARE(w.RootNode()->text(0), QStringLiteral("NEW"));
  QCOMPARE(w.CurrentFolderNode(), w.RootNode());
  QCOMPARE(w.lvwModel->Count(), 0);
  QCOMPARE(w.zqCDBurner1.FilesCount(), 0);
  QVERIFY(w.zqCDBurner1.StripSourcePath);
  QCOMPARE(w.lblTotalSpace->text(), QStringLiteral("0.00 MB"));
}

void TCompilationViewTest::deleteSelected() {
  auto r = Ready();
  TFGUI& w = r->W();
  r->Place.MakeFile("d/Docs/x.txt", 4096);
  r->Place.MakeFile("d/Docs/Sub/y.txt", 4096);
  QString keep = r->Place.MakeFile("d/keep.txt", 2048);
  QString drop = r->Place.MakeFile("d/drop.txt", 2048);
  w.AddSourceItems(w.CurrentFolderNode(),
                   {{r->Place.Root() + "/d/Docs", true}, {keep, false}, {drop, false}});
  QCOMPARE(w.zqCDBurner1.TotalAddedBytes(), 4096 * 2 + 2048 * 2);

  // Without the focus on the list nothing happens.
  Select(w, {"Docs", "drop.txt"});
  w.edtCDDir->setFocus();
  w.actDelete->trigger();
  QCOMPARE(w.lvwModel->Count(), 3);

  Select(w, {"Docs", "drop.txt"});
  w.actDelete->trigger();
  QCOMPARE(Captions(w), QStringList{"keep.txt"});
  QCOMPARE(Entries(w.zqCDBurner1, "\\"), QStringList{"keep.txt"});
  QCOMPARE(w.zqCDBurner1.DirsCount(), 0);
  QCOMPARE(w.RootNode()->childCount(), 0);
  QCOMPARE(w.lblTotalSpace->text(), QStringLiteral("0.00 MB"));
  QCOMPARE(w.zqCDBurner1.TotalAddedBytes(), 2048);
}

// The Delete key deletes the list's selection as Delete does, and the
// tree's folder; not while an item is being renamed, and not the root.
void TCompilationViewTest::deleteKey() {
  auto r = Ready();
  TFGUI& w = r->W();
  r->Place.MakeFile("k/Docs/Sub/x.txt", 1);
  r->Place.MakeFile("k/Other/y.txt", 1);
  const QString a = r->Place.MakeFile("k/a.txt", 1);
  const QString b = r->Place.MakeFile("k/b.txt", 1);
  w.AddSourceItems(w.CurrentFolderNode(), {{r->Place.Root() + "/k/Docs", true},
                                           {r->Place.Root() + "/k/Other", true},
                                           {a, false},
                                           {b, false}});
  QCOMPARE(w.actDelete->shortcut(), QKeySequence(Qt::Key_Delete));

  Select(w, {"a.txt"});
  QTest::keyClick(w.lvwISORoot, Qt::Key_Delete);
  QCOMPARE(Captions(w), (QStringList{"[Docs]", "[Other]", "b.txt"}));
  QCOMPARE(Entries(w.zqCDBurner1, "\\"), (QStringList{"[Docs]", "[Other]", "b.txt"}));

  // The key goes to the editor while a caption is edited.
  Select(w, {"b.txt"});
  w.actRename->trigger();
  auto* editor = w.lvwISORoot->viewport()->findChild<QLineEdit*>();
  QVERIFY(editor != nullptr);
  editor->setCursorPosition(0);
  QTest::keyClick(editor, Qt::Key_Delete);
  QCOMPARE(editor->text(), QStringLiteral(".txt"));
  QTest::keyClick(editor, Qt::Key_Escape);
  QCOMPARE(Captions(w), (QStringList{"[Docs]", "[Other]", "b.txt"}));

  // In the tree: the current folder, with everything below it; its parent
  // becomes current.
  QTreeWidgetItem* docs = w.RootNode()->child(0);
  w.tvwISO->setFocus();
  w.tvwISO->setCurrentItem(docs->child(0));
  QCOMPARE(w.tvwISO->currentItem()->text(0), QStringLiteral("Sub"));
  QTest::keyClick(w.tvwISO, Qt::Key_Delete);
  QCOMPARE(w.CurrentFolderNode(), docs);
  QCOMPARE(ChildTexts(docs), QStringList());
  QVERIFY(w.zqCDBurner1.FindDir("\\DOCS\\SUB") == nullptr);
  QCOMPARE(Captions(w), QStringList());
  w.tvwISO->setCurrentItem(w.RootNode()->child(1));
  QTest::keyClick(w.tvwISO, Qt::Key_Delete);
  QCOMPARE(ChildTexts(w.RootNode()), QStringList{"Docs"});
  QCOMPARE(Entries(w.zqCDBurner1, "\\"), (QStringList{"[Docs]", "b.txt"}));
  QCOMPARE(w.tvwISO->currentItem(), w.RootNode());
  QTest::keyClick(w.tvwISO, Qt::Key_Delete);
  QCOMPARE(Entries(w.zqCDBurner1, "\\"), (QStringList{"[Docs]", "b.txt"}));
  QCOMPARE(w.tvwISO->topLevelItemCount(), 1);
}

void TCompilationViewTest::renameFiles_data() {
  QTest::addColumn<QString>("to");
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("longName");
  QTest::addColumn<QString>("shortName");
  QTest::newRow("with extension") << "summary.txt"
                                  << ""
                                  << "summary.txt"
                                  << "SUMMAR~1.TXT";
  QTest::newRow("no extension") << "notes"
                                << ""
                                << "notes"
                                << "NOTES~1NOTES";
  QTest::newRow("long, no dot keeps the short name") << "journal"
                                                     << ""
                                                     << "journal"
                                                     << "REPORT.TXT";
  QTest::newRow("unchanged") << "report.txt"
                             << "Have the same name, can not rename."
                             << "report.txt"
                             << "REPORT.TXT";
  QTest::newRow("letter case only") << "REPORT.TXT"
                                    << "Have the same name, can not rename."
                                    << "report.txt"
                                    << "REPORT.TXT";
  QTest::newRow("taken") << "other.txt"
                         << "Have the same name, can not rename."
                         << "report.txt"
                         << "REPORT.TXT";
  QTest::newRow("backslash") << "a\\b.txt"
                             << "Invalid Name."
                             << "report.txt"
                             << "REPORT.TXT";
  QTest::newRow("slash") << "a/b.txt"
                         << "Invalid Name."
                         << "report.txt"
                         << "REPORT.TXT";
  QTest::newRow("empty") << ""
                         << ""
                         << "report.txt"
                         << "REPORT.TXT";
  // Cut to 106 characters, no dot left: the built short name is too long.
  QTest::newRow("cut to 106") << QString(110, 'x') + ".txt"
                              << "" << QString(106, 'x') << "REPORT.TXT";
}

void TCompilationViewTest::renameFiles() {
  QFETCH(QString, to);
  QFETCH(QString, message);
  QFETCH(QString, longName);
  QFETCH(QString, shortName);
  auto r = Ready();
  TFGUI& w = r->W();
  w.AddSourceItems(w.CurrentFolderNode(), {{r->Place.MakeFile("r/report.txt", 1), false},
                                           {r->Place.MakeFile("r/other.txt", 1), false}});
  TDialogLog log = RenameInPlace(w, "report.txt", to);
  QCOMPARE(log.Messages, message.isEmpty() ? QStringList() : QStringList{message});
  PFileEntry e = w.zqCDBurner1.FindEntryByPath("\\", longName.toStdString());
  QVERIFY(e != nullptr);
  QCOMPARE(QString::fromStdString(e->LongName), longName);
  QCOMPARE(QString::fromStdString(e->ShortName), shortName);
  QCOMPARE(Captions(w).first(), longName);
}

void TCompilationViewTest::renameFolder() {
  auto r = Ready();
  TFGUI& w = r->W();
  r->Place.MakeFile("f/Old/a.txt", 1);
  r->Place.MakeFile("f/Old/Sub/b.txt", 1);
  QString later = r->Place.MakeFile("f/later.txt", 1);
  w.AddSourceItems(w.CurrentFolderNode(), {{r->Place.Root() + "/f/Old", true}, {later, false}});
  TDialogLog log = RenameInPlace(w, "Old", "New Name");
  QVERIFY(log.Messages.isEmpty());
  // The folder under its new name stands at the end of its parent's
  // entries, with everything it held; the list keeps its place.
  QCOMPARE(Entries(w.zqCDBurner1, "\\"), (QStringList{"later.txt", "[New Name]"}));
  QCOMPARE(Entries(w.zqCDBurner1, "\\NEW NAME"), (QStringList{"a.txt", "[Sub]"}));
  QCOMPARE(Entries(w.zqCDBurner1, "\\NEW NAME\\SUB"), QStringList{"b.txt"});
  QVERIFY(w.zqCDBurner1.FindDir("\\OLD") == nullptr);
  QCOMPARE(Captions(w), (QStringList{"[New Name]", "later.txt"}));
  QCOMPARE(ChildTexts(w.RootNode()), QStringList{"New Name"});
  QCOMPARE(w.zqCDBurner1.FilesCount(), 5);

  // A compilation too full for the copy keeps the old folder whole.
  w.zqCDBurner1.ClearAll(5, 20);
  w.actDeleteAll->trigger();
  w.zqCDBurner1.ClearAll(5, 20);
  w.AddSourceItems(w.CurrentFolderNode(), {{r->Place.Root() + "/f/Old", true}});
  QCOMPARE(w.zqCDBurner1.FilesCount(), 4);
  log = RenameInPlace(w, "Old", "Renamed");
  QCOMPARE(Entries(w.zqCDBurner1, "\\"), QStringList{"[Old]"});
  QCOMPARE(Entries(w.zqCDBurner1, "\\OLD"), (QStringList{"a.txt", "[Sub]"}));
  QCOMPARE(Captions(w), QStringList{"[Old]"});
  QVERIFY(w.dxstbOne->text().contains("not renamed"));
}

void TCompilationViewTest::createFolder() {
  auto r = Ready();
  TFGUI& w = r->W();
  TDialogLog log = AnswerDialogs([&] { w.actCreateFolder->trigger(); }, {QString("  A ")});
  QCOMPARE(log.InputTitles, QStringList{"Create Folder"});
  QCOMPARE(log.InputPrompts, QStringList{"Please Type Folder Name, max 106 chars"});
  QVERIFY(log.Messages.isEmpty());
  QCOMPARE(Entries(w.zqCDBurner1, "\\"), QStringList{"[  A ]"});
  QCOMPARE(Captions(w), QStringList{"[  A ]"});
  QCOMPARE(ChildTexts(w.RootNode()), QStringList{"  A "});
  QVERIFY(w.lvwISORoot->selectionModel()->isRowSelected(0));

  struct {
    std::optional<QString> answer;
    QString message;
  } refused[] = {
      {std::nullopt, ""},
      {QString("   "), ""},
      {QString("x\\y"), "Invalid Name."},
      {QString("x/y"), "Invalid Name."},
      {QString("  a "), "Have the same name, can not Create."},
  };
  for (const auto& c : refused) {
    log = AnswerDialogs([&] { w.actCreateFolder->trigger(); }, {c.answer});
    QCOMPARE(log.Messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
  }
  QCOMPARE(Entries(w.zqCDBurner1, "\\"), QStringList{"[  A ]"});

  log = AnswerDialogs([&] { w.actCreateFolder->trigger(); }, {QString(120, 'q')});
  QCOMPARE(Entries(w.zqCDBurner1, "\\"), (QStringList{"[  A ]", "[" + QString(106, 'q') + "]"}));
}

void TCompilationViewTest::selectAllAndProperty() {
  auto r = Ready();
  TFGUI& w = r->W();
  r->Place.MakeFile("p/Folder/one.bin", 1048576);
  r->Place.MakeFile("p/Folder/Deep/two.bin", 1048576);
  QString file = r->Place.MakeFile("p/file.bin", 524288);
  w.AddSourceItems(w.CurrentFolderNode(), {{r->Place.Root() + "/p/Folder", true}, {file, false}});

  w.edtCDDir->setFocus();
  w.actSelectAll->trigger();
  QCOMPARE(w.lvwISORoot->selectionModel()->selectedRows().size(), 2);
  TDialogLog log = AnswerDialogs([&] { w.actProperty->trigger(); });
  QVERIFY(log.Messages.isEmpty());  // the list does not have the focus

  Select(w, {"Folder"});
  w.lvwISORoot->selectionModel()->select(
      w.lvwModel->index(RowOf(w, "Folder"), 0),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  log = AnswerDialogs([&] { w.actProperty->trigger(); });
  PFileEntry folder = w.zqCDBurner1.FindEntryByPath("\\", "Folder");
  QString date = DateTimeFromDays(folder->DateTime).toString("yyyy-MM-dd HH:mm:ss");
  QCOMPARE(log.Messages, QStringList{"Name: Folder\r\n\r\nSize: 2.00 MB\r\n\r\nDate: " + date});
  Select(w, {"Folder", "file.bin"});
  log = AnswerDialogs([&] { w.actProperty->trigger(); });
  QCOMPARE(log.Messages, QStringList{"Size: 2.50 MB"});
}

void TCompilationViewTest::goingIntoFolders() {
  auto r = Ready();
  TFGUI& w = r->W();
  r->Place.MakeFile("g/Docs/2004/report.txt", 1);
  r->Place.MakeFile("g/Docs/readme.txt", 1);
  w.AddSourceItems(w.CurrentFolderNode(), {{r->Place.Root() + "/g/Docs", true}});

  // A double click on a folder item opens it.
  QRect at = w.lvwISORoot->visualRect(w.lvwModel->index(RowOf(w, "Docs"), 0));
  DoubleClick(w.lvwISORoot->viewport(), at.center());
  QCOMPARE(w.edtCDDir->text(), QStringLiteral("\\Docs\\"));
  QCOMPARE(Captions(w), (QStringList{"[2004]", "readme.txt"}));
  w.actSelectAll->trigger();
  DoubleClick(w.lvwISORoot->viewport(), w.lvwISORoot->visualRect(w.lvwModel->index(0, 0)).center());
  QCOMPARE(w.edtCDDir->text(), QStringLiteral("\\Docs\\2004\\"));
  QCOMPARE(Captions(w), QStringList{"report.txt"});

  // Commands work at that depth.
  AnswerDialogs([&] { w.actCreateFolder->trigger(); }, {QString("Made")});
  QCOMPARE(Entries(w.zqCDBurner1, "\\DOCS\\2004"), (QStringList{"report.txt", "[Made]"}));
  w.AddSourceItems(w.CurrentFolderNode(), {{r->Place.MakeFile("g/extra.txt", 1), false}});
  RenameInPlace(w, "report.txt", "final.txt");
  Select(w, {"extra.txt"});
  w.actDelete->trigger();
  QCOMPARE(Entries(w.zqCDBurner1, "\\DOCS\\2004"), (QStringList{"final.txt", "[Made]"}));
  QCOMPARE(Captions(w), (QStringList{"final.txt", "[Made]"}));

  // The tree shows the way; choosing a node there, or Backspace, goes back.
  w.tvwISO->setCurrentItem(w.RootNode());
  QCOMPARE(w.edtCDDir->text(), QStringLiteral("\\"));
  QCOMPARE(Captions(w), QStringList{"[Docs]"});
  w.tvwISO->setCurrentItem(w.RootNode()->child(0)->child(0));
  QCOMPARE(Captions(w), (QStringList{"[Made]", "final.txt"}));
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  w.lvwISORoot->setFocus();
  QTest::keyClick(w.lvwISORoot, Qt::Key_Backspace);
  QCOMPARE(w.edtCDDir->text(), QStringLiteral("\\Docs\\"));
}

void TCompilationViewTest::dropOnTheItemList() {
  auto r = Ready();
  TFGUI& w = r->W();
  QString a = r->Place.MakeFile("drop/a file.txt", 1);
  QString b = r->Place.MakeFile(QString::fromUtf8("drop/\xE5\x85\x89\xE7\x9B\x98.txt"), 1);
  r->Place.MakeFile("drop/Folder/inside.txt", 1);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b),
                QUrl::fromLocalFile(r->Place.Root() + "/drop/Folder")});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.lvwISORoot->viewport(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.lvwISORoot->viewport(), &drop);
  QCOMPARE(Captions(w), (QStringList{"a file.txt", QString::fromUtf8("光盘.txt"), "[Folder]"}));
  QCOMPARE(Entries(w.zqCDBurner1, "\\FOLDER"), QStringList{"inside.txt"});
}

TIDEMARK_QTEST_MAIN(TCompilationViewTest)
#include "tst_compilation_view.moc"
