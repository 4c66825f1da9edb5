#pragma once
// TzqExDragDrop: lets one control at a time accept files dropped from the
// file manager. It collects the full paths of each drop and reports how many
// arrived; files and folders are reported alike.

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

class TzqExDragDrop : public QObject {
  Q_OBJECT
 public:
  using TDroppedEvent = std::function<void(TzqExDragDrop* Sender, int ItemsCount)>;

  explicit TzqExDragDrop(QObject* owner = nullptr);
  ~TzqExDragDrop() override;

  // Full local paths of the last drop, in the order they were delivered.
  const QStringList& Items() const { return FItems; }
  QWidget* Control() const { return FControl; }
  // Hooks `value` (nullptr unhooks). The control gets back its own drop
  // setting when it is unhooked.
  void SetControl(QWidget* value);

  TDroppedEvent OnDropped;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Unhook();
  // A scrolling control takes drops on its viewport, not on its frame.
  static QWidget* DropTarget(QWidget* control);

  QStringList FItems;
  QPointer<QWidget> FControl;
  QPointer<QWidget> FTarget;
  bool FControlAcceptedDrops = false;
  bool FTargetAcceptedDrops = false;
};
