// The Add dialog over the real file system, answered by the test.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>

#include "app/add_dialog.h"
#include "app/folder_list_model.h"
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

QModelIndex FileIndex(TfrmAdd* d, const QString& name) {
  for (int r = 0; r < d->FileModel->rowCount(); ++r) {
    QModelIndex i = d->FileModel->index(r, 0);
    if (d->FileModel->FileName(i) == name) return i;
  }
  return QModelIndex();
}

int Selected(TfrmAdd* d) {
  return static_cast<int>(d->lvwFiles->selectionModel()->selectedRows().size());
}

}  // namespace

class TAddDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void addsWhatIsChosen();
  void listOrderAndDetails();
  void resizesAndOffersThePlaces();
  void opensAtTheLastFolder();
};

void TAddDialogTest::addsWhatIsChosen() {
  TTestPlace place;
  place.MakeFile("src/b.txt", 100);
  place.MakeFile("src/a.txt", 10);
  place.MakeFile("src/Folder/inner.txt", 1);
  place.MakeFile("src/Other/deep/x.txt", 1);
  const QString src = place.Root() + "/src";
  TWindowUnderTest t = MakeWindow(place.Environment());
  TFGUI& w = *t.Window;
  w.show();

  bool driven = false;
  AnswerDialogs(
      [&] { w.actAdd->trigger(); }, {},
      [&](QWidget* widget) {
        auto* d = qobject_cast<TfrmAdd*>(widget);
        QVERIFY(d != nullptr);
        QCOMPARE(d->windowTitle(), QStringLiteral("Add"));
        QCOMPARE(d->actAdd->shortcut(), QKeySequence("Ctrl+D"));
        QCOMPARE(d->actSelectAll->shortcut(), QKeySequence("Ctrl+A"));
        QCOMPARE(d->actUnselect->shortcut(), QKeySequence("Ctrl+U"));
        QCOMPARE(d->actSelInv->shortcut(), QKeySequence("Ctrl+I"));
        QStringList buttons;
        for (QPushButton* b : d->findChildren<QPushButton*>()) buttons << b->text();
        for (const char* b : {"Select All", "Unselect", "Select Inverse", "Add", "OK"}) {
          QVERIFY2(buttons.contains(b), b);
        }

        d->ShowFolder(src);
        QCOMPARE(d->SelectedFolder(), src);
        QTRY_COMPARE(d->FileModel->rowCount(), 4);
        // Sorted, folders first.
        QCOMPARE(d->FileModel->FileName(d->FileModel->index(0, 0)), QStringLiteral("Folder"));

        d->actSelectAll->trigger();
        QCOMPARE(Selected(d), 4);
        d->actUnselect->trigger();
        QCOMPARE(Selected(d), 0);
        d->lvwFiles->selectionModel()->select(
            FileIndex(d, "a.txt"), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        d->actSelInv->trigger();
        QCOMPARE(Selected(d), 3);

        // From the list: the selected items, in list order, then unselected.
        d->actUnselect->trigger();
        for (const char* n : {"b.txt", "Folder"}) {
          d->lvwFiles->selectionModel()->select(
              FileIndex(d, n), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        d->lvwFiles->setFocus();
        QTest::mouseClick(d->findChild<QPushButton*>("btnAdd"), Qt::LeftButton);
        QCOMPARE(Captions(w), (QStringList{"[Folder]", "b.txt"}));
        QCOMPARE(Selected(d), 0);

        // Double-clicking a file in the list adds it.
        QRect at = d->lvwFiles->visualRect(FileIndex(d, "a.txt"));
        QTest::mouseClick(d->lvwFiles->viewport(), Qt::LeftButton, {}, at.center());
        QTest::mouseDClick(d->lvwFiles->viewport(), Qt::LeftButton, {}, at.center());
        QCOMPARE(Captions(w), (QStringList{"[Folder]", "b.txt", "a.txt"}));

        // From the tree: the folder chosen there.
        d->ShowFolder(src + "/Other");
        d->tvwDir->setFocus();
        d->actAdd->trigger();
        QCOMPARE(Captions(w), (QStringList{"[Folder]", "b.txt", "a.txt", "[Other]"}));

        QTest::mouseClick(d->btnOK, Qt::LeftButton);
        QVERIFY(!d->isVisible());
        driven = true;
      });
  QVERIFY(driven);
  QVERIFY(w.findChildren<TfrmAdd*>().isEmpty());
  QVERIFY(w.zqCDBurner1.FindDir("\\OTHER\\DEEP") != nullptr);
  QCOMPARE(w.RootNode()->childCount(), 2);
  QVERIFY(w.RootNode()->isExpanded());
  QCOMPARE(w.lblTotalSpace->text(), QStringLiteral("0.01 MB"));
}

namespace {

QStringList Names(TfrmAdd* d) {
  QStringList out;
  for (int r = 0; r < d->FileModel->rowCount(); ++r)
    out << d->FileModel->FileName(d->FileModel->index(r, 0));
  return out;
}

QString Cell(TfrmAdd* d, const QString& name, int column) {
  const QModelIndex i = FileIndex(d, name);
  return d->FileModel->data(d->FileModel->index(i.row(), column), Qt::DisplayRole).toString();
}

}  // namespace

// Folders first, then names by letter without regard to case and by the
// value of their digits; hidden entries left out; a link to a folder is a
// folder. The list is read without holding up the dialog.
void TAddDialogTest::listOrderAndDetails() {
  TTestPlace place;
  const QString src = place.MakeFolder("src");
  for (const char* name : {"file10.txt", "file9.txt", "File1.txt", "file009.txt", ".hidden"})
    place.MakeFile(QStringLiteral("src/") + name, 3);
  place.MakeFile("src/big.bin", 5000);
  place.MakeFolder("src/b");
  place.MakeFolder("src/A");
  place.MakeFolder("src/.config");
  QFile::link(place.Root() + "/src/b", src + "/link");
  TWindowUnderTest t = MakeWindow(place.Environment());
  auto* d = new TfrmAdd(t.Window.get());
  d->ShowFolder(src);
  QTRY_VERIFY(d->FileModel->Loaded());
  QCOMPARE(Names(d), (QStringList{"A", "b", "link", "big.bin", "File1.txt", "file009.txt",
                                  "file9.txt", "file10.txt"}));
  QVERIFY(d->FileModel->IsDir(FileIndex(d, "link")));
  QCOMPARE(d->FileModel->FilePath(FileIndex(d, "A")), src + "/A");
  QCOMPARE(Cell(d, "A", TFolderListModel::kType), QStringLiteral("Folder"));
  QCOMPARE(Cell(d, "big.bin", TFolderListModel::kType), QStringLiteral("BIN File"));
  QCOMPARE(Cell(d, "big.bin", TFolderListModel::kSize), QLocale().formattedDataSize(5000));
  QVERIFY(!Cell(d, "big.bin", TFolderListModel::kDate).isEmpty());

  // By size, largest first: the folders stay in front; the selection
  // follows its entry.
  d->lvwFiles->selectionModel()->select(FileIndex(d, "file9.txt"),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
  d->lvwFiles->sortByColumn(TFolderListModel::kSize, Qt::DescendingOrder);
  QCOMPARE(Names(d).mid(0, 4), (QStringList{"link", "b", "A", "big.bin"}));
  const QModelIndexList selected = d->lvwFiles->selectionModel()->selectedRows();
  QCOMPARE(selected.size(), 1);
  QCOMPARE(d->FileModel->FileName(selected.front()), QStringLiteral("file9.txt"));

  // Another folder replaces the rows at once, and a folder that cannot be
  // read ends with none.
  d->ShowFolder(src + "/A");
  QCOMPARE(d->FileModel->rowCount(), 0);
  QTRY_VERIFY(d->FileModel->Loaded());
  d->FileModel->SetFolder(place.Root() + "/no-such-folder");
  QTRY_VERIFY(d->FileModel->Loaded());
  QCOMPARE(d->FileModel->rowCount(), 0);
  delete d;
}

// The dialog can be made larger and smaller down to what its captions
// need; beside the tree it offers home, the user's bookmarks (a missing
// folder left out) and the whole file system.
void TAddDialogTest::resizesAndOffersThePlaces() {
  TTestPlace place;
  const QString music = place.MakeFolder("Music");
  place.MakeFile("Music/song.ogg", 1);
  QFile bookmarks(place.Root() + "/config/gtk-3.0/bookmarks");
  QDir().mkpath(place.Root() + "/config/gtk-3.0");
  QVERIFY(bookmarks.open(QIODevice::WriteOnly));
  bookmarks.write(QUrl::fromLocalFile(music).toString().toUtf8() + " My Music\n" +
                  QUrl::fromLocalFile(place.Root() + "/gone").toString().toUtf8() + " Gone\n" +
                  "sftp://host/share Remote\n" + QByteArray(10000, 'x') + "\n");
  bookmarks.close();
  TWindowUnderTest t = MakeWindow(place.Environment());
  auto* d = new TfrmAdd(t.Window.get());
  d->show();
  QVERIFY(d->minimumSize() != d->maximumSize());
  const QSize larger = d->size() + QSize(200, 100);
  d->resize(larger);
  QCOMPARE(d->size(), larger);
  QStringList places;
  for (int i = 0; i < d->lstPlaces->count(); ++i) places << d->lstPlaces->item(i)->text();
  QCOMPARE(places.first(), QStringLiteral("Home"));
  QVERIFY(places.contains("My Music"));
  QVERIFY(!places.contains("Gone"));
  QVERIFY(!places.contains("Remote"));
  QCOMPARE(places.last(), QStringLiteral("File System"));
  QListWidgetItem* item = d->lstPlaces->item(static_cast<int>(places.indexOf("My Music")));
  QTest::mouseClick(d->lstPlaces->viewport(), Qt::LeftButton, {},
                    d->lstPlaces->visualItemRect(item).center());
  QCOMPARE(d->SelectedFolder(), music);
  QTRY_COMPARE(Names(d), QStringList{"song.ogg"});
  delete d;
}

// The next dialog, also in a later run of the program, opens where the
// last one was; a folder that has gone since gives the home folder.
void TAddDialogTest::opensAtTheLastFolder() {
  TTestPlace place;
  const QString first = place.MakeFolder("first/inner");
  TWindowUnderTest t = MakeWindow(place.Environment());
  {
    TfrmAdd d(t.Window.get());
    d.ShowFolder(first);
    d.reject();
  }
  TfrmAdd::ForgetLastFolder();
  {
    TfrmAdd d(t.Window.get());
    QCOMPARE(d.SelectedFolder(), first);
    d.reject();
  }
  QDir(place.Root() + "/first").removeRecursively();
  TfrmAdd::ForgetLastFolder();
  TfrmAdd d(t.Window.get());
  QCOMPARE(d.SelectedFolder(), QDir::homePath());
}

TIDEMARK_QTEST_MAIN(TAddDialogTest)
#include "tst_add_dialog.moc"
