#pragma once
// TfrmDiscLayout: the compilation as it will be written, shown before a
// burn when the ShowFiles setting is on. Files and folders taken out here
// leave the compilation at once; the burn that follows writes what is left.

#include "app/disc_browser.h"

class QMenu;

class TfrmDiscLayout : public TDiscBrowser {
  Q_OBJECT
 public:
  TfrmDiscLayout(QWidget* owner, TzqCDBurner& burner);

  // Del in the grid: takes the current row's file out.
  void MenuItem1Click();
  // Del in the tree: takes the current node's folder out with everything
  // below it (never the root).
  void Delete1Click();
  void bCloseClick();

  QMenu* pmnGrid = nullptr;
  QMenu* pmnTree = nullptr;

 protected:
  QString NameCell(int row, const TFEntry& entry) const override;
  void ExtraCells(int row, const TFEntry& entry) override;
};
