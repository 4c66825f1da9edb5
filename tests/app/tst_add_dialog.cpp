// The Add dialog over the real file system, answered by the test.
#include <QAction>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include "app/add_dialog.h"
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
  QModelIndex root = d->lvwFiles->rootIndex();
  for (int r = 0; r < d->FileModel->rowCount(root); ++r) {
    QModelIndex i = d->FileModel->index(r, 0, root);
    if (d->FileModel->fileName(i) == name) return i;
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
        QCOMPARE(d->minimumSize(), d->maximumSize());
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
        QTRY_COMPARE(d->FileModel->rowCount(d->lvwFiles->rootIndex()), 4);
        // Sorted, folders first.
        QCOMPARE(d->FileModel->fileName(d->FileModel->index(0, 0, d->lvwFiles->rootIndex())),
                 QStringLiteral("Folder"));

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

TIDEMARK_QTEST_MAIN(TAddDialogTest)
#include "tst_add_dialog.moc"
