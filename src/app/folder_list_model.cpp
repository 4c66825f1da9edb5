#include "app/folder_list_model.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

constexpr int kPollMs = 20;

// Folders first; then names compared letter by letter without regard to
// case, a run of digits by its value ("file9" before "file10").
bool NameBefore(const TFolderListModel::TEntry& a, const TFolderListModel::TEntry& b) {
  if (a.Folder != b.Folder) return a.Folder;
  const QString& x = a.Name;
  const QString& y = b.Name;
  qsizetype i = 0, j = 0;
  while (i < x.size() && j < y.size()) {
    if (x[i].isDigit() && y[j].isDigit()) {
      qsizetype ei = i, ej = j;
      while (ei < x.size() && x[ei].isDigit()) ++ei;
      while (ej < y.size() && y[ej].isDigit()) ++ej;
      // Leading zeros do not count for the value.
      qsizetype si = i, sj = j;
      while (si + 1 < ei && x[si] == QLatin1Char('0')) ++si;
      while (sj + 1 < ej && y[sj] == QLatin1Char('0')) ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      for (qsizetype k = 0; k < ei - si; ++k) {
        if (x[si + k] != y[sj + k]) return x[si + k] < y[sj + k];
      }
      if (ei - i != ej - j) return ei - i > ej - j;  // more zeros first
      i = ei;
      j = ej;
      continue;
    }
    const QChar cx = x[i].toCaseFolded(), cy = y[j].toCaseFolded();
    if (cx != cy) return cx < cy;
    ++i;
    ++j;
  }
  if (x.size() - i != y.size() - j) return x.size() - i < y.size() - j;
  return x < y;  // names equal but for case: a fixed order
}

}  // namespace

// What the reading thread hands over.
struct TFolderListModel::TListing {
  QString folder;
  std::atomic<bool> cancelled{false};
  std::mutex lock;
  bool done = false;
  std::vector<TEntry> entries;  // under `lock` once done
};

namespace {

void ReadFolder(const std::shared_ptr<TFolderListModel::TListing>& listing) {
  std::vector<TFolderListModel::TEntry> entries;
  const QByteArray path = QFile::encodeName(listing->folder);
  if (DIR* dir = opendir(path.constData())) {
    const int fd = dirfd(dir);
    while (dirent* e = readdir(dir)) {
      if (listing->cancelled) break;
      // Hidden entries, and "." and "..", are not listed.
      if (e->d_name[0] == '.') continue;
      bool folder = e->d_type == DT_DIR;
      if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
        struct stat st {};
        folder = fstatat(fd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
      }
      TFolderListModel::TEntry entry;
      entry.Name = QFile::decodeName(e->d_name);
      entry.Folder = folder;
      entries.push_back(std::move(entry));
    }
    closedir(dir);
  }
  if (!listing->cancelled) std::sort(entries.begin(), entries.end(), NameBefore);
  std::lock_guard<std::mutex> guard(listing->lock);
  listing->entries = std::move(entries);
  listing->done = true;
}

}  // namespace

TFolderListModel::TFolderListModel(QObject* parent) : QAbstractTableModel(parent) {
  FPoll = new QTimer(this);
  FPoll->setInterval(kPollMs);
  connect(FPoll, &QTimer::timeout, this, &TFolderListModel::TakeListing);
}

TFolderListModel::~TFolderListModel() {
  if (FListing) FListing->cancelled = true;
}

void TFolderListModel::SetFolder(const QString& folder) {
  if (FListing) FListing->cancelled = true;
  beginResetModel();
  FEntries.clear();
  FFolder = folder;
  FLoaded = false;
  endResetModel();
  FListing = std::make_shared<TListing>();
  FListing->folder = folder;
  // The thread holds the listing, not the model: a model that goes first
  // leaves it a cancelled listing to finish with.
  std::thread([listing = FListing] { ReadFolder(listing); }).detach();
  FPoll->start();
  TakeListing();
}

void TFolderListModel::TakeListing() {
  if (!FListing) return;
  std::vector<TEntry> entries;
  {
    std::lock_guard<std::mutex> guard(FListing->lock);
    if (!FListing->done) return;
    entries = std::move(FListing->entries);
  }
  FPoll->stop();
  FListing.reset();
  beginResetModel();
  FEntries = std::move(entries);
  FLoaded = true;
  endResetModel();
  if (FSortColumn != kName || FSortOrder != Qt::AscendingOrder) sort(FSortColumn, FSortOrder);
  emit FolderLoaded(FFolder);
}

QString TFolderListModel::FilePath(const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const QString& name = FEntries[static_cast<size_t>(index.row())].Name;
  return FFolder.endsWith(QLatin1Char('/')) ? FFolder + name : FFolder + QLatin1Char('/') + name;
}

QString TFolderListModel::FileName(const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  return FEntries[static_cast<size_t>(index.row())].Name;
}

bool TFolderListModel::IsDir(const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= rowCount()) return false;
  return FEntries[static_cast<size_t>(index.row())].Folder;
}

int TFolderListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FEntries.size());
}

int TFolderListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

const TFolderListModel::TEntry& TFolderListModel::Stated(int row) const {
  const TEntry& e = FEntries[static_cast<size_t>(row)];
  if (!e.Stated) {
    e.Stated = true;
    struct stat st {};
    if (::stat(QFile::encodeName(FilePath(index(row, 0))).constData(), &st) == 0) {
      e.Size = S_ISREG(st.st_mode) ? static_cast<qint64>(st.st_size) : 0;
      e.Modified = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
    }
  }
  return e;
}

QVariant TFolderListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const TEntry& e = FEntries[static_cast<size_t>(index.row())];
  if (role == Qt::DecorationRole && index.column() == kName)
    return e.Folder ? FolderIcon : FileIcon;
  if (role == Qt::TextAlignmentRole && index.column() == kSize)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case kName:
      return e.Name;
    case kSize:
      return e.Folder ? QString() : QLocale().formattedDataSize(Stated(index.row()).Size);
    case kType: {
      if (e.Folder) return tr("Folder");
      const qsizetype dot = e.Name.lastIndexOf(QLatin1Char('.'));
      return dot > 0 ? e.Name.mid(dot + 1).toUpper() + tr(" File") : tr("File");
    }
    case kDate: {
      const QDateTime& at = Stated(index.row()).Modified;
      return at.isValid() ? QLocale().toString(at, QLocale::ShortFormat) : QString();
    }
    default:
      return {};
  }
}

QVariant TFolderListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kName:
      return tr("Name");
    case kSize:
      return tr("Size");
    case kType:
      return tr("Type");
    case kDate:
      return tr("Date Modified");
    default:
      return {};
  }
}

void TFolderListModel::sort(int column, Qt::SortOrder order) {
  FSortColumn = column;
  FSortOrder = order;
  if (FEntries.empty()) return;
  emit layoutAboutToBeChanged();
  const QModelIndexList before = persistentIndexList();
  std::vector<QString> names;
  for (const QModelIndex& i : before) names.push_back(FileName(i));
  if (column == kSize || column == kDate) {
    for (int row = 0; row < rowCount(); ++row) Stated(row);
  }
  auto less = [column](const TEntry& a, const TEntry& b) {
    if (a.Folder != b.Folder) return a.Folder;
    if (column == kSize && a.Size != b.Size) return a.Size < b.Size;
    if (column == kDate && a.Modified != b.Modified) return a.Modified < b.Modified;
    return NameBefore(a, b);
  };
  std::stable_sort(FEntries.begin(), FEntries.end(), less);
  // Descending keeps the folders first, each group reversed.
  if (order == Qt::DescendingOrder) {
    auto firstFile =
        std::find_if(FEntries.begin(), FEntries.end(), [](const TEntry& e) { return !e.Folder; });
    std::reverse(FEntries.begin(), firstFile);
    std::reverse(firstFile, FEntries.end());
  }
  // The persistent indexes (the selection, the current row) follow their
  // entries.
  QModelIndexList after;
  if (!before.isEmpty()) {
    QHash<QString, int> rows;
    rows.reserve(static_cast<qsizetype>(FEntries.size()));
    for (size_t r = 0; r < FEntries.size(); ++r) rows.insert(FEntries[r].Name, static_cast<int>(r));
    for (size_t k = 0; k < names.size(); ++k) {
      const auto row = rows.constFind(names[k]);
      after << (row == rows.cend() ? QModelIndex()
                                   : index(*row, before[static_cast<qsizetype>(k)].column()));
    }
  }
  changePersistentIndexList(before, after);
  emit layoutChanged();
}
