#include "app/item_list_model.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>
#include <utility>

QDateTime DateTimeFromDays(double days) {
  double whole = std::floor(days);
  qint64 ms = std::llround((days - whole) * 86400000.0);
  QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(whole));
  return QDateTime(date, QTime(0, 0)).addMSecs(ms);
}

TItemListModel::TItemListModel(QObject* parent) : QAbstractTableModel(parent) {}

int TItemListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

int TItemListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TItemListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Count()) return QVariant();
  const TListItem& item = Item(index.row());
  switch (index.column()) {
    case kName:
      if (role == Qt::DisplayRole || role == Qt::EditRole) return item.Caption;
      if (role == Qt::DecorationRole) return item.ImageIndex == 1 ? FolderIcon : FileIcon;
      if (role == Qt::ToolTipRole) return item.Caption;
      break;
    case kSize:
      if (role == Qt::DisplayRole && item.Size >= 0) {
        return QLocale(QLocale::English).toString(item.Size);
      }
      if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
      break;
    case kDate:
      if (role == Qt::DisplayRole && item.DateTime != 0) {
        return DateTimeFromDays(item.DateTime).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
      }
      break;
    default:
      break;
  }
  return QVariant();
}

QVariant TItemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  switch (section) {
    case kName:
      return QStringLiteral("Name");
    case kSize:
      return QStringLiteral("Size");
    case kDate:
      return QStringLiteral("Date");
    default:
      return QVariant();
  }
}

Qt::ItemFlags TItemListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == kName) f |= Qt::ItemIsEditable;
  return f;
}

bool TItemListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.column() != kName) return false;
  if (OnEdited) OnEdited(index.row(), value.toString());
  return false;
}

void TItemListModel::Clear() {
  if (FItems.empty()) return;
  beginResetModel();
  FItems.clear();
  endResetModel();
}

void TItemListModel::SetItems(std::vector<TListItem> items) {
  beginResetModel();
  FItems = std::move(items);
  endResetModel();
}

int TItemListModel::Append(TListItem item) {
  int row = Count();
  beginInsertRows(QModelIndex(), row, row);
  FItems.push_back(std::move(item));
  endInsertRows();
  return row;
}

void TItemListModel::Remove(int row) {
  if (row < 0 || row >= Count()) return;
  beginRemoveRows(QModelIndex(), row, row);
  FItems.erase(FItems.begin() + row);
  endRemoveRows();
}

void TItemListModel::RemoveRows(std::vector<int> rows) {
  if (rows.empty()) return;
  if (rows.size() == 1) {
    Remove(rows.front());
    return;
  }
  std::vector<bool> gone(FItems.size(), false);
  for (int r : rows) {
    if (r >= 0 && r < Count()) gone[static_cast<std::size_t>(r)] = true;
  }
  beginResetModel();
  std::size_t out = 0;
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    if (!gone[i]) FItems[out++] = std::move(FItems[i]);
  }
  FItems.resize(out);
  endResetModel();
}

void TItemListModel::SetCaption(int row, const QString& caption) {
  if (row < 0 || row >= Count()) return;
  FItems[static_cast<std::size_t>(row)].Caption = caption;
  QModelIndex i = index(row, kName);
  emit dataChanged(i, i);
}
