// The compilation as the window shows it: the folder tree, the item list of
// the current folder, and the editing commands. Every change goes to the
// burner first and is then mirrored in the tree and the list.
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <set>

#include "app/ex_drag_drop.h"
#include "app/item_list_model.h"
#include "app/main_window.h"
#include "app/text_rules.h"

namespace {

constexpr int kMaxEditedNameChars = 106;

std::string ToStd(const QString& s) {
  return s.toUtf8().toStdString();
}
QString FromStd(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The hourglass for the length of a command.
class TWaitCursor {
 public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

QTreeWidgetItem* ChildByText(QTreeWidgetItem* node, const QString& text) {
  if (node == nullptr) return nullptr;
  for (int i = 0; i < node->childCount(); ++i) {
    if (node->child(i)->text(0) == text) return node->child(i);
  }
  return nullptr;
}

// Files and folders below a folder, the folder's own entries included.
int64_t CountEntriesBelow(const TzqCDBurner& burner, PDirEntry root) {
  int64_t n = 0;
  std::vector<PDirEntry> todo{root};
  while (!todo.empty()) {
    PDirEntry d = todo.back();
    todo.pop_back();
    int32_t kind = 0;
    PFileEntry cursor = nullptr;
    while (burner.NextEntry(d, kind, cursor)) {
      ++n;
      if (kind == 1 && cursor->Dir != nullptr) todo.push_back(cursor->Dir);
    }
  }
  return n;
}

}  // namespace

void TFGUI::CurrentBurnerSettings(platform::ProgramSettings& s) const {
  s.CloseDisc = zqCDBurner1.FinalizeDisc;
  s.TestWrite = zqCDBurner1.TestWrite;
  s.PerformOPC = zqCDBurner1.PerformOPC;
  s.VolumeLable = zqCDBurner1.IdVolume;
  s.CacheSize = zqCDBurner1.CacheSize();
}

void TFGUI::ApplySettingsToBurner(const platform::ProgramSettings& s) {
  zqCDBurner1.FinalizeDisc = s.CloseDisc;
  zqCDBurner1.TestWrite = s.TestWrite;
  zqCDBurner1.PerformOPC = s.PerformOPC;
  zqCDBurner1.IdVolume = s.VolumeLable;
  zqCDBurner1.SetCacheSize(s.CacheSize);
}

void TFGUI::ConnectCompilationView() {
  connect(actNew, &QAction::triggered, this, &TFGUI::actNewExecute);
  connect(actAdd, &QAction::triggered, this, &TFGUI::actAddExecute);
  connect(actDelete, &QAction::triggered, this, &TFGUI::actDeleteExecute);
  connect(actDeleteAll, &QAction::triggered, this, &TFGUI::actDeleteAllExecute);
  connect(actRename, &QAction::triggered, this, &TFGUI::actRenameExecute);
  connect(actCreateFolder, &QAction::triggered, this, &TFGUI::actCreateFolderExecute);
  connect(actSelectAll, &QAction::triggered, this, &TFGUI::actSelectAllExecute);
  connect(actProperty, &QAction::triggered, this, &TFGUI::actPropertyExecute);
  connect(tvwISO, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { tvwISOChange(current); });
  connect(tvwISO, &QTreeWidget::itemExpanded, this, &TFGUI::tvwISOExpanded);
  connect(lvwISORoot, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& i) { OpenListFolder(i.row()); });
  // The edit is taken up once the editor has closed, so that a message
  // about the name does not meet an open editor.
  lvwModel->OnEdited = [this](int row, const QString& text) {
    const QString old = lvwModel->Item(row).Caption;
    QMetaObject::invokeMethod(
        this,
        [this, row, text, old] {
          // The list may have been refilled in between.
          if (row < lvwModel->Count() && lvwModel->Item(row).Caption == old) {
            lvwISORootEdited(row, text);
          }
        },
        Qt::QueuedConnection);
  };
  // The Delete key deletes what is selected where the focus is: the list's
  // items (the Delete command), or the tree's folder. An item being
  // renamed has its own editor, which keeps the key.
  actDelete->setShortcut(QKeySequence(Qt::Key_Delete));
  actDelete->setShortcutContext(Qt::WidgetShortcut);
  lvwISORoot->addAction(actDelete);
  auto* deleteFolder = new QAction(this);
  deleteFolder->setObjectName(QStringLiteral("actDeleteFolder"));
  deleteFolder->setShortcut(QKeySequence(Qt::Key_Delete));
  deleteFolder->setShortcutContext(Qt::WidgetShortcut);
  tvwISO->addAction(deleteFolder);
  connect(deleteFolder, &QAction::triggered, this, &TFGUI::DeleteTreeSelection);
  // Backspace in the list goes up one folder.
  auto* up = new QAction(this);
  up->setObjectName(QStringLiteral("actParentFolder"));
  up->setShortcut(QKeySequence(Qt::Key_Backspace));
  up->setShortcutContext(Qt::WidgetShortcut);
  lvwISORoot->addAction(up);
  connect(up, &QAction::triggered, this, [this] {
    QTreeWidgetItem* n = CurrentFolderNode();
    if (n != nullptr && n->parent() != nullptr) tvwISO->setCurrentItem(n->parent());
  });

  zqCDBurner1.OnAddFile = [this](TzqCDBurner* sender, const std::string& full, std::string& lng,
                                 std::string& shrt, TDateTime& date, int32_t attr, int64_t size,
                                 bool& skip) {
    zqCDBurner1AddFile(sender, full, lng, shrt, date, attr, size, skip);
  };
  zqCDBurner1.OnAddDir = [this](TzqCDBurner* sender, std::string& lng, std::string& shrt,
                                bool& skip) { zqCDBurner1AddDir(sender, lng, shrt, skip); };

  // Files and folders dropped on the item list are added like the Add
  // command adds them.
  zqExDragDrop1->SetControl(lvwISORoot);
  zqExDragDrop1->OnDropped = [this](TzqExDragDrop* sender, int) {
    if (FBusy || FAdding) return;
    std::vector<TSourceItem> items;
    for (const QString& p : sender->Items()) items.push_back({p, QFileInfo(p).isDir()});
    AddSourceItems(CurrentFolderNode(), items);
  };
}

QTreeWidgetItem* TFGUI::RootNode() const {
  return tvwISO->topLevelItem(0);
}

QTreeWidgetItem* TFGUI::CurrentFolderNode() const {
  return tvwISO->currentItem();
}

QString TFGUI::GetNodePath(QTreeWidgetItem* node) const {
  if (node == nullptr || node->parent() == nullptr) return QStringLiteral("\\");
  return GetNodePath(node->parent()) + QLatin1Char('\\') + node->text(0);
}

QString TFGUI::NormalisePath(const QString& nodePath) {
  if (nodePath.size() <= 1) return nodePath;
  return nodePath.mid(1) + QLatin1Char('\\');
}

QString TFGUI::NodeFolderPath(QTreeWidgetItem* node) const {
  return NormalisePath(GetNodePath(node));
}

TListItem TFGUI::ItemOf(const TFEntry* entry) {
  TListItem item;
  item.Caption = FromStd(entry->LongName);
  item.ImageIndex = IsFolderEntry(entry) ? 1 : 2;
  item.Size = IsFolderEntry(entry) ? -1 : entry->Size;
  item.DateTime = entry->DateTime;
  return item;
}

void TFGUI::RefreshTotalSpace() {
  lblTotalSpace->setText(FormatMegabytes(zqCDBurner1.TotalAddedBytes()));
}

void TFGUI::tvwISOChange(QTreeWidgetItem* N) {
  if (N == nullptr) return;
  TWaitCursor wait;
  QString path = NodeFolderPath(N);
  edtCDDir->setText(path);
  PDirEntry d = zqCDBurner1.FindDir(ToStd(path));
  std::vector<TListItem> items;
  for (int32_t wanted : {1, 2}) {
    int32_t kind = 0;
    PFileEntry cursor = nullptr;
    while (zqCDBurner1.NextEntry(d, kind, cursor)) {
      if (kind == wanted) items.push_back(ItemOf(cursor));
    }
  }
  lvwModel->SetItems(std::move(items));
}

void TFGUI::RefreshFolderNode(QTreeWidgetItem* N) {
  if (N == nullptr) return;
  PDirEntry d = zqCDBurner1.FindDir(ToStd(NodeFolderPath(N)));
  if (d == nullptr) return;
  TWaitCursor wait;
  qDeleteAll(N->takeChildren());
  QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
  QList<QTreeWidgetItem*> nodes;
  int32_t kind = 0;
  PFileEntry cursor = nullptr;
  while (zqCDBurner1.NextEntry(d, kind, cursor)) {
    if (kind != 1) continue;
    auto* child = new QTreeWidgetItem(QStringList{FromStd(cursor->LongName)});
    child->setIcon(0, folder);
    nodes.append(child);
  }
  N->addChildren(nodes);
}

void TFGUI::tvwISOExpanded(QTreeWidgetItem* N) {
  if (FAdding || N == nullptr) return;
  TWaitCursor wait;
  for (int i = 0; i < N->childCount(); ++i) {
    QTreeWidgetItem* k = N->child(i);
    if (k->childCount() != 0) continue;
    RefreshFolderNode(k);
    k->setExpanded(false);
  }
}

void TFGUI::OpenListFolder(int row) {
  QTreeWidgetItem* node = CurrentFolderNode();
  if (node == nullptr || row < 0 || row >= lvwModel->Count()) return;
  const TListItem& item = lvwModel->Item(row);
  if (item.ImageIndex != 1) return;
  QTreeWidgetItem* child = ChildByText(node, item.Caption);
  if (child == nullptr) {
    RefreshFolderNode(node);
    child = ChildByText(node, item.Caption);
  }
  if (child == nullptr) return;
  node->setExpanded(true);
  tvwISO->setCurrentItem(child);
}

void TFGUI::ResetCompilationView() {
  {
    // The list is refilled below; the tree's own change would fill it
    // from the old compilation first.
    QSignalBlocker block(tvwISO);
    tvwISO->clear();
    auto* root = new QTreeWidgetItem(tvwISO, QStringList{QStringLiteral("NEW")});
    root->setIcon(0, style()->standardIcon(QStyle::SP_DriveCDIcon));
    tvwISO->setCurrentItem(root);
  }
  edtCDDir->setText(QStringLiteral("\\"));
  lvwModel->Clear();
}

void TFGUI::actNewExecute() {
  tvwISO->setEnabled(true);
  ResetCompilationView();
  zqCDBurner1.StripSourcePath = true;
  zqCDBurner1.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  RefreshTotalSpace();
  dxstbOne->clear();
}

void TFGUI::actDeleteAllExecute() {
  TWaitCursor wait;
  zqCDBurner1.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  QTreeWidgetItem* root = RootNode();
  {
    QSignalBlocker block(tvwISO);
    qDeleteAll(root->takeChildren());
    tvwISO->setCurrentItem(root);
  }
  root->setExpanded(true);
  edtCDDir->setText(QStringLiteral("\\"));
  lvwModel->Clear();
  RefreshTotalSpace();
  dxstbOne->clear();
}

void TFGUI::actDeleteExecute() {
  if (focusWidget() != lvwISORoot) return;
  DeleteSelectedItems();
}

void TFGUI::DeleteTreeSelection() {
  // The folder is deleted as its item in its parent's list would be: the
  // parent becomes current, with the folder's item selected.
  QTreeWidgetItem* node = tvwISO->currentItem();
  if (node == nullptr || node->parent() == nullptr || !actDelete->isEnabled()) return;
  const QString name = node->text(0);
  tvwISO->setCurrentItem(node->parent());
  for (int row = 0; row < lvwModel->Count(); ++row) {
    const TListItem& item = lvwModel->Item(row);
    if (item.ImageIndex != 1 || item.Caption != name) continue;
    lvwISORoot->selectionModel()->select(
        lvwModel->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    DeleteSelectedItems();
    return;
  }
}

void TFGUI::DeleteSelectedItems() {
  QModelIndexList selected = lvwISORoot->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  TWaitCursor wait;
  QTreeWidgetItem* node = CurrentFolderNode();
  QString p = NodeFolderPath(node);
  std::vector<int> rows;
  for (const QModelIndex& i : selected) rows.push_back(i.row());
  std::sort(rows.rbegin(), rows.rend());
  for (int row : rows) {
    const TListItem& item = lvwModel->Item(row);
    if (QTreeWidgetItem* child = ChildByText(node, item.Caption)) delete child;
    if (item.ImageIndex == 1) {
      zqCDBurner1.DeleteDir(ToStd(p + item.Caption + QLatin1Char('\\')));
    } else {
      zqCDBurner1.DeleteEntry(ToStd(p), ToStd(item.Caption));
    }
  }
  lvwModel->RemoveRows(rows);
  RefreshTotalSpace();
}

void TFGUI::actRenameExecute() {
  if (focusWidget() != lvwISORoot) return;
  QModelIndexList selected = lvwISORoot->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  QModelIndex current = lvwISORoot->currentIndex();
  int row = current.isValid() && lvwISORoot->selectionModel()->isRowSelected(current.row())
                ? current.row()
                : selected.first().row();
  QModelIndex name = lvwModel->index(row, TItemListModel::kName);
  lvwISORoot->setCurrentIndex(name);
  lvwISORoot->edit(name);
}

void TFGUI::lvwISORootEdited(int row, const QString& edited) {
  if (row < 0 || row >= lvwModel->Count()) return;
  QString s = edited;
  if (s.isEmpty()) return;
  if (!IsValidCompilationName(s)) {
    ShowMessage(QStringLiteral("Invalid Name."));
    return;
  }
  s = LeftChars(s, kMaxEditedNameChars);
  QTreeWidgetItem* node = CurrentFolderNode();
  QString p = NodeFolderPath(node);
  if (zqCDBurner1.FindEntryByPath(ToStd(p), ToStd(s)) != nullptr) {
    ShowMessage(QStringLiteral("Have the same name, can not rename."));
    return;
  }
  const TListItem item = lvwModel->Item(row);
  const QString old = item.Caption;
  QTreeWidgetItem* child = ChildByText(node, old);
  TWaitCursor wait;
  if (item.ImageIndex == 1) {
    // A folder is renamed by making the new one, copying the old one's
    // contents into it and removing the old one; the old one goes only when
    // the copy is whole, so a full compilation loses nothing.
    const std::string newPath = ToStd(p + s + QLatin1Char('\\'));
    const std::string oldPath = ToStd(p + old + QLatin1Char('\\'));
    zqCDBurner1.InsertDir(ToStd(p), ToStd(QLatin1Char('\\') + s + QLatin1Char('\\')), FArchiveFiles,
                          true, true, 63, "*.*");
    PDirEntry created = zqCDBurner1.FindDir(newPath);
    if (created == nullptr) {
      dxstbOne->setText(QStringLiteral("\"%1\" not renamed: the compilation is full.").arg(old));
      return;
    }
    zqCDBurner1.CopyDir(newPath, oldPath, FArchiveFiles);
    PDirEntry original = zqCDBurner1.FindDir(oldPath);
    if (original != nullptr &&
        CountEntriesBelow(zqCDBurner1, created) != CountEntriesBelow(zqCDBurner1, original)) {
      zqCDBurner1.DeleteDir(newPath);
      dxstbOne->setText(QStringLiteral("\"%1\" not renamed: the compilation is full.").arg(old));
      return;
    }
    zqCDBurner1.DeleteDir(oldPath);
  } else {
    zqCDBurner1.RenameFile(ToStd(p), ToStd(old), ToStd(RenamedShortName(s)), ToStd(s));
  }
  if (child != nullptr) child->setText(0, s);
  lvwModel->SetCaption(row, s);
}

void TFGUI::actCreateFolderExecute() {
  QTreeWidgetItem* node = CurrentFolderNode();
  if (node == nullptr) return;
  bool ok = false;
  QString answer = QInputDialog::getText(this, QStringLiteral("Create Folder"),
                                         QStringLiteral("Please Type Folder Name, max 106 chars"),
                                         QLineEdit::Normal, QString(), &ok);
  if (!ok || answer.trimmed().isEmpty()) return;
  if (!IsValidCompilationName(answer)) {
    ShowMessage(QStringLiteral("Invalid Name."));
    return;
  }
  QString name = LeftChars(answer, kMaxEditedNameChars);
  QString p = NodeFolderPath(node);
  if (zqCDBurner1.FindEntryByPath(ToStd(p), ToStd(name)) != nullptr) {
    ShowMessage(QStringLiteral("Have the same name, can not Create."));
    return;
  }
  zqCDBurner1.InsertDir(ToStd(p), ToStd(p + name + QLatin1Char('\\')), FArchiveFiles, true, true,
                        63, "*.*");
  PFileEntry entry = zqCDBurner1.FindEntryByPath(ToStd(p), ToStd(name));
  if (entry == nullptr || !IsFolderEntry(entry)) {
    dxstbOne->setText(
        QStringLiteral("Folder \"%1\" not created: the compilation is full.").arg(name));
    return;
  }
  auto* child = new QTreeWidgetItem(node, QStringList{name});
  child->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
  node->setExpanded(true);
  int row = lvwModel->Append(ItemOf(entry));
  QModelIndex index = lvwModel->index(row, TItemListModel::kName);
  lvwISORoot->selectionModel()->select(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  lvwISORoot->setCurrentIndex(index);
}

void TFGUI::actSelectAllExecute() {
  lvwISORoot->selectAll();
}

int64_t TFGUI::GetFolderSize(PDirEntry D) const {
  int64_t total = 0;
  std::vector<PDirEntry> todo{D};
  while (!todo.empty()) {
    PDirEntry d = todo.back();
    todo.pop_back();
    if (d == nullptr) continue;
    int32_t kind = 0;
    PFileEntry cursor = nullptr;
    while (zqCDBurner1.NextEntry(d, kind, cursor)) {
      if (kind == 1) {
        todo.push_back(cursor->Dir);
      } else {
        total += cursor->Size;
      }
    }
  }
  return total;
}

void TFGUI::actPropertyExecute() {
  if (focusWidget() != lvwISORoot) return;
  QModelIndexList selected = lvwISORoot->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  std::sort(selected.begin(), selected.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QString text;
  {
    TWaitCursor wait;
    QString p = NodeFolderPath(CurrentFolderNode());
    PDirEntry d = zqCDBurner1.FindDir(ToStd(p));
    int64_t total = 0;
    TDateTime date = 0;
    for (const QModelIndex& i : selected) {
      const TListItem& item = lvwModel->Item(i.row());
      PFileEntry e = d != nullptr ? zqCDBurner1.FindEntry(d, ToStd(item.Caption)) : nullptr;
      if (e != nullptr) date = e->DateTime;
      if (item.ImageIndex == 1) {
        PDirEntry sub = zqCDBurner1.FindDir(ToStd(p + item.Caption + QLatin1Char('\\')));
        if (sub != nullptr) total += GetFolderSize(sub);
      } else if (e != nullptr) {
        total += e->Size;
      }
    }
    if (selected.size() == 1) {
      text = QStringLiteral("Name: ") + lvwModel->Item(selected.first().row()).Caption +
             QStringLiteral("\r\n\r\nSize: ") + FormatMegabytes(total) +
             QStringLiteral("\r\n\r\nDate: ") +
             DateTimeFromDays(date).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    } else {
      text = QStringLiteral("Size: ") + FormatMegabytes(total);
    }
  }
  ShowMessage(text);
}
