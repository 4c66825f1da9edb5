#pragma once
// TdlgAbout: the About box.

#include <QDialog>

class TdlgAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgAbout(QWidget* owner);
};
