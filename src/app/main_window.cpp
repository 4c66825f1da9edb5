#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

#include "app/about_box.h"
#include "app/application.h"
#include "app/drop_down_combo.h"
#include "app/ex_drag_drop.h"
#include "app/item_list_model.h"
#include "app/messages.h"
#include "app/preferences.h"
#include "app/ui_hand_over.h"
#include "platform/error_log.h"

bool QuickSaveISO = false;
bool ShowFiles = false;

namespace {

const QString kCaption = QStringLiteral(" Tidemark CD/DVD Burner");

std::string ToStd(const QString& s) {
  return s.toUtf8().toStdString();
}

}  // namespace

bool StartRecorderTransport(TzqCDBurner& burner, std::vector<std::string>& devices) {
  // The built-in transport first, then a library one; starting it lists
  // the recorders into the burner's device list.
  devices.clear();
  if (!burner.InitializeASPI(true)) return false;
  devices = burner.DeviceList;
  return true;
}

TGuiEnvironment TGuiEnvironment::FromSystem() {
  TGuiEnvironment env;
  env.Paths = platform::AppPaths::FromEnvironment();
  env.StartTransport = StartRecorderTransport;
  return env;
}

QSize WindowSizeForScreen(QSize screen) {
  return QSize(screen.width() * 85 / 100, screen.height() * 85 / 100);
}

QString FormatMegabyteFigure(qint64 bytes) {
  // Hundredths of a megabyte, rounded half up; then "#,##0.00".
  qint64 hundredths = (bytes * 100 + 524288) / 1048576;
  QString whole = QString::number(hundredths / 100);
  for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3) whole.insert(i, QLatin1Char(','));
  return whole + QLatin1Char('.') +
         QStringLiteral("%1").arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

QString FormatMegabytes(qint64 bytes) {
  return FormatMegabyteFigure(bytes) + QStringLiteral(" MB");
}

TFGUI::TFGUI(TGuiEnvironment env, QWidget* parent) : QMainWindow(parent), FEnv(std::move(env)) {
  setObjectName(QStringLiteral("FGUI"));
  setWindowTitle(kCaption);
  QFont f = font();
  f.setFamilies({QStringLiteral("MS Sans Serif"), f.family()});
  setFont(f);

  CreateActions();
  CreateMenus();
  CreateBars();
  CreateCompilationArea();
  CreateStatusBar();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, &TFGUI::Timer1Timer);

  ConnectCompilationView();
  FHandOver = std::make_shared<TUiHandOver>(this);
  ConnectJobEvents();
  TApplication::SetExceptionHandler(
      [this](const QString& message) { ApplicationEvents1Exception(message); });
}

TFGUI::~TFGUI() {
  TApplication::SetExceptionHandler(nullptr);
  // A job still running (a window taken down in its middle) goes on
  // without the window: its reports are not run, and it is asked to stop
  // and given a while to do so before the burner it uses goes away.
  FHandOver->Close();
  StopJobForTakeDown();
  // The burner goes before the controls: nothing they signal while they are
  // taken down may reach it.
  tvwISO->blockSignals(true);
  lvwISORoot->blockSignals(true);
  lvwModel->OnEdited = nullptr;
  zqExDragDrop1->SetControl(nullptr);
}

void TFGUI::CreateActions() {
  QStyle* s = style();
  auto make = [this](QAction*& slot, const char* name, const QString& caption,
                     const QIcon& icon = QIcon(), const QKeySequence& key = QKeySequence()) {
    slot = new QAction(icon, caption, this);
    slot->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) slot->setShortcut(key);
    slot->setIconVisibleInMenu(false);
  };
  make(actNew, "actNew", QStringLiteral("New"), s->standardIcon(QStyle::SP_FileIcon));
  make(actSaveISO, "actSaveISO", QStringLiteral("Save ISO"),
       s->standardIcon(QStyle::SP_DialogSaveButton));
  make(actExit, "actExit", QStringLiteral("Exit"));
  make(actAdd, "actAdd", QStringLiteral("Add"), s->standardIcon(QStyle::SP_FileDialogNewFolder),
       QKeySequence(Qt::CTRL | Qt::Key_D));
  make(actDelete, "actDelete", QStringLiteral("Delete"));
  make(actDeleteAll, "actDeleteAll", QStringLiteral("Clear"));
  make(actRename, "actRename", QStringLiteral("&Rename"), QIcon(),
       QKeySequence(Qt::CTRL | Qt::Key_R));
  make(actCreateFolder, "actCreateFolder", QStringLiteral("Create Folder"), QIcon(),
       QKeySequence(Qt::Key_Insert));
  make(actSelectAll, "actSelectAll", QStringLiteral("Select All"), QIcon(),
       QKeySequence(Qt::CTRL | Qt::Key_A));
  make(actProperty, "actProperty", QStringLiteral("Property"));
  make(actBurn, "actBurn", QStringLiteral("Start Burn"), s->standardIcon(QStyle::SP_MediaPlay));
  make(actBurnISO, "actBurnISO", QStringLiteral("Burn ISO"),
       s->standardIcon(QStyle::SP_DriveCDIcon));
  make(actAbort, "actAbort", QStringLiteral("Abort"), s->standardIcon(QStyle::SP_BrowserStop));
  make(actErase, "actErase", QStringLiteral("Erase"), s->standardIcon(QStyle::SP_TrashIcon));
  make(actEject, "actEject", QStringLiteral("Eject"), s->standardIcon(QStyle::SP_ArrowUp));
  make(actLoad, "actLoad", QStringLiteral("Load"), s->standardIcon(QStyle::SP_ArrowDown));
  make(actBurnerInfo, "actBurnerInfo", QStringLiteral("Burner Info."));
  make(actSessionInfo, "actSessionInfo", QStringLiteral("Session Info."));
  make(actPreferences, "actPreferences", QStringLiteral("Preferences"),
       s->standardIcon(QStyle::SP_FileDialogDetailedView));
  make(actAbout, "actAbout", QStringLiteral("About"),
       s->standardIcon(QStyle::SP_MessageBoxInformation));
  make(mnuExtractFiles, "mnuExtractFiles", QStringLiteral("Extract Files"));
  make(mnuImportSession, "mnuImportSession", QStringLiteral("Import Session"));
  make(popExtractFiles, "popExtractFiles", QStringLiteral("Extract Files"));
  actAbort->setEnabled(false);

  connect(actExit, &QAction::triggered, this, &QWidget::close);
  connect(actSaveISO, &QAction::triggered, this, &TFGUI::actSaveISOExecute);
  connect(actBurn, &QAction::triggered, this, &TFGUI::actBurnExecute);
  connect(actBurnISO, &QAction::triggered, this, &TFGUI::actBurnISOExecute);
  connect(actErase, &QAction::triggered, this, &TFGUI::actEraseExecute);
  connect(actAbort, &QAction::triggered, this, &TFGUI::actAbortExecute);
  connect(actEject, &QAction::triggered, this, &TFGUI::actEjectExecute);
  connect(actLoad, &QAction::triggered, this, &TFGUI::actLoadExecute);
  connect(actBurnerInfo, &QAction::triggered, this, &TFGUI::actBurnerInfoExecute);
  connect(actSessionInfo, &QAction::triggered, this, &TFGUI::actSessionInfoExecute);
  connect(actPreferences, &QAction::triggered, this, &TFGUI::actPreferencesExecute);
  connect(actAbout, &QAction::triggered, this, &TFGUI::actAboutExecute);
}

void TFGUI::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  mnuFile = bar->addMenu(QStringLiteral("&File"));
  mnuFile->addAction(actNew);
  mnuFile->addSeparator();
  mnuFile->addAction(actSaveISO);
  mnuFile->addSeparator();
  mnuFile->addAction(actExit);

  mnuEdit = bar->addMenu(QStringLiteral("&Edit"));
  mnuEdit->addAction(actAdd);
  mnuEdit->addSeparator();
  mnuEdit->addAction(actDelete);
  mnuEdit->addAction(actDeleteAll);
  mnuEdit->addAction(actRename);
  mnuEdit->addSeparator();
  mnuEdit->addAction(actCreateFolder);
  mnuEdit->addAction(mnuExtractFiles);
  mnuEdit->addSeparator();
  mnuEdit->addAction(actSelectAll);
  mnuEdit->addSeparator();
  mnuEdit->addAction(actProperty);

  mnuDrive = bar->addMenu(QStringLiteral("&Drive"));
  mnuDrive->addAction(actBurn);
  mnuDrive->addAction(actBurnISO);
  mnuDrive->addSeparator();
  mnuDrive->addAction(mnuImportSession);
  mnuDrive->addSeparator();
  mnuDrive->addAction(actErase);
  mnuDrive->addSeparator();
  mnuDrive->addAction(actEject);
  mnuDrive->addAction(actLoad);

  mnuTools = bar->addMenu(QStringLiteral("&Tools"));
  mnuTools->addAction(actBurnerInfo);
  mnuTools->addAction(actSessionInfo);
  mnuTools->addSeparator();
  mnuTools->addAction(actPreferences);

  mnuHelp = bar->addMenu(QStringLiteral("&Help"));
  mnuHelp->addAction(actAbout);

  // The list's pop-up names two commands its own way; its entries follow
  // the commands' enabled state.
  pmnISORoot = new QMenu(this);
  pmnISORoot->setObjectName(QStringLiteral("pmnISORoot"));
  auto proxy = [this](QAction* target, const QString& caption, const char* name) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setEnabled(target->isEnabled());
    connect(a, &QAction::triggered, target, &QAction::trigger);
    connect(target, &QAction::enabledChanged, a, &QAction::setEnabled);
    pmnISORoot->addAction(a);
  };
  proxy(actDelete, QStringLiteral("Delete Selected"), "popDeleteSelected");
  proxy(actDeleteAll, QStringLiteral("Delete All"), "popDeleteAll");
  proxy(actRename, QStringLiteral("&Rename"), "popRename");
  proxy(actAdd, QStringLiteral("Add"), "popAdd");
  proxy(actCreateFolder, QStringLiteral("Create Folder"), "popCreateFolder");
  pmnISORoot->addAction(popExtractFiles);
  proxy(actSelectAll, QStringLiteral("Select All"), "popSelectAll");
  proxy(actProperty, QStringLiteral("Property"), "popProperty");
}

void TFGUI::CreateBars() {
  DriveBar = new QToolBar(QStringLiteral("Drive"), this);
  DriveBar->setObjectName(QStringLiteral("DriveBar"));
  DriveBar->setMovable(false);
  DriveBar->setFloatable(false);
  lblBurner = new QLabel(QStringLiteral("Burner "), DriveBar);
  lblBurner->setObjectName(QStringLiteral("lblBurner"));
  cboBurner = new QComboBox(DriveBar);
  cboBurner->setObjectName(QStringLiteral("cboBurner"));
  cboBurner->setMinimumContentsLength(32);
  cboBurner->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  auto* speeds = new TDropDownComboBox(DriveBar);
  speeds->OnDropDown = [this] { cboSpeedDropDown(); };
  cboSpeed = speeds;
  cboSpeed->setObjectName(QStringLiteral("cboSpeed"));
  cboSpeed->setMinimumContentsLength(16);
  cboSpeed->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  lblTotalSpace = new QLabel(QStringLiteral("MB"), DriveBar);
  lblTotalSpace->setObjectName(QStringLiteral("lblTotalSpace"));
  lblTotalSpace->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblTotalSpace->setMinimumWidth(
      fontMetrics().horizontalAdvance(QStringLiteral("0,000,000.00 MB")));
  spbBurnerInfo = new QToolButton(DriveBar);
  spbBurnerInfo->setObjectName(QStringLiteral("spbBurnerInfo"));
  spbBurnerInfo->setDefaultAction(actBurnerInfo);
  spbBurnerInfo->setToolButtonStyle(Qt::ToolButtonTextOnly);
  spbBurnerInfo->setAutoRaise(true);
  spbSessionInfo = new QToolButton(DriveBar);
  spbSessionInfo->setObjectName(QStringLiteral("spbSessionInfo"));
  spbSessionInfo->setDefaultAction(actSessionInfo);
  spbSessionInfo->setToolButtonStyle(Qt::ToolButtonTextOnly);
  spbSessionInfo->setAutoRaise(true);

  DriveBar->addWidget(lblBurner);
  DriveBar->addWidget(cboBurner);
  DriveBar->addSeparator();
  DriveBar->addWidget(new QLabel(QStringLiteral("Speed: "), DriveBar));
  DriveBar->addWidget(cboSpeed);
  DriveBar->addSeparator();
  DriveBar->addWidget(new QLabel(QStringLiteral("Total Space: "), DriveBar));
  DriveBar->addWidget(lblTotalSpace);
  DriveBar->addSeparator();
  DriveBar->addWidget(spbBurnerInfo);
  DriveBar->addWidget(spbSessionInfo);
  connect(cboBurner, qOverload<int>(&QComboBox::activated), this, &TFGUI::cboBurnerChange);
  connect(cboSpeed, qOverload<int>(&QComboBox::activated), this, &TFGUI::cboBurnerChange);

  ToolBar1 = new QToolBar(QStringLiteral("Commands"), this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  ToolBar1->setIconSize(QSize(32, 32));
  ToolBar1->addAction(actNew);
  ToolBar1->addAction(actAdd);
  ToolBar1->addAction(actSaveISO);
  ToolBar1->addSeparator();
  ToolBar1->addAction(actBurn);
  ToolBar1->addAction(actBurnISO);
  ToolBar1->addAction(actAbort);
  ToolBar1->addAction(actErase);
  ToolBar1->addSeparator();
  ToolBar1->addAction(actEject);
  ToolBar1->addAction(actLoad);
  ToolBar1->addSeparator();
  ToolBar1->addAction(actPreferences);
  ToolBar1->addAction(actAbout);

  addToolBar(Qt::TopToolBarArea, DriveBar);
  addToolBarBreak(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, ToolBar1);
}

void TFGUI::CreateCompilationArea() {
  auto* central = new QWidget(this);
  auto* v = new QVBoxLayout(central);
  v->setContentsMargins(4, 4, 4, 4);
  auto* dirRow = new QHBoxLayout();
  dirRow->addWidget(new QLabel(QStringLiteral("CD Directory:"), central));
  edtCDDir = new QLineEdit(QStringLiteral("\\"), central);
  edtCDDir->setObjectName(QStringLiteral("edtCDDir"));
  edtCDDir->setReadOnly(true);
  dirRow->addWidget(edtCDDir, 1);
  v->addLayout(dirRow);

  auto* split = new QSplitter(Qt::Horizontal, central);
  split->setObjectName(QStringLiteral("splCompilation"));
  tvwISO = new QTreeWidget(split);
  tvwISO->setObjectName(QStringLiteral("tvwISO"));
  tvwISO->setHeaderHidden(true);
  tvwISO->setColumnCount(1);
  auto* root = new QTreeWidgetItem(tvwISO, QStringList{QStringLiteral("NEW")});
  root->setIcon(0, style()->standardIcon(QStyle::SP_DriveCDIcon));

  lvwModel = new TItemListModel(this);
  lvwModel->FolderIcon = style()->standardIcon(QStyle::SP_DirIcon);
  lvwModel->FileIcon = style()->standardIcon(QStyle::SP_FileIcon);
  lvwISORoot = new QTreeView(split);
  lvwISORoot->setObjectName(QStringLiteral("lvwISORoot"));
  lvwISORoot->setModel(lvwModel);
  lvwISORoot->setRootIsDecorated(false);
  lvwISORoot->setItemsExpandable(false);
  lvwISORoot->setUniformRowHeights(true);
  lvwISORoot->setAllColumnsShowFocus(true);
  lvwISORoot->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvwISORoot->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvwISORoot->setEditTriggers(QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::SelectedClicked);
  lvwISORoot->setContextMenuPolicy(Qt::CustomContextMenu);
  lvwISORoot->header()->setStretchLastSection(false);
  lvwISORoot->header()->setSectionResizeMode(TItemListModel::kName, QHeaderView::Stretch);
  lvwISORoot->header()->resizeSection(TItemListModel::kSize, 120);
  lvwISORoot->header()->resizeSection(TItemListModel::kDate, 150);
  connect(lvwISORoot, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { pmnISORoot->popup(lvwISORoot->viewport()->mapToGlobal(p)); });
  split->addWidget(tvwISO);
  split->addWidget(lvwISORoot);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 3);
  v->addWidget(split, 1);
  setCentralWidget(central);

  zqExDragDrop1 = new TzqExDragDrop(this);
  zqExDragDrop1->setObjectName(QStringLiteral("zqExDragDrop1"));
}

void TFGUI::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  dxstbOne = new QLabel(bar);
  dxstbOne->setObjectName(QStringLiteral("dxstbOne"));
  dxstbOne->setMinimumWidth(230);
  auto* progress = new QWidget(bar);
  auto* h = new QHBoxLayout(progress);
  h->setContentsMargins(0, 0, 0, 0);
  lblProgress = new QLabel(QStringLiteral("Progress: "), progress);
  lblProgress->setObjectName(QStringLiteral("lblProgress"));
  h->addWidget(lblProgress);
  dxbarProgress = new QProgressBar(progress);
  dxbarProgress->setObjectName(QStringLiteral("dxbarProgress"));
  dxbarProgress->setValue(0);
  h->addWidget(dxbarProgress, 1);
  progress->setFixedWidth(330);
  dxpgrBuffer = new QProgressBar(bar);
  dxpgrBuffer->setObjectName(QStringLiteral("dxpgrBuffer"));
  dxpgrBuffer->setFixedWidth(130);
  dxpgrBuffer->setValue(0);
  dxpgrHBuffer = new QProgressBar(bar);
  dxpgrHBuffer->setObjectName(QStringLiteral("dxpgrHBuffer"));
  dxpgrHBuffer->setFixedWidth(80);
  dxpgrHBuffer->setValue(0);
  // The three bars say what they measure to a pointer and to a screen
  // reader.
  const struct {
    QProgressBar* bar;
    const char* name;
  } labels[] = {{dxbarProgress, "Written"},
                {dxpgrBuffer, "Read-ahead buffer"},
                {dxpgrHBuffer, "Recorder buffer"}};
  for (const auto& l : labels) {
    l.bar->setToolTip(QString::fromUtf8(l.name));
    l.bar->setAccessibleName(QString::fromUtf8(l.name));
  }
  lblPhase = new QLabel(bar);
  lblPhase->setObjectName(QStringLiteral("lblPhase"));
  bar->addWidget(dxstbOne, 1);
  bar->addWidget(lblPhase);
  bar->addPermanentWidget(progress);
  bar->addPermanentWidget(dxpgrBuffer);
  bar->addPermanentWidget(dxpgrHBuffer);
}

void TFGUI::ShowMessage(const QString& text) {
  ShowMessageBox(this, text);
}

void TFGUI::FormCreate() {
  QScreen* scr = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  QRect area = scr != nullptr ? scr->geometry() : QRect(0, 0, 1024, 768);
  QSize size = WindowSizeForScreen(area.size());
  resize(size);
  move(area.x() + (area.width() - size.width()) / 2,
       area.y() + (area.height() - size.height()) / 2);
  FErrorPosition = QStringLiteral("Creating.");
  FErrorPosition = QStringLiteral("After Load File.");
  zqCDBurner1.DebugMsg(">>> " + ToStd(windowTitle()), 0);
  FErrorPosition = QStringLiteral("After Burner DebugMsg");

  std::vector<std::string> devices;
  bool started = FEnv.StartTransport && FEnv.StartTransport(zqCDBurner1, devices);
  if (!started) {
    ShowMessage(
        QStringLiteral("Can not Initialize ASPI\uFF0CPlease install ASPI 4.7 or higher "
                       "version first\uFF01"));
    // No folder is current until New; the tree must not make one current
    // before that, with the burner still as it was created.
    tvwISO->setEnabled(false);
    return;
  }
  FErrorPosition = QStringLiteral("After Burner InitializeASPI");
  if (!devices.empty()) {
    for (const std::string& d : devices) cboBurner->addItem(QString::fromStdString(d));
    ShowRecorderNotes();
    cboBurner->setCurrentIndex(0);
    cboBurnerChange();
  } else {
    ShowRecorderNotes();
  }
  FErrorPosition = QStringLiteral("After Burner Devices Work");
  FErrorPosition = QStringLiteral("After Burner SpeedDropDown");

  ReadSettingsFile();
  zqCDBurner1.StripSourcePath = true;
  FErrorPosition = QStringLiteral("After ini Free");

  zqCDBurner1.DebugMsg(" ", 0);
  zqCDBurner1.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  FErrorPosition = QStringLiteral("After Burner DebugMsg, ClearAll");
  cboSpeedDropDown();
  tvwISO->setCurrentItem(tvwISO->topLevelItem(0));
}

void TFGUI::ReadSettingsFile() {
  std::string warning;
  platform::IniFile ini = platform::IniFile::Load(FEnv.Paths.SettingsFile(), &warning);
  // A settings file that is a FIFO or a device is never waited on.
  if (!warning.empty()) zqCDBurner1.DebugMsg(">>> " + warning, 0);
  FErrorPosition = QStringLiteral("After zqcb.ini Create");
  platform::ProgramSettings current;
  current.ArchiveFiles = FArchiveFiles;
  current.QuickSaveISO = QuickSaveISO;
  current.ShowFiles = ShowFiles;
  CurrentBurnerSettings(current);
  platform::ProgramSettings s = platform::ReadProgramSettings(ini, current);
  FArchiveFiles = s.ArchiveFiles;
  QuickSaveISO = s.QuickSaveISO;
  ShowFiles = s.ShowFiles;
  ApplySettingsToBurner(s);
}

std::vector<QAction*> TFGUI::BusyCommands() const {
  return {actExit,         actBurn,        actBurnISO,    actSaveISO,  actNew,
          actAdd,          actErase,       actEject,      actLoad,     actAbout,
          actPreferences,  actSessionInfo, actBurnerInfo, actDelete,   actDeleteAll,
          actCreateFolder, actRename,      actProperty,   actSelectAll};
}

std::vector<QWidget*> TFGUI::BusyControls() const {
  return {cboBurner, cboSpeed, tvwISO, lvwISORoot, edtCDDir};
}

void TFGUI::SetCommandsEnabled(bool value) {
  for (QAction* a : BusyCommands()) a->setEnabled(value);
  for (QWidget* w : BusyControls()) w->setEnabled(value);
}

void TFGUI::EnableCommands(bool Value) {
  ToolBar1->setEnabled(false);
  DriveBar->setEnabled(false);
  SetCommandsEnabled(Value);
  actAbort->setEnabled(!Value);
  FBusy = !Value;
  if (Value) FAwake.Release();
  ToolBar1->setEnabled(true);
  DriveBar->setEnabled(true);
}

void TFGUI::WriteErrorLog(const QString& Position, const QString& ErrorText, bool Notify) {
  std::string entry =
      platform::FormatErrorLogEntry(platform::LocalTimeText(), ToStd(Position), ToStd(ErrorText));
  QString text = QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
  setWindowTitle(text);
  if (Notify) {
    ShowMessage(QStringLiteral("Have Error, Please Check the Log\uFF1A") + QStringLiteral("\r\n") +
                text);
  }
  // A log that cannot be written is not reported: the caption shows it.
  platform::AppendErrorLogEntry(FEnv.Paths.ErrorLogFile(), entry);
}

void TFGUI::ApplicationEvents1Exception(const QString& message) {
  WriteErrorLog(FErrorPosition, message, false);
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

bool TFGUI::FormCloseQuery() {
  if (FBusy) {
    ShowMessage(QStringLiteral("now is burning, can not close."));
    return false;
  }
  // An add in progress lets the window repaint but not close under it.
  return !FAdding;
}

void TFGUI::FormClose() {
  if (FPreferences) FPreferences->close();
}

void TFGUI::closeEvent(QCloseEvent* event) {
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TFGUI::actAboutExecute() {
  auto* about = new TdlgAbout(this);
  about->exec();
  delete about;
}
