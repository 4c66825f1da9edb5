#include "app/add_dialog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/main_window.h"

namespace {

// The folder the dialog showed last, for the next time it opens.
QString& LastFolder() {
  static QString folder = QDir::homePath();
  return folder;
}

}  // namespace

TfrmAdd::TfrmAdd(TFGUI* owner) : QDialog(owner), FGUI(owner) {
  setObjectName(QStringLiteral("frmAdd"));
  setWindowTitle(QStringLiteral("Add"));

  ShellComboBox1 = new QComboBox(this);
  ShellComboBox1->setObjectName(QStringLiteral("ShellComboBox1"));
  FolderModel = new QFileSystemModel(this);
  FolderModel->setFilter(QDir::Dirs | QDir::Drives | QDir::NoDotAndDotDot);
  FolderModel->setRootPath(QStringLiteral("/"));
  FileModel = new QFileSystemModel(this);
  FileModel->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);

  tvwDir = new QTreeView(this);
  tvwDir->setObjectName(QStringLiteral("tvwDir"));
  tvwDir->setModel(FolderModel);
  tvwDir->setRootIndex(FolderModel->index(QStringLiteral("/")));
  for (int c = 1; c < FolderModel->columnCount(); ++c) tvwDir->hideColumn(c);
  tvwDir->setHeaderHidden(true);
  tvwDir->setExpandsOnDoubleClick(false);
  tvwDir->setSelectionMode(QAbstractItemView::SingleSelection);

  lvwFiles = new QTreeView(this);
  lvwFiles->setObjectName(QStringLiteral("lvwFiles"));
  lvwFiles->setModel(FileModel);
  lvwFiles->setRootIsDecorated(false);
  lvwFiles->setItemsExpandable(false);
  lvwFiles->setUniformRowHeights(true);
  lvwFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvwFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvwFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvwFiles->setSortingEnabled(true);
  lvwFiles->sortByColumn(0, Qt::AscendingOrder);
  lvwFiles->setContextMenuPolicy(Qt::CustomContextMenu);
  lvwFiles->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  lvwFiles->header()->setStretchLastSection(false);

  auto make = [this](QAction*& slot, const char* name, const QString& caption,
                     const QKeySequence& key) {
    slot = new QAction(caption, this);
    slot->setObjectName(QString::fromLatin1(name));
    slot->setShortcut(key);
    slot->setShortcutContext(Qt::WindowShortcut);
    addAction(slot);
  };
  make(actAdd, "actAdd", QStringLiteral("Add"), QKeySequence(Qt::CTRL | Qt::Key_D));
  make(actSelectAll, "actSelectAll", QStringLiteral("Select All"),
       QKeySequence(Qt::CTRL | Qt::Key_A));
  make(actUnselect, "actUnselect", QStringLiteral("Unselect"), QKeySequence(Qt::CTRL | Qt::Key_U));
  make(actSelInv, "actSelInv", QStringLiteral("Select Inverse"),
       QKeySequence(Qt::CTRL | Qt::Key_I));
  connect(actAdd, &QAction::triggered, this, &TfrmAdd::actAddExecute);
  connect(actSelectAll, &QAction::triggered, this, &TfrmAdd::actSelectAllExecute);
  connect(actUnselect, &QAction::triggered, this, &TfrmAdd::actUnselectExecute);
  connect(actSelInv, &QAction::triggered, this, &TfrmAdd::actSelInvExecute);

  auto* popup = new QMenu(this);
  popup->setObjectName(QStringLiteral("pmnFiles"));
  popup->addAction(actSelectAll);
  popup->addAction(actUnselect);
  popup->addAction(actSelInv);
  popup->addSeparator();
  popup->addAction(actAdd);
  connect(lvwFiles, &QWidget::customContextMenuRequested, this,
          [this, popup](const QPoint& p) { popup->popup(lvwFiles->viewport()->mapToGlobal(p)); });

  // The buttons take no focus: the add depends on whether the tree or the
  // list was the last to have it.
  auto button = [this](QAction* action, const char* name) {
    auto* b = new QPushButton(action->text(), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, action, &QAction::trigger);
    return b;
  };
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(button(actSelectAll, "btnSelectAll"));
  buttons->addWidget(button(actUnselect, "btnUnselect"));
  buttons->addWidget(button(actSelInv, "btnSelInv"));
  buttons->addStretch(1);
  QPushButton* add = button(actAdd, "btnAdd");
  add->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
  buttons->addWidget(add);
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setFocusPolicy(Qt::NoFocus);
  btnOK->setAutoDefault(false);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(btnOK);

  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(tvwDir);
  split->addWidget(lvwFiles);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  auto* v = new QVBoxLayout(this);
  v->addWidget(ShellComboBox1);
  v->addWidget(split, 1);
  v->addLayout(buttons);

  connect(tvwDir->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { FolderChosen(current); });
  // The tree loads as it goes; keep the chosen folder in sight.
  connect(FolderModel, &QFileSystemModel::directoryLoaded, this,
          [this] { tvwDir->scrollTo(tvwDir->currentIndex()); });
  connect(tvwDir, &QAbstractItemView::doubleClicked, this, &TfrmAdd::actAddExecute);
  connect(lvwFiles, &QAbstractItemView::doubleClicked, this, &TfrmAdd::actAddExecute);
  connect(ShellComboBox1, qOverload<int>(&QComboBox::activated), this,
          [this](int i) { ShowFolder(ShellComboBox1->itemData(i).toString()); });

  FillLocations();
  setFixedSize(820, 560);
  ShowFolder(LastFolder());
}

void TfrmAdd::FillLocations() {
  QStyle* s = style();
  // The first entry always names the folder the tree shows.
  ShellComboBox1->addItem(s->standardIcon(QStyle::SP_DirOpenIcon), QString(), QString());
  ShellComboBox1->insertSeparator(1);
  ShellComboBox1->addItem(s->standardIcon(QStyle::SP_DirHomeIcon), QDir::homePath(),
                          QDir::homePath());
  ShellComboBox1->addItem(s->standardIcon(QStyle::SP_ComputerIcon), QStringLiteral("/"),
                          QStringLiteral("/"));
  // Mounted discs, sticks and network shares, as a file manager lists them.
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    QString root = v.rootPath();
    if (!v.isValid() || !v.isReady() || root == QStringLiteral("/")) continue;
    if (!root.startsWith(QStringLiteral("/media/")) && !root.startsWith(QStringLiteral("/mnt/")) &&
        !root.startsWith(QStringLiteral("/run/media/"))) {
      continue;
    }
    QString name = v.displayName().isEmpty() ? root : v.displayName() + " (" + root + ")";
    ShellComboBox1->addItem(s->standardIcon(QStyle::SP_DriveHDIcon), name, root);
  }
}

void TfrmAdd::ShowFolder(const QString& folder) {
  QModelIndex index = FolderModel->index(folder);
  if (!index.isValid()) return;
  tvwDir->setCurrentIndex(index);
  tvwDir->scrollTo(index);
  FolderChosen(index);
}

QString TfrmAdd::SelectedFolder() const {
  QModelIndex i = tvwDir->currentIndex();
  return i.isValid() ? FolderModel->filePath(i) : QString();
}

void TfrmAdd::FolderChosen(const QModelIndex& index) {
  if (!index.isValid()) return;
  QString folder = FolderModel->filePath(index);
  LastFolder() = folder;
  lvwFiles->setRootIndex(FileModel->setRootPath(folder));
  lvwFiles->clearSelection();
  ShellComboBox1->setItemText(0, QDir::toNativeSeparators(folder));
  ShellComboBox1->setItemData(0, folder);
  ShellComboBox1->setCurrentIndex(0);
}

void TfrmAdd::actSelectAllExecute() {
  lvwFiles->selectAll();
}

void TfrmAdd::actUnselectExecute() {
  lvwFiles->clearSelection();
}

void TfrmAdd::actSelInvExecute() {
  QModelIndex root = lvwFiles->rootIndex();
  int rows = FileModel->rowCount(root);
  if (rows == 0) return;
  QItemSelection all(FileModel->index(0, 0, root),
                     FileModel->index(rows - 1, FileModel->columnCount(root) - 1, root));
  lvwFiles->selectionModel()->select(all, QItemSelectionModel::Toggle);
}

void TfrmAdd::SetControlsEnabled(bool value) {
  for (QAction* a : {actAdd, actSelectAll, actUnselect, actSelInv}) a->setEnabled(value);
  for (QWidget* w : std::initializer_list<QWidget*>{ShellComboBox1, btnOK}) w->setEnabled(value);
  for (QPushButton* b : findChildren<QPushButton*>()) b->setEnabled(value);
}

void TfrmAdd::actAddExecute() {
  QTreeWidgetItem* node = FGUI->CurrentFolderNode();
  if (node == nullptr || FGUI->FAdding) return;
  std::vector<TFGUI::TSourceItem> items;
  if (focusWidget() == lvwFiles) {
    // In list order, as the list shows them.
    QModelIndexList rows = lvwFiles->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& i : rows) {
      items.push_back({FileModel->filePath(i), FileModel->isDir(i)});
    }
    lvwFiles->clearSelection();
  } else {
    QString folder = SelectedFolder();
    if (!folder.isEmpty()) items.push_back({folder, true});
  }
  // The browser's views do not repaint while the add runs: laying out a
  // large folder that is still loading would hold up the window's own
  // repaints.
  SetControlsEnabled(false);
  lvwFiles->setUpdatesEnabled(false);
  tvwDir->setUpdatesEnabled(false);
  FGUI->AddSourceItems(node, items);
  lvwFiles->setUpdatesEnabled(true);
  tvwDir->setUpdatesEnabled(true);
  SetControlsEnabled(true);
}
