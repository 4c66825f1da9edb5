#pragma once
// TfrmSessions: the sessions on the disc in the selected recorder, with the
// medium and its total and used space. Choosing a session imports its file
// system into the compilation and opens the session browser on it.

#include <QDialog>

#include "burner/cd_burner.h"

class QLabel;
class QListWidget;
class QPushButton;

class TfrmSessions : public QDialog {
  Q_OBJECT
 public:
  TfrmSessions(QWidget* owner, TzqCDBurner& burner);

  // "Details", or a click on a line: imports the selected session and
  // browses it.
  void SpeedButton1Click();
  // The default button (Enter), and a double-click on a line: closes.
  void Button1Click();

  QLabel* lMedium = nullptr;
  QLabel* lDiscSize = nullptr;
  QLabel* lUsedSpace = nullptr;
  QLabel* lblHeader = nullptr;
  QPushButton* SpeedButton1 = nullptr;
  QPushButton* Button1 = nullptr;
  QListWidget* lb = nullptr;

 private:
  TzqCDBurner& FBurner;
};
