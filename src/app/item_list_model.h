#pragma once
// The items of the compilation's current folder as the list shows them: one
// row per entry, folders first, each with its caption and image index
// (1 folder, 2 file), its size and its date. A plain vector keeps a folder
// of a hundred thousand entries quick to fill and to scroll.

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>

#include <functional>
#include <vector>

struct TListItem {
  QString Caption;
  int ImageIndex = 2;   // 1 folder, 2 file
  qint64 Size = -1;     // bytes; -1 shows nothing (folders)
  double DateTime = 0;  // days since 30 December 1899, local time; 0 shows nothing
};

class TItemListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kName, kSize, kDate, kColumnCount };

  explicit TItemListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // An edited caption is handed to OnEdited and not stored here: the
  // window decides, after the editor has closed, whether the name is taken.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  void Clear();
  void SetItems(std::vector<TListItem> items);
  int Append(TListItem item);
  void Remove(int row);
  // Removes many rows in one pass (any order, no repeats).
  void RemoveRows(std::vector<int> rows);
  void SetCaption(int row, const QString& caption);
  const TListItem& Item(int row) const { return FItems[static_cast<std::size_t>(row)]; }
  int Count() const { return static_cast<int>(FItems.size()); }

  std::function<void(int row, const QString& newText)> OnEdited;
  QIcon FolderIcon;
  QIcon FileIcon;

 private:
  std::vector<TListItem> FItems;
};

// The day count of the compilation's dates as a local date-time.
QDateTime DateTimeFromDays(double days);
