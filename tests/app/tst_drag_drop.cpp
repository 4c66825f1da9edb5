// The file drop receiver on a real list control.
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "app/ex_drag_drop.h"
#include "app_test_support.h"

namespace {

// Sends what a file manager sends for a drop of `paths` on `target`;
// true when the drop was taken.
bool Drop(QWidget* target, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
  data.setUrls(urls);
  QPoint at(5, 5);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

}  // namespace

class TDragDropTest : public QObject {
  Q_OBJECT
 private slots:
  void dropsReportTheirPaths();
  void oneControlAtATime();
  void destroyingRestoresTheControl();
  void nonFileDropsAreRefused();
};

void TDragDropTest::dropsReportTheirPaths() {
  QListWidget list;
  TzqExDragDrop dd;
  std::vector<int> counts;
  dd.OnDropped = [&](TzqExDragDrop* sender, int n) {
    QCOMPARE(sender, &dd);
    counts.push_back(n);
  };
  QVERIFY(dd.Items().isEmpty());
  QVERIFY(dd.Control() == nullptr);
  dd.SetControl(&list);
  QCOMPARE(dd.Control(), &list);
  const QStringList three{"/tmp/b file.txt", QString::fromUtf8("/tmp/\xE5\x85\x89\xE7\x9B\x98.iso"),
                          "/tmp/a folder"};
  QVERIFY(Drop(list.viewport(), three));
  QCOMPARE(dd.Items(), three);
  QVERIFY(Drop(list.viewport(), {"/tmp/one"}));
  QCOMPARE(dd.Items(), QStringList{"/tmp/one"});
  QCOMPARE(counts, (std::vector<int>{3, 1}));
}

void TDragDropTest::oneControlAtATime() {
  QListWidget first;
  QListWidget second;
  QVERIFY(!first.acceptDrops());
  TzqExDragDrop dd;
  int drops = 0;
  dd.OnDropped = [&](TzqExDragDrop*, int) { ++drops; };
  dd.SetControl(&first);
  dd.SetControl(&first);  // hooked once: one drop, one report
  QVERIFY(Drop(first.viewport(), {"/tmp/x"}));
  QCOMPARE(drops, 1);

  dd.SetControl(nullptr);
  QVERIFY(dd.Control() == nullptr);
  QVERIFY(!first.acceptDrops());
  QVERIFY(!first.viewport()->acceptDrops());
  dd.SetControl(&second);
  Drop(first.viewport(), {"/tmp/y"});
  QCOMPARE(drops, 1);
  QVERIFY(Drop(second.viewport(), {"/tmp/z"}));
  QCOMPARE(drops, 2);

  // Hooking another control gives the first back its own setting.
  QListWidget third;
  third.setAcceptDrops(true);
  dd.SetControl(&third);
  QVERIFY(!second.acceptDrops());
  dd.SetControl(nullptr);
  QVERIFY(third.acceptDrops());
}

void TDragDropTest::destroyingRestoresTheControl() {
  QListWidget list;
  {
    TzqExDragDrop dd;
    dd.SetControl(&list);
    QVERIFY(list.viewport()->acceptDrops());
  }
  QVERIFY(!list.acceptDrops());
  QVERIFY(!list.viewport()->acceptDrops());
  // And a control destroyed first leaves the receiver unhooked.
  TzqExDragDrop dd;
  {
    QListWidget gone;
    dd.SetControl(&gone);
  }
  QVERIFY(dd.Control() == nullptr);
}

void TDragDropTest::nonFileDropsAreRefused() {
  QListWidget list;
  TzqExDragDrop dd;
  int drops = 0;
  dd.OnDropped = [&](TzqExDragDrop*, int) { ++drops; };
  dd.SetControl(&list);
  QMimeData data;
  data.setUrls({QUrl("https://example.org/file.iso")});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(list.viewport(), &enter);
  QVERIFY(!enter.isAccepted());
  QCOMPARE(drops, 0);
}

TIDEMARK_QTEST_MAIN(TDragDropTest)
#include "tst_drag_drop.moc"
