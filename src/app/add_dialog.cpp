#include "app/add_dialog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "app/folder_list_model.h"
#include "app/main_window.h"

namespace {

constexpr int kMaxBookmarks = 200;
constexpr qint64 kMaxBookmarkLine = 4096;
const QString kLastFolderKey = QStringLiteral("AddDialog/LastFolder");

// The folder the dialog showed last in this run ("" before the first).
QString& LastFolder() {
  static QString folder;
  return folder;
}

// Mounted discs, sticks and network shares, as a file manager lists them.
std::vector<QStorageInfo> UserVolumes() {
  std::vector<QStorageInfo> out;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    const QString root = v.rootPath();
    if (!v.isValid() || !v.isReady() || root == QStringLiteral("/")) continue;
    if (root.startsWith(QStringLiteral("/media/")) || root.startsWith(QStringLiteral("/mnt/")) ||
        root.startsWith(QStringLiteral("/run/media/"))) {
      out.push_back(v);
    }
  }
  return out;
}

QString VolumeName(const QStorageInfo& v) {
  return v.displayName().isEmpty() ? v.rootPath() : v.displayName() + " (" + v.rootPath() + ")";
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
  FileModel = new TFolderListModel(this);
  FileModel->FolderIcon = style()->standardIcon(QStyle::SP_DirIcon);
  FileModel->FileIcon = style()->standardIcon(QStyle::SP_FileIcon);

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

  lstPlaces = new QListWidget(this);
  lstPlaces->setObjectName(QStringLiteral("lstPlaces"));
  lstPlaces->setFocusPolicy(Qt::NoFocus);
  connect(lstPlaces, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { ShowFolder(item->data(Qt::UserRole).toString()); });

  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(lstPlaces);
  split->addWidget(tvwDir);
  split->addWidget(lvwFiles);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 2);
  split->setStretchFactor(2, 3);
  split->setSizes({150, 240, 400});
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
  FillPlaces();
  setSizeGripEnabled(true);
  resize(QSize(820, 560).expandedTo(minimumSizeHint()));
  ShowFolder(StartFolder());
}

QString TfrmAdd::StateFile() const {
  return QString::fromStdString(FGUI->Environment().Paths.state_home) +
         QStringLiteral("/tidemark/gui.ini");
}

QString TfrmAdd::StartFolder() const {
  if (!LastFolder().isEmpty() && QFileInfo(LastFolder()).isDir()) return LastFolder();
  const QString kept =
      QSettings(StateFile(), QSettings::IniFormat).value(kLastFolderKey).toString();
  if (!kept.isEmpty() && QFileInfo(kept).isDir()) return kept;
  return QDir::homePath();
}

void TfrmAdd::ForgetLastFolder() {
  LastFolder().clear();
}

void TfrmAdd::done(int result) {
  // Kept for the next start of the program; a state folder that cannot be
  // written only loses that.
  if (!LastFolder().isEmpty()) {
    QSettings state(StateFile(), QSettings::IniFormat);
    state.setValue(kLastFolderKey, LastFolder());
  }
  QDialog::done(result);
}

void TfrmAdd::FillPlaces() {
  QStyle* s = style();
  auto add = [this](const QIcon& icon, const QString& name, const QString& path) {
    auto* item = new QListWidgetItem(icon, name, lstPlaces);
    item->setData(Qt::UserRole, path);
    item->setToolTip(path);
  };
  const QString home = QDir::homePath();
  add(s->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Home"), home);
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (desktop != home && QFileInfo(desktop).isDir())
    add(s->standardIcon(QStyle::SP_DesktopIcon), QStringLiteral("Desktop"), desktop);
  // The bookmarks the desktop's file manager keeps: "file:///path Label"
  // a line.
  QFile bookmarks(QString::fromStdString(FGUI->Environment().Paths.config_home) +
                  QStringLiteral("/gtk-3.0/bookmarks"));
  if (bookmarks.open(QIODevice::ReadOnly)) {
    for (int n = 0; n < kMaxBookmarks && !bookmarks.atEnd(); ++n) {
      const QString line = QString::fromUtf8(bookmarks.readLine(kMaxBookmarkLine)).trimmed();
      const qsizetype blank = line.indexOf(QLatin1Char(' '));
      const QUrl url(blank < 0 ? line : line.left(blank));
      if (!url.isLocalFile()) continue;
      const QString path = url.toLocalFile();
      if (!QFileInfo(path).isDir()) continue;
      const QString label = blank < 0 ? QFileInfo(path).fileName() : line.mid(blank + 1);
      add(s->standardIcon(QStyle::SP_DirLinkIcon), label.isEmpty() ? path : label, path);
    }
  }
  for (const QStorageInfo& v : UserVolumes())
    add(s->standardIcon(QStyle::SP_DriveHDIcon), VolumeName(v), v.rootPath());
  add(s->standardIcon(QStyle::SP_ComputerIcon), QStringLiteral("File System"), QStringLiteral("/"));
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
  for (const QStorageInfo& v : UserVolumes())
    ShellComboBox1->addItem(s->standardIcon(QStyle::SP_DriveHDIcon), VolumeName(v), v.rootPath());
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
  FileModel->SetFolder(folder);
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
  const int rows = FileModel->rowCount();
  if (rows == 0) return;
  QItemSelection all(FileModel->index(0, 0),
                     FileModel->index(rows - 1, FileModel->columnCount() - 1));
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
      items.push_back({FileModel->FilePath(i), FileModel->IsDir(i)});
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
