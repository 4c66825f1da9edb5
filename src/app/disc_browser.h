#pragma once
// The shape both compilation browsers share: a folder tree on the left and
// a grid of the chosen folder's entries on the right, both read straight
// from the burner's compilation. The session browser (TfrmTree) and the
// layout browser (TfrmDiscLayout) differ in their columns and commands.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <vector>

#include "burner/cd_burner.h"

class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

class TDiscBrowser : public QDialog {
  Q_OBJECT
 public:
  TDiscBrowser(QWidget* owner, TzqCDBurner& burner, const QString& rootText,
               const QStringList& header, const std::vector<int>& widths);

  // Builds the tree from the compilation root and shows the root's entries.
  void FormShow();
  // Fills the grid with the entries of the current node's folder.
  void tvdirClick();
  // Deletes every node and shows the browser again from its root.
  void Refresh1Click();

  // The folder of a node, the entry of a grid row (null for the empty row
  // of an empty folder, or no row).
  static PDirEntry NodeDir(const QTreeWidgetItem* node);
  PFileEntry RowEntry(int row) const;
  PDirEntry CurrentDir() const;

  QTreeWidget* tvDir = nullptr;
  QTableWidget* fl = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  // The text of column 0 for the entry in data row `row` (0-based).
  virtual QString NameCell(int row, const TFEntry& entry) const = 0;
  // Columns from 2 on; none by default.
  virtual void ExtraCells(int row, const TFEntry& entry);
  // The layout of the dialog below the tree and the grid.
  QVBoxLayout* Body() const { return FBody; }

  TzqCDBurner& FBurner;

 private:
  void AddFolderNodes(QTreeWidgetItem* node, PDirEntry dir, size_t depth);

  QString FRootText;
  QStringList FHeader;
  QVBoxLayout* FBody = nullptr;
};

// A folder the tree shows: its attribute is the folder bit alone (a
// read-only or hidden folder is listed in the grid only).
bool IsPlainFolder(const TFEntry& entry);
// " < DIR > " for a folder, else the size in bytes padded to 9 characters.
QString SizeCell(const TFEntry& entry);
