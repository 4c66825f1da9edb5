#pragma once
// TfrmTree: "Session Details", the folders and files of a session imported
// from the disc, from which files are copied out of the disc. Nothing an
// extraction writes replaces a file without asking, and a name read from
// the disc never leads outside the folder it is extracted to.

#include "app/disc_browser.h"

class QLabel;

class TfrmTree : public TDiscBrowser {
  Q_OBJECT
 public:
  TfrmTree(QWidget* owner, TzqCDBurner& burner);

  // A double-click in the grid: extracts the current row's file, under a
  // name the user confirms.
  void Extract1Click();
  // A click on the status panel: extracts every file of the shown folder
  // into the user's home folder.
  void MsgClick();

  QLabel* Msg = nullptr;

  // Where the status panel's extraction puts the files.
  static QString ExtractionFolder();

 protected:
  QString NameCell(int row, const TFEntry& entry) const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Extracts one file to `target`, asking first when something is there
  // already; a failure is shown. False when nothing was extracted.
  bool ExtractTo(PFileEntry entry, const QString& target);
};
