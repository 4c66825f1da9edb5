#pragma once
// TFGUI: the main window. It owns the one burner component, zqCDBurner1,
// for the life of the process and drives everything through it.

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "burner/cd_burner.h"
#include "jobs/disc_jobs.h"
#include "jobs/save_image.h"
#include "platform/app_paths.h"
#include "platform/settings.h"
#include "platform/system_services.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class TfrmPreferences;
class TItemListModel;
class TUiHandOver;
struct TListItem;
class TzqExDragDrop;

// What the window needs from the machine it runs on; tests put their own
// folders and recorder start-up here.
struct TGuiEnvironment {
  // Starts the recorder transport and lists the recorders (the entries of
  // the burner's DeviceList); false when no transport could be started.
  using TransportStarter =
      std::function<bool(TzqCDBurner& burner, std::vector<std::string>& devices)>;

  platform::AppPaths Paths;
  TransportStarter StartTransport;

  static TGuiEnvironment FromSystem();
};

// The recorder start-up of the running program (the built-in transport
// first, then a library one).
bool StartRecorderTransport(TzqCDBurner& burner, std::vector<std::string>& devices);

// Width and height of the main window for a screen: 85 % of each.
QSize WindowSizeForScreen(QSize screen);

// "#,##0.00 MB" of a byte count (1048576 bytes to the megabyte).
QString FormatMegabytes(qint64 bytes);
// The same figure without the unit: "#,##0.00".
QString FormatMegabyteFigure(qint64 bytes);

// The write speed, in multiples of the CD speed, that an entry of the
// speed list stands for on a medium of that type: 0 for "Max".
uint16_t SpeedFromText(const QString& Text, uint8_t MediaType);

// Process-wide settings, read once at start.
extern bool QuickSaveISO;
extern bool ShowFiles;

class TFGUI : public QMainWindow {
  Q_OBJECT
 public:
  explicit TFGUI(TGuiEnvironment env = TGuiEnvironment::FromSystem(), QWidget* parent = nullptr);
  ~TFGUI() override;

  // The creation sequence: transport, recorders, settings file, empty
  // compilation, speed list, current folder. Run once, before the window is
  // first shown.
  void FormCreate();
  // Value false enters the busy state (only Abort enabled, closing
  // refused); true leaves it.
  void EnableCommands(bool Value);
  // Appends one entry to the error log and shows it in the caption.
  void WriteErrorLog(const QString& Position, const QString& ErrorText, bool Notify);
  // The handler of every exception that reaches the message loop.
  void ApplicationEvents1Exception(const QString& message);

  // Message boxes of the window (the program's title, one OK button).
  void ShowMessage(const QString& text);

  TzqCDBurner zqCDBurner1;

  // Commands.
  QAction* actNew = nullptr;
  QAction* actSaveISO = nullptr;
  QAction* actExit = nullptr;
  QAction* actAdd = nullptr;
  QAction* actDelete = nullptr;
  QAction* actDeleteAll = nullptr;
  QAction* actRename = nullptr;
  QAction* actCreateFolder = nullptr;
  QAction* actSelectAll = nullptr;
  QAction* actProperty = nullptr;
  QAction* actBurn = nullptr;
  QAction* actBurnISO = nullptr;
  QAction* actErase = nullptr;
  QAction* actAbort = nullptr;
  QAction* actEject = nullptr;
  QAction* actLoad = nullptr;
  QAction* actBurnerInfo = nullptr;
  QAction* actSessionInfo = nullptr;
  QAction* actPreferences = nullptr;
  QAction* actAbout = nullptr;
  // Menu entries with no command attached yet.
  QAction* mnuExtractFiles = nullptr;
  QAction* mnuImportSession = nullptr;
  QAction* popExtractFiles = nullptr;

  // Controls.
  QMenu* mnuFile = nullptr;
  QMenu* mnuEdit = nullptr;
  QMenu* mnuDrive = nullptr;
  QMenu* mnuTools = nullptr;
  QMenu* mnuHelp = nullptr;
  QMenu* pmnISORoot = nullptr;  // the item list's pop-up menu
  QToolBar* DriveBar = nullptr;
  QToolBar* ToolBar1 = nullptr;
  QLabel* lblBurner = nullptr;
  QComboBox* cboBurner = nullptr;
  QComboBox* cboSpeed = nullptr;
  QLabel* lblTotalSpace = nullptr;
  QToolButton* spbBurnerInfo = nullptr;
  QToolButton* spbSessionInfo = nullptr;
  QLineEdit* edtCDDir = nullptr;
  QTreeWidget* tvwISO = nullptr;
  QTreeView* lvwISORoot = nullptr;
  TItemListModel* lvwModel = nullptr;
  QLabel* dxstbOne = nullptr;
  // Beside dxstbOne while a job runs: what it is doing and how fast.
  QLabel* lblPhase = nullptr;
  // The progress bar's caption, which also records the kind of write job
  // that runs: "Burning Progress: ", "Files Saving Progress: ", or
  // "Progress: " when none.
  QLabel* lblProgress = nullptr;
  QProgressBar* dxbarProgress = nullptr;
  QProgressBar* dxpgrBuffer = nullptr;
  QProgressBar* dxpgrHBuffer = nullptr;
  QTimer* Timer1 = nullptr;
  TzqExDragDrop* zqExDragDrop1 = nullptr;

  // Window state.
  QString FErrorPosition;
  bool FArchiveFiles = false;
  bool FBusy = false;
  bool FAdding = false;
  // Abort was pressed and the writer has not reported its end yet: the
  // window stays busy, with every command off (Abort too), so that a late
  // report can never meet new work.
  bool FStopping = false;
  // The preferences dialog, once something has created it.
  QPointer<TfrmPreferences> FPreferences;
  // The preferences dialog, created (hidden) on first need.
  TfrmPreferences* Preferences();

  const TGuiEnvironment& Environment() const { return FEnv; }

  // ---- The compilation view.
  struct TSourceItem {
    QString Path;  // full host path
    bool IsFolder = false;
  };
  QTreeWidgetItem* RootNode() const;
  // The current folder's node (the root or a folder node); null before the
  // creation sequence has made one current.
  QTreeWidgetItem* CurrentFolderNode() const;
  // "\" for the root, else the parent's path + "\" + the node's text.
  QString GetNodePath(QTreeWidgetItem* node) const;
  // A node path as the burner takes it: "\Docs\2004\" (the root stays "\").
  static QString NormalisePath(const QString& nodePath);
  QString NodeFolderPath(QTreeWidgetItem* node) const;
  // Adds files and folders from disk to the folder of `node`, as the Add
  // dialog and a drop on the item list do.
  void AddSourceItems(QTreeWidgetItem* node, const std::vector<TSourceItem>& items);
  void AddSourceItem(QTreeWidgetItem* N, const QString& P, bool IsFolder, const QString& Source);
  void RefreshFolderNode(QTreeWidgetItem* N);
  int64_t GetFolderSize(PDirEntry D) const;
  void RefreshTotalSpace();
  // Makes the folder of a list item the current folder.
  void OpenListFolder(int row);

  // The burner's completion events, run on this window's thread while the
  // job's thread waits.
  void zqCDBurner1WriteDone(TzqCDBurner* Sender, const std::string& Error);
  void zqCDBurner1EraseDone(TzqCDBurner* Sender, bool WithError);
  void zqCDBurner1FinalizingTrack(TzqCDBurner* Sender);

  // The burner's add callbacks.
  void zqCDBurner1AddFile(TzqCDBurner* Sender, const std::string& FullPath,
                          std::string& LongFileName, std::string& ShortFileName,
                          TDateTime& DateTime, int32_t Attr, int64_t FileSize, bool& Skip);
  void zqCDBurner1AddDir(TzqCDBurner* Sender, std::string& LongName, std::string& ShortName,
                         bool& Skip);

 public slots:
  void actNewExecute();
  void actAddExecute();
  void actDeleteExecute();
  // The Delete key in the tree: the current folder (never the root) is
  // deleted, as Delete deletes its item in its parent's list.
  void DeleteTreeSelection();
  void actDeleteAllExecute();
  void actRenameExecute();
  void actCreateFolderExecute();
  void actSelectAllExecute();
  void actPropertyExecute();
  void tvwISOChange(QTreeWidgetItem* N);
  void tvwISOExpanded(QTreeWidgetItem* N);
  // An in-place edit of item `row` was confirmed with `S`.
  void lvwISORootEdited(int row, const QString& S);

 public:
 protected:
  void closeEvent(QCloseEvent* event) override;

 public slots:
  // Commands of the jobs, the drive and the information dialogs.
  void actSaveISOExecute();
  void actBurnExecute();
  void actBurnISOExecute();
  // Burn ISO with its file dialog opened at `file` (chosen, not yet
  // accepted); an empty name opens it as the command does.
  void BurnImageFile(const QString& file);
  void actEraseExecute();
  void actAbortExecute();
  void actEjectExecute();
  void actLoadExecute();
  void actBurnerInfoExecute();
  void actSessionInfoExecute();
  void actPreferencesExecute();
  void actAboutExecute();
  // The progress display of a running job, every 500 ms.
  void Timer1Timer();

  // What the preferences dialog shows of the recorders: the burner's
  // device list, the selected recorder's letter (its device node name),
  // and a speed list built as cboSpeedDropDown builds it.
  QStringList RecorderEntries() const;
  QString RecorderLetter();
  QStringList BuildSpeedEntries();

  // Selecting a recorder (also run when a speed is chosen).
  void cboBurnerChange();
  // Rebuilds the speed list.
  void cboSpeedDropDown();

 private:
  void CreateActions();
  void CreateMenus();
  void CreateBars();
  void CreateCompilationArea();
  void CreateStatusBar();
  bool FormCloseQuery();
  void FormClose();
  // Steps of the creation sequence that set up the compilation.
  void ReadSettingsFile();
  void CurrentBurnerSettings(platform::ProgramSettings& s) const;
  void ApplySettingsToBurner(const platform::ProgramSettings& s);
  void ConnectCompilationView();
  // Lets the window repaint now and then during a long add.
  void PumpEvents();
  // What an add left out, gathered from the add callbacks and the
  // burner's log channel, and shown in the status bar afterwards.
  void BeginAddReport();
  void EndAddReport();
  void CountLeftOut(const QString& reason);
  // The list item of a compilation entry.
  static TListItem ItemOf(const TFEntry* entry);
  // Deletes the list's selected items from the compilation.
  void DeleteSelectedItems();
  // Turns every command and control of the busy state on or off.
  void SetCommandsEnabled(bool value);
  // What the busy state turns off.
  std::vector<QAction*> BusyCommands() const;
  std::vector<QWidget*> BusyControls() const;
  // Puts the tree back to its root node "NEW", current, and empties the list.
  void ResetCompilationView();
  // Wires the burner's completion events to the hand-over.
  void ConnectJobEvents();
  // The job's hourglass, from its start to its end.
  void BeginJobCursor();
  void EndJobCursor();
  // The phase and speed of the running job beside the written size.
  void ShowPhaseAndSpeed(qint64 Written);
  // A desktop notification of a job's end when the window is not in front.
  void NotifyIfAway(const QString& Text);
  // The second line of the Save ISO and Start Burn questions when entries
  // could not be added; empty when all were.
  QString LeftOutLine() const;
  // A job's outcome as the window shows it: Caption ("Failed in Burning!")
  // with the error and, below it, what the job report says; the same
  // lines go to the error log.
  void ShowFailure(const QString& Caption, const jobs::Outcome& Outcome);
  // A job that could not start leaves the busy state it had entered.
  void CancelJobStart();
  // The window is being taken down while a job runs: stop it and wait a
  // while for its threads.
  void StopJobForTakeDown();
  // Before a burn: the recorder buffer's size becomes its bar's maximum,
  // and the selected speed (the first entry when none is) is sent.
  void ReadRecorderBuffer();
  void SelectedWriteSpeed();
  // After a job's starter returned: a start that failed without any
  // report leaves the busy state.
  void StartedOrCancelled(bool started);
  // The end of an erase, once its thread has put the drive back to rest:
  // the busy state left, and the tray opened when `Eject`.
  void FinishErase(bool Eject);
  // Before a command that writes, erases or ejects: true when the selected
  // recorder's disc is not mounted, or the user had it unmounted when
  // asked; false (the command goes no further) otherwise.
  bool ReleaseMountedDisc();
  // While a job writes or erases, the machine is kept from sleeping; the
  // lock goes when the window leaves its busy state.
  void KeepAwake(const QString& Why);
  // What the recorder list tells about the recorders: a drive the
  // transport choice passed over (status bar), mounted discs (tool tips).
  void ShowRecorderNotes();

  TGuiEnvironment FEnv;
  platform::SleepInhibitor FAwake;
  // Shared with the burner's event handlers, which may outlive the window
  // on a job's thread.
  std::shared_ptr<TUiHandOver> FHandOver;
  bool FJobCursor = false;
  // A write job was started and its report has not been run yet.
  bool FAwaitingReport = false;
  // The plan of the write job that runs (or ran last): its end is
  // finished through it.
  std::unique_ptr<jobs::ImageSave> FImageSave;
  std::optional<jobs::BurnPlan> FBurnPlan;
  std::optional<jobs::ErasePlan> FErasePlan;
  bool FEraseFailed = false;
  // The last sample of the written bytes, and the speed they give.
  std::pair<std::chrono::steady_clock::time_point, qint64> FSpeedSample{};
  double FBytesPerSecond = 0;
  qint64 FLastPump = 0;
  struct TAddReport {
    int LeftOut = 0;
    QMap<QString, int> Reasons;  // reason -> count
    QStringList Details;         // the burner's own texts, for the tool tip
  } FReport;
  TOnDebugMsg FSavedDebugHandler;
};
