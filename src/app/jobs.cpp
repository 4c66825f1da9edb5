// The commands that start and stop the burner's long jobs (saving the
// compilation as an image file, and the drive commands), the half-second
// progress display and the handlers of the jobs' completion events.
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <chrono>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/preferences.h"
#include "app/text_rules.h"
#include "app/ui_hand_over.h"
#include "recording/job_state.h"

namespace {

constexpr int kMaxImageNameChars = 106;
constexpr int kCompilationLogType = 4;  // a failed compilation operation
// How long a window being taken down waits for a job's threads.
constexpr auto kTakeDownWait = std::chrono::seconds(60);
// How often the window looks whether an erase thread has ended.
constexpr int kEraseEndPollMs = 50;

const QString kIdleCaption = QStringLiteral("Progress: ");
const QString kBurnCaption = QStringLiteral("Burning Progress: ");
const QString kSaveCaption = QStringLiteral("Files Saving Progress: ");

std::string ToStd(const QString& s) {
  return s.toUtf8().toStdString();
}
QString FromStd(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A progress bar's position, kept inside its range (a bar ignores values
// outside it).
void SetPosition(QProgressBar* bar, qint64 value) {
  bar->setValue(static_cast<int>(std::clamp<qint64>(value, bar->minimum(), bar->maximum())));
}

// A bar's maximum from a count that may be 0 (a bar of range 0..0 would
// show itself busy instead of empty).
void SetMaximum(QProgressBar* bar, qint64 maximum) {
  bar->setMaximum(static_cast<int>(std::clamp<qint64>(maximum, 1, INT32_MAX)));
}

// Whether `path` names the same file as one of the compilation's sources:
// an image saved over its own source would destroy the data it copies.
bool IsCompilationSource(const TzqCDBurner& burner, const QString& path) {
  struct stat target {};
  if (::stat(QFile::encodeName(path).constData(), &target) != 0) return false;
  for (PFileEntry e : burner.FileTable()) {
    if (e->SourcePath.empty() || IsFolderEntry(e)) continue;
    struct stat source {};
    if (::stat(e->SourcePath.c_str(), &source) == 0 && source.st_dev == target.st_dev &&
        source.st_ino == target.st_ino) {
      return true;
    }
  }
  return false;
}

}  // namespace

void TFGUI::ConnectJobEvents() {
  // The handlers change the window, so they run on its thread; the job's
  // thread waits meanwhile. The hand-over outlives the window (it is
  // shared), so that a job still running when the window goes finds it
  // closed instead of gone.
  std::shared_ptr<TUiHandOver> hand = FHandOver;
  zqCDBurner1.OnWriteDone = [this, hand](TzqCDBurner* sender, const std::string& error) {
    hand->Run([&] { zqCDBurner1WriteDone(sender, error); });
  };
  zqCDBurner1.OnEraseDone = [this, hand](TzqCDBurner* sender, bool withError) {
    hand->Run([&] { zqCDBurner1EraseDone(sender, withError); });
  };
  zqCDBurner1.OnFinalizingTrack = [this, hand](TzqCDBurner* sender) {
    hand->Run([&] { zqCDBurner1FinalizingTrack(sender); });
  };
}

void TFGUI::StopJobForTakeDown() {
  if (!recording::JobRunning()) return;
  zqCDBurner1.AbortWrite();
  recording::WaitForJobEnd(kTakeDownWait);
}

TfrmPreferences* TFGUI::Preferences() {
  if (FPreferences) return FPreferences;
  TPreferencesSource source;
  source.Recorders = [this] { return RecorderEntries(); };
  source.RecorderLetter = [this] { return RecorderLetter(); };
  source.BuildSpeeds = [this] { return BuildSpeedEntries(); };
  source.SetCacheSize = [this](int32_t bytes) { zqCDBurner1.SetCacheSize(bytes); };
  FPreferences = new TfrmPreferences(this, std::move(source));
  return FPreferences;
}

void TFGUI::actPreferencesExecute() {
  Preferences()->exec();
}

void TFGUI::BeginJobCursor() {
  if (FJobCursor) return;
  FJobCursor = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TFGUI::EndJobCursor() {
  if (!FJobCursor) return;
  FJobCursor = false;
  QApplication::restoreOverrideCursor();
}

bool TFGUI::PrepareLayout(bool ImageOnly, QString& Reason) {
  // The burner says why a layout cannot be made on its log channel; no job
  // runs yet, so the channel can be borrowed for the moment.
  TOnDebugMsg saved = zqCDBurner1.OnDebugMessage;
  QString last;
  zqCDBurner1.OnDebugMessage = [&](TSCSIDevice* sender, const std::string& text, uint8_t type) {
    if (saved) saved(sender, text, type);
    if (type == kCompilationLogType) last = FromStd(text);
  };
  bool ok = false;
  try {
    ok = zqCDBurner1.Prepare(ImageOnly);
  } catch (...) {
    zqCDBurner1.OnDebugMessage = saved;
    throw;
  }
  zqCDBurner1.OnDebugMessage = saved;
  Reason = last;
  return ok;
}

void TFGUI::CancelJobStart() {
  Timer1->stop();
  EnableCommands(true);
  EndJobCursor();
}

void TFGUI::actSaveISOExecute() {
  if (zqCDBurner1.DirsCount() == 0 && zqCDBurner1.FilesCount() == 0) {
    ShowMessage(QStringLiteral("Please add the file or directory first!"));
    return;
  }
  bool ok = false;
  QString answer = QInputDialog::getText(this, QStringLiteral("Save As ISO File"),
                                         QStringLiteral("Please Input Filename"), QLineEdit::Normal,
                                         FromStd(zqCDBurner1.ISOFileName), &ok);
  if (!ok || answer.trimmed().isEmpty()) return;
  // A bare file name: the image goes to the current folder.
  if (!IsValidCompilationName(answer)) {
    ShowMessage(QStringLiteral("Invalid Name."));
    return;
  }
  QString name = LeftChars(answer, kMaxImageNameChars);
  if (!name.contains(QStringLiteral(".iso"))) name += QStringLiteral(".iso");
  if (IsCompilationSource(zqCDBurner1, name)) {
    ShowMessage(QStringLiteral("Invalid Name.") + QStringLiteral("\r\n") + name +
                QStringLiteral(" is one of the files to be saved."));
    return;
  }
  QFileInfo existing(name);
  if ((existing.exists() || existing.isSymLink()) &&
      !AskYesNo(this, name + QStringLiteral(" already exists.\r\nDo you want to replace it?"),
                QStringLiteral("Save As ISO File"), true, true)) {
    return;
  }

  BeginJobCursor();
  Timer1->start();
  QCoreApplication::processEvents();
  EnableCommands(false);

  zqCDBurner1.JolietFileSystem = Preferences()->chkJoliet->isChecked();
  QString reason;
  if (!PrepareLayout(true, reason)) {
    // Nothing was written: the compilation stays for the user to mend.
    CancelJobStart();
    ShowMessage(QStringLiteral("Failed in Saving ISO file!") + QStringLiteral("\r\nError: ") +
                reason);
    return;
  }
  SetMaximum(dxbarProgress, zqCDBurner1.ImageSectors());
  lblTotalSpace->setText(FormatMegabytes(zqCDBurner1.ImageSectors() * 2048));
  lblProgress->setText(kSaveCaption);
  FAwaitingReport = true;
  // False only when another job holds the burner: nothing started, and
  // nothing will report.
  StartedOrCancelled(zqCDBurner1.SaveISO(ToStd(name), QuickSaveISO));
}

void TFGUI::actAbortExecute() {
  zqCDBurner1.AbortWrite();
  Timer1->stop();
  dxstbOne->clear();
  dxbarProgress->setValue(0);
  // Busy until the writer reports its end: it may still be synchronising
  // the drive's cache, closing the session or waiting for the drive.
  FStopping = true;
  ToolBar1->setEnabled(false);
  DriveBar->setEnabled(false);
  SetCommandsEnabled(false);
  actAbort->setEnabled(false);
  ToolBar1->setEnabled(true);
  DriveBar->setEnabled(true);
}

void TFGUI::actEjectExecute() {
  zqCDBurner1.SynchronizeCache(300000, false);
  zqCDBurner1.PreventAllowRemoval(true);
  const bool ejected = zqCDBurner1.StartStopUnit(true);
  zqCDBurner1.DebugMsg(
      ejected ? ">>> EJECT MEDIUM COMMAND DONE." : ">>> EJECT MEDIUM COMMAND FAILED.", 0);
}

void TFGUI::actLoadExecute() {
  if (zqCDBurner1.StartStopUnit(false)) zqCDBurner1.DebugMsg(">>> LOAD MEDIUM COMMAND DONE.", 0);
}

void TFGUI::Timer1Timer() {
  if (zqCDBurner1.Erasing()) {
    dxbarProgress->setMaximum(100);
    SetPosition(dxbarProgress, zqCDBurner1.EraseProgress());
    return;
  }
  const qint64 written = zqCDBurner1.BytesWritten.load();
  const qint64 image = zqCDBurner1.ImageSectors() * 2048;
  dxstbOne->setText(QStringLiteral("Burned Data Size: ") + FormatMegabyteFigure(written) +
                    QLatin1Char('/') + FormatMegabyteFigure(image) + QStringLiteral(" MB"));
  SetPosition(dxpgrBuffer, zqCDBurner1.CacheFillPercent());
  SetPosition(dxbarProgress, written / 2048);
  const uint32_t size = zqCDBurner1.DeviceBufferSize;
  const uint32_t free = zqCDBurner1.DeviceFreeBufferSize;
  // A drive that reports more free room than it has leaves the bar as it was.
  if (free <= size) SetPosition(dxpgrHBuffer, static_cast<qint64>(size) - free);
}

void TFGUI::zqCDBurner1WriteDone(TzqCDBurner*, const std::string& Error) {
  const bool burning = lblProgress->text() == kBurnCaption;
  FAwaitingReport = false;
  Timer1->stop();
  FStopping = false;
  EnableCommands(true);
  Timer1Timer();
  if (Error.empty() && burning && Preferences()->chkEjectBurn->isChecked())
    zqCDBurner1.StartStopUnit(true);
  if (Error.empty() && FArchiveFiles) zqCDBurner1.ClearArchiveBits();
  // Emptied after every write job, successful or not.
  zqCDBurner1.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  ResetCompilationView();
  EndJobCursor();
  QApplication::beep();

  zqCDBurner1.DebugMsg(" ", 0);
  if (!Error.empty()) {
    zqCDBurner1.DebugMsg(">>> Burn error", 0);
    zqCDBurner1.DebugMsg(">>> " + Error, 0);
    ShowMessage((burning ? QStringLiteral("Failed in Burning!")
                         : QStringLiteral("Failed in Saving ISO file!")) +
                QStringLiteral("\r\nError: ") + FromStd(Error));
  } else {
    zqCDBurner1.DebugMsg(">>> Burn successful", 0);
    ShowMessage(burning ? QStringLiteral("Burning has completed successfully!")
                        : QStringLiteral("ISO file has saved successfully!"));
  }
  dxbarProgress->setValue(0);
  dxpgrBuffer->setValue(0);
  dxpgrHBuffer->setValue(0);
  dxstbOne->clear();
  lblProgress->setText(kIdleCaption);
}

void TFGUI::zqCDBurner1EraseDone(TzqCDBurner*, bool WithError) {
  zqCDBurner1.DebugMsg(WithError ? ">>> Deletion error" : ">>> Deletion successful", 0);
  Timer1->stop();
  dxbarProgress->setValue(0);
  // After this report the erase thread puts the drive back to rest, which
  // loads the disc again: the tray is opened, and the window leaves its
  // busy state, once that is over.
  FinishErase(!WithError && Preferences()->chkEjectErase->isChecked());
}

void TFGUI::FinishErase(bool Eject) {
  if (zqCDBurner1.Erasing()) {
    QTimer::singleShot(kEraseEndPollMs, this, [this, Eject] { FinishErase(Eject); });
    return;
  }
  EndJobCursor();
  FStopping = false;
  EnableCommands(true);
  if (Eject) zqCDBurner1.StartStopUnit(true);
  QApplication::beep();
  zqCDBurner1.DebugMsg(" ", 0);
}

void TFGUI::zqCDBurner1FinalizingTrack(TzqCDBurner*) {
  zqCDBurner1.DebugMsg(">>> Completed", 0);
}
