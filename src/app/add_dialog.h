#pragma once
// TfrmAdd: the Add dialog. A location selector, a folder tree and the list
// of the chosen folder's contents, all over the computer's file system;
// "Add" puts the chosen items into the main window's current folder.

#include <QDialog>

class QAction;
class QComboBox;
class QFileSystemModel;
class QModelIndex;
class QPushButton;
class QTreeView;
class TFGUI;

class TfrmAdd : public QDialog {
  Q_OBJECT
 public:
  TfrmAdd(TFGUI* owner);

  // Shows `folder` in the tree and its contents in the list.
  void ShowFolder(const QString& folder);
  // The folder selected in the tree ("" when none).
  QString SelectedFolder() const;

  QComboBox* ShellComboBox1 = nullptr;
  QTreeView* tvwDir = nullptr;
  QTreeView* lvwFiles = nullptr;
  QFileSystemModel* FolderModel = nullptr;
  QFileSystemModel* FileModel = nullptr;
  QAction* actAdd = nullptr;
  QAction* actSelectAll = nullptr;
  QAction* actUnselect = nullptr;
  QAction* actSelInv = nullptr;
  QPushButton* btnOK = nullptr;

 public slots:
  void actAddExecute();
  void actSelectAllExecute();
  void actUnselectExecute();
  void actSelInvExecute();

 private:
  void FolderChosen(const QModelIndex& index);
  void FillLocations();
  void SetControlsEnabled(bool value);

  TFGUI* FGUI;
};
