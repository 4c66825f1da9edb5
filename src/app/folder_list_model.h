#pragma once
// The Add dialog's list of a folder's contents. The folder is read on a
// thread of its own: its names and kinds only, sorted there (folders
// first, then by name, digits by value), and handed over whole, so that
// the first rows of a folder of 100,000 files show at once; sizes and
// dates are looked up for the rows that are shown, when they are shown.
// Hidden entries (names beginning with ".") are left out, as the file
// manager leaves them out by default.

#include <QAbstractTableModel>
#include <QDateTime>
#include <QIcon>
#include <QString>

#include <memory>
#include <vector>

class QTimer;

class TFolderListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum TColumn { kName, kSize, kType, kDate, kColumns };

  explicit TFolderListModel(QObject* parent = nullptr);
  ~TFolderListModel() override;

  // Starts reading `folder`; the rows so far are dropped at once.
  void SetFolder(const QString& folder);
  const QString& Folder() const { return FFolder; }
  // The folder has been read (or could not be).
  bool Loaded() const { return FLoaded; }

  QString FilePath(const QModelIndex& index) const;
  QString FileName(const QModelIndex& index) const;
  bool IsDir(const QModelIndex& index) const;

  QIcon FolderIcon;
  QIcon FileIcon;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override;

  struct TEntry {
    QString Name;
    bool Folder = false;
    // Looked up when first needed.
    mutable bool Stated = false;
    mutable qint64 Size = 0;
    mutable QDateTime Modified;
  };
  struct TListing;

 signals:
  // The whole folder is in the model.
  void FolderLoaded(const QString& folder);

 private:
  void TakeListing();
  const TEntry& Stated(int row) const;

  QString FFolder;
  bool FLoaded = true;
  std::vector<TEntry> FEntries;
  std::shared_ptr<TListing> FListing;  // shared with the reading thread
  QTimer* FPoll = nullptr;
  int FSortColumn = kName;
  Qt::SortOrder FSortOrder = Qt::AscendingOrder;
};
