#include "app/ex_drag_drop.h"

#include <QAbstractScrollArea>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {

// Local files only: a drop of web links carries nothing to record.
QStringList LocalPaths(const QMimeData* data) {
  QStringList paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  }
  return paths;
}

}  // namespace

TzqExDragDrop::TzqExDragDrop(QObject* owner) : QObject(owner) {}

TzqExDragDrop::~TzqExDragDrop() {
  Unhook();
}

QWidget* TzqExDragDrop::DropTarget(QWidget* control) {
  if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) return area->viewport();
  return control;
}

void TzqExDragDrop::SetControl(QWidget* value) {
  if (value == nullptr) {
    Unhook();
    return;
  }
  if (value == FControl) return;
  Unhook();
  FControl = value;
  FTarget = DropTarget(value);
  FControlAcceptedDrops = value->acceptDrops();
  FTargetAcceptedDrops = FTarget->acceptDrops();
  value->setAcceptDrops(true);
  FTarget->setAcceptDrops(true);
  FTarget->installEventFilter(this);
}

void TzqExDragDrop::Unhook() {
  if (FTarget) {
    FTarget->removeEventFilter(this);
    FTarget->setAcceptDrops(FTargetAcceptedDrops);
  }
  if (FControl) FControl->setAcceptDrops(FControlAcceptedDrops);
  FTarget = nullptr;
  FControl = nullptr;
}

bool TzqExDragDrop::eventFilter(QObject* watched, QEvent* event) {
  if (watched != FTarget) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (LocalPaths(drag->mimeData()).isEmpty()) {
        drag->ignore();
      } else {
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      FItems = LocalPaths(drop->mimeData());
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      if (OnDropped) OnDropped(this, static_cast<int>(FItems.size()));
      return true;
    }
    default:
      return QObject::eventFilter(watched, event);
  }
}
