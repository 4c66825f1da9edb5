// Measures the window with large folders (bench/gui runs it):
//   app_gui_bench [FILES]
// - opening a folder of FILES files in the Add dialog: the time until its
//   first rows are painted and until all of them are in the list, and, for
//   comparison, the time the file-system model the dialog used before takes
//   to fill with the same folder;
// - adding a folder of FILES files through the Add dialog: the time, and the
//   longest stretch in which the total on the drive bar was not repainted;
// - filling the item list with a folder of FILES entries, and the slowest
//   repaint while scrolling through it.
// Prints "NAME: VALUE UNIT" lines.
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QScrollBar>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

#include "app/add_dialog.h"
#include "app/folder_list_model.h"
#include "app/item_list_model.h"
#include "app_test_support.h"

namespace {

// Records when a widget paints and what the total said then.
class TPaintClock : public QObject {
 public:
  TPaintClock(QLabel* label, const QElapsedTimer& clock) : FLabel(label), FClock(clock) {
    label->installEventFilter(this);
  }
  std::vector<qint64> Times;
  QStringList Texts;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == FLabel && e->type() == QEvent::Paint) {
      Times.push_back(FClock.elapsed());
      if (Texts.isEmpty() || Texts.last() != FLabel->text()) Texts << FLabel->text();
    }
    return false;
  }

 private:
  QLabel* FLabel;
  const QElapsedTimer& FClock;
};

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
  TTestPlace place;
  const QString big = place.MakeFolder("big/Many");
  for (int i = 0; i < files; ++i) {
    QFile f(QStringLiteral("%1/file%2.dat").arg(big).arg(i, 6, 10, QLatin1Char('0')));
    if (f.open(QIODevice::WriteOnly)) f.write("x", 1 + (i % 3));
  }

  TWindowUnderTest t = MakeWindow(place.Environment());
  TFGUI& w = *t.Window;
  w.resize(1100, 700);
  w.show();

  // The folder opened in the Add dialog: the first rows painted, then all.
  {
    auto* browse = new TfrmAdd(&w);
    browse->show();
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    browse->ShowFolder(big);
    qint64 firstMs = -1;
    while (!browse->FileModel->Loaded() || firstMs < 0) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      if (firstMs < 0 && browse->FileModel->rowCount() > 0) {
        browse->lvwFiles->viewport()->repaint();
        firstMs = clock.elapsed();
      }
    }
    const qint64 allMs = clock.elapsed();
    std::printf("add_dialog_first_rows: %.3f s\n", firstMs / 1000.0);
    std::printf("add_dialog_all_rows: %.3f s (%d rows)\n", allMs / 1000.0,
                browse->FileModel->rowCount());
    delete browse;

    // The model the dialog filled its list with before, sorted by name.
    QFileSystemModel before;
    before.setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    QTreeView view;
    view.setModel(&before);
    view.setSortingEnabled(true);
    view.sortByColumn(0, Qt::AscendingOrder);
    view.resize(600, 400);
    view.show();
    clock.restart();
    view.setRootIndex(before.setRootPath(big));
    qint64 beforeFirst = -1;
    while (before.rowCount(view.rootIndex()) < files && clock.elapsed() < 120000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      if (beforeFirst < 0 && before.rowCount(view.rootIndex()) > 0) beforeFirst = clock.elapsed();
    }
    std::printf("file_system_model_first_rows: %.3f s\n", beforeFirst / 1000.0);
    std::printf("file_system_model_all_rows: %.3f s (%d rows)\n", clock.elapsed() / 1000.0,
                before.rowCount(view.rootIndex()));
  }

  auto* add = new TfrmAdd(&w);
  add->show();
  add->ShowFolder(big);
  add->tvwDir->setFocus();
  QCoreApplication::processEvents();

  QElapsedTimer clock;
  TPaintClock paints(w.lblTotalSpace, clock);
  clock.start();
  add->actAdd->trigger();
  const qint64 addMs = clock.elapsed();
  qint64 gap = 0, last = 0;
  for (qint64 at : paints.Times) {
    if (at > addMs) break;
    gap = std::max(gap, at - last);
    last = at;
  }
  gap = std::max(gap, addMs - last);
  if (getenv("GUI_BENCH_TRACE")) {
    for (qint64 at : paints.Times) std::printf("paint at %lld ms\n", static_cast<long long>(at));
  }
  delete add;

  std::printf("gui_add_files: %d\n", w.zqCDBurner1.FilesCount() - 1);
  std::printf("gui_add: %.3f s\n", addMs / 1000.0);
  std::printf("gui_add longest time without a repaint of the total: %lld ms\n",
              static_cast<long long>(gap));
  std::printf("gui_add totals shown: %lld\n", static_cast<long long>(paints.Texts.size()));

  // Into the folder: the list takes all its entries at once.
  QTreeWidgetItem* node = w.RootNode()->child(0);
  clock.restart();
  w.tvwISO->setCurrentItem(node);
  w.lvwISORoot->viewport()->repaint();
  const qint64 fillMs = clock.elapsed();
  std::printf("gui_list_fill: %.3f s (%d items)\n", fillMs / 1000.0, w.lvwModel->Count());

  QScrollBar* bar = w.lvwISORoot->verticalScrollBar();
  qint64 worst = 0;
  const int steps = 200;
  for (int i = 0; i <= steps; ++i) {
    clock.restart();
    bar->setValue(bar->maximum() / steps * i);
    w.lvwISORoot->viewport()->repaint();
    worst = std::max(worst, clock.elapsed());
  }
  std::printf("gui_list_scroll slowest frame: %lld ms\n", static_cast<long long>(worst));
  return 0;
}
