#pragma once
// TfrmAdd: the Add dialog. A location selector, the user's places, a
// folder tree and the list of the chosen folder's contents, all over the
// computer's file system; "Add" puts the chosen items into the main
// window's current folder. It opens at the folder it showed last, also
// after the program was started again.

#include <QDialog>

class QAction;
class QComboBox;
class QFileSystemModel;
class QListWidget;
class QModelIndex;
class QPushButton;
class QTreeView;
class TFGUI;
class TFolderListModel;

class TfrmAdd : public QDialog {
  Q_OBJECT
 public:
  TfrmAdd(TFGUI* owner);

  // Shows `folder` in the tree and its contents in the list.
  void ShowFolder(const QString& folder);
  // The folder selected in the tree ("" when none).
  QString SelectedFolder() const;
  // The folder the next dialog opens at: the last one shown, in this run
  // or an earlier one (kept in the user's state folder); the home folder
  // when there is none.
  QString StartFolder() const;
  // Forgets the folder of this run, as a new start of the program would.
  static void ForgetLastFolder();

  QComboBox* ShellComboBox1 = nullptr;
  // Home, the desktop, the user's bookmarks and mounted volumes.
  QListWidget* lstPlaces = nullptr;
  QTreeView* tvwDir = nullptr;
  QTreeView* lvwFiles = nullptr;
  QFileSystemModel* FolderModel = nullptr;
  TFolderListModel* FileModel = nullptr;
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

 protected:
  void done(int result) override;

 private:
  void FolderChosen(const QModelIndex& index);
  void FillLocations();
  void FillPlaces();
  QString StateFile() const;
  void SetControlsEnabled(bool value);

  TFGUI* FGUI;
};
