#include "app/disc_browser.h"

#include <QHeaderView>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/file_attr.h"

namespace {

constexpr int kDirRole = Qt::UserRole + 1;
constexpr int kEntryRole = Qt::UserRole + 2;
// Far deeper than any real disc; a compilation built from a hostile disc
// never takes the tree's recursion with it.
constexpr size_t kMaxNodeDepth = 256;

QString FromStd(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

bool IsPlainFolder(const TFEntry& entry) {
  return entry.Attr == platform::faDirectory && entry.Dir != nullptr;
}

QString SizeCell(const TFEntry& entry) {
  if (IsFolderEntry(&entry)) return QStringLiteral(" < DIR > ");
  return QStringLiteral("%1").arg(entry.Size, 9);
}

TDiscBrowser::TDiscBrowser(QWidget* owner, TzqCDBurner& burner, const QString& rootText,
                           const QStringList& header, const std::vector<int>& widths)
    : QDialog(owner), FBurner(burner), FRootText(rootText), FHeader(header) {
  QFont fixed(QStringLiteral("Courier New"));
  fixed.setStyleHint(QFont::TypeWriter);

  auto* split = new QSplitter(Qt::Horizontal, this);
  tvDir = new QTreeWidget(split);
  tvDir->setObjectName(QStringLiteral("tvDir"));
  tvDir->setHeaderHidden(true);
  fl = new QTableWidget(split);
  fl->setObjectName(QStringLiteral("fl"));
  fl->setFont(fixed);
  fl->setColumnCount(static_cast<int>(header.size()));
  fl->setHorizontalHeaderLabels(header);
  fl->verticalHeader()->hide();
  fl->setSelectionBehavior(QAbstractItemView::SelectRows);
  fl->setSelectionMode(QAbstractItemView::SingleSelection);
  fl->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fl->setToolTip(QStringLiteral("Double click on a file name to extract"));
  for (size_t i = 0; i < widths.size(); ++i) fl->setColumnWidth(static_cast<int>(i), widths[i]);
  split->addWidget(tvDir);
  split->addWidget(fl);
  split->setStretchFactor(1, 3);

  FBody = new QVBoxLayout(this);
  FBody->addWidget(split, 1);
  resize(720, 420);

  connect(tvDir, &QTreeWidget::currentItemChanged, this, [this] { tvdirClick(); });
}

void TDiscBrowser::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (tvDir->topLevelItemCount() == 0) FormShow();
}

void TDiscBrowser::FormShow() {
  PDirEntry root = FBurner.RootDir();
  {
    QSignalBlocker quiet(tvDir);
    tvDir->clear();
    auto* node = new QTreeWidgetItem(tvDir, QStringList{FRootText});
    node->setData(0, kDirRole, QVariant::fromValue(reinterpret_cast<quintptr>(root)));
    if (root != nullptr) AddFolderNodes(node, root, 0);
    node->setExpanded(true);
    tvDir->setCurrentItem(node);
  }
  tvdirClick();
}

void TDiscBrowser::AddFolderNodes(QTreeWidgetItem* node, PDirEntry dir, size_t depth) {
  if (depth >= kMaxNodeDepth) return;
  for (PFileEntry e = dir->FirstChild; e != nullptr; e = e->Next) {
    if (!IsPlainFolder(*e)) continue;
    auto* child = new QTreeWidgetItem(node, QStringList{FromStd(e->LongName)});
    child->setData(0, kDirRole, QVariant::fromValue(reinterpret_cast<quintptr>(e->Dir)));
    AddFolderNodes(child, e->Dir, depth + 1);
  }
}

PDirEntry TDiscBrowser::NodeDir(const QTreeWidgetItem* node) {
  if (node == nullptr) return nullptr;
  return reinterpret_cast<PDirEntry>(node->data(0, kDirRole).value<quintptr>());
}

PDirEntry TDiscBrowser::CurrentDir() const {
  return NodeDir(tvDir->currentItem());
}

PFileEntry TDiscBrowser::RowEntry(int row) const {
  if (row < 0 || row >= fl->rowCount()) return nullptr;
  QTableWidgetItem* cell = fl->item(row, 1);
  if (cell == nullptr) return nullptr;
  return reinterpret_cast<PFileEntry>(cell->data(kEntryRole).value<quintptr>());
}

void TDiscBrowser::ExtraCells(int, const TFEntry&) {}

void TDiscBrowser::tvdirClick() {
  fl->setHorizontalHeaderLabels(FHeader);
  fl->clearContents();
  PDirEntry dir = CurrentDir();
  int rows = 0;
  if (dir != nullptr) {
    for (PFileEntry e = dir->FirstChild; e != nullptr; e = e->Next) ++rows;
  }
  if (rows == 0) {
    // The header and one empty row.
    fl->setRowCount(1);
    return;
  }
  fl->setRowCount(rows);
  int row = 0;
  for (PFileEntry e = dir->FirstChild; e != nullptr; e = e->Next, ++row) {
    fl->setItem(row, 0, new QTableWidgetItem(NameCell(row, *e)));
    auto* size = new QTableWidgetItem(SizeCell(*e));
    size->setData(kEntryRole, QVariant::fromValue(reinterpret_cast<quintptr>(e)));
    fl->setItem(row, 1, size);
    ExtraCells(row, *e);
  }
}

void TDiscBrowser::Refresh1Click() {
  tvDir->clear();
  FormShow();
}
