// The commands that start and stop the burner's long jobs (saving the
// compilation as an image file, and the drive commands), the half-second
// progress display and the handlers of the jobs' completion events.
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
#include "jobs/compilation.h"
#include "device/media_types.h"
#include "platform/system_services.h"
#include "recording/job_state.h"

namespace {

constexpr int kMaxImageNameChars = 106;
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

QString TFGUI::LeftOutLine() const {
  const size_t left = zqCDBurner1.Omissions().size();
  if (left == 0) return QString();
  return QStringLiteral("\r\n") + FromStd(jobs::OmissionsSummary(left)) +
         QStringLiteral(" (see the status bar)");
}

void TFGUI::ShowFailure(const QString& Caption, const jobs::Outcome& Outcome) {
  QString text = Caption + QStringLiteral("\r\nError: ") + FromStd(Outcome.Message);
  if (Outcome.Failure) {
    for (const std::string& line : jobs::FailureLines(*Outcome.Failure)) {
      text += QStringLiteral("\r\n") + FromStd(line);
      zqCDBurner1.DebugMsg(">>> " + line, 0);
    }
  }
  ShowMessage(text);
}

void TFGUI::CancelJobStart() {
  Timer1->stop();
  EnableCommands(true);
  EndJobCursor();
}

void TFGUI::actSaveISOExecute() {
  if (const auto refused = jobs::CheckNotEmpty(zqCDBurner1)) {
    ShowMessage(FromStd(refused->Message));
    return;
  }
  bool ok = false;
  QString answer = QInputDialog::getText(this, QStringLiteral("Save As ISO File"),
                                         QStringLiteral("Please Input Filename") + LeftOutLine(),
                                         QLineEdit::Normal, FromStd(zqCDBurner1.ISOFileName), &ok);
  if (!ok || answer.trimmed().isEmpty()) return;
  // A bare file name: the image goes to the current folder.
  if (!IsValidCompilationName(answer)) {
    ShowMessage(QStringLiteral("Invalid Name."));
    return;
  }
  QString name = LeftChars(answer, kMaxImageNameChars);
  if (!name.contains(QStringLiteral(".iso"))) name += QStringLiteral(".iso");
  jobs::SaveImageRequest request;
  request.Output = ToStd(name);
  jobs::SaveImagePlan looked;
  if (const auto refused = jobs::CheckImageOutput(zqCDBurner1, request.Output, false, looked)) {
    if (refused->Code == "output-is-source") {
      ShowMessage(QStringLiteral("Invalid Name.") + QStringLiteral("\r\n") + name +
                  QStringLiteral(" is one of the files to be saved."));
      return;
    }
    if (refused->Code != "output-exists") {
      ShowMessage(FromStd(refused->Message));
      return;
    }
    if (!AskYesNo(this, name + QStringLiteral(" already exists.\r\nDo you want to replace it?"),
                  QStringLiteral("Save As ISO File"), true, true))
      return;
    request.Force = true;
  }

  BeginJobCursor();
  Timer1->start();
  QCoreApplication::processEvents();
  EnableCommands(false);

  zqCDBurner1.JolietFileSystem = Preferences()->chkJoliet->isChecked();
  // What could not be added was shown in the status bar and asked about.
  request.SkipUnadded = true;
  request.Quick = QuickSaveISO;
  request.ClearArchive = FArchiveFiles;
  const auto plan = jobs::PlanSaveImage(zqCDBurner1, request);
  if (!plan) {
    // Nothing was written: the compilation stays for the user to mend.
    CancelJobStart();
    ShowMessage(QStringLiteral("Failed in Saving ISO file!") + QStringLiteral("\r\nError: ") +
                FromStd(plan.Refused->Message));
    return;
  }
  for (const std::string& warning : plan.Value.Warnings) zqCDBurner1.DebugMsg(">>> " + warning, 0);
  SetMaximum(dxbarProgress, zqCDBurner1.ImageSectors());
  lblTotalSpace->setText(FormatMegabytes(zqCDBurner1.ImageSectors() * 2048));
  lblProgress->setText(kSaveCaption);
  FBurnPlan.reset();
  FImageSave = std::make_unique<jobs::ImageSave>(zqCDBurner1, plan.Value);
  FAwaitingReport = true;
  // False only when another job holds the burner: nothing started, and
  // nothing will report.
  StartedOrCancelled(FImageSave->Start());
}

void TFGUI::actAbortExecute() {
  zqCDBurner1.AbortWrite();
  Timer1->stop();
  dxstbOne->clear();
  lblPhase->clear();
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
  // The tray of a mounted disc stays shut unless the user has it unmounted.
  if (!ReleaseMountedDisc()) return;
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
  ShowPhaseAndSpeed(written);
  SetPosition(dxpgrBuffer, zqCDBurner1.CacheFillPercent());
  SetPosition(dxbarProgress, written / 2048);
  const uint32_t size = zqCDBurner1.DeviceBufferSize;
  const uint32_t free = zqCDBurner1.DeviceFreeBufferSize;
  // A drive that reports more free room than it has leaves the bar as it was.
  if (free <= size) SetPosition(dxpgrHBuffer, static_cast<qint64>(size) - free);
}

void TFGUI::ShowPhaseAndSpeed(qint64 Written) {
  const auto now = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(now - FSpeedSample.first).count();
  if (Written < FSpeedSample.second || seconds > 10) {
    FSpeedSample = {now, Written};
    FBytesPerSecond = 0;
  } else if (seconds >= 0.4) {
    // Smoothed over the last few ticks, as a drive's speed wavers.
    const double rate = static_cast<double>(Written - FSpeedSample.second) / seconds;
    FBytesPerSecond = FBytesPerSecond <= 0 ? rate : 0.6 * FBytesPerSecond + 0.4 * rate;
    FSpeedSample = {now, Written};
  }
  QString text = QString::fromLatin1(jobs::PhaseName(zqCDBurner1.JobPhase.load()));
  if (FBytesPerSecond > 0) {
    const uint16_t media = zqCDBurner1.CurrentMediaType;
    const bool burning = lblProgress->text() == kBurnCaption;
    const double perX = media == 0 || !burning ? 0 : media < mtDVDROM ? 75.0 * 2048 : 1385000.0;
    text += QStringLiteral(", ");
    if (perX > 0) text += QString::number(FBytesPerSecond / perX, 'f', 1) + QStringLiteral("x, ");
    text += QString::number(FBytesPerSecond / 1048576.0, 'f', 1) + QStringLiteral(" MB/s");
  }
  lblPhase->setText(text);
}

void TFGUI::NotifyIfAway(const QString& Text) {
  // The user who switched to another window hears of the end anyway.
  if (isActiveWindow()) return;
  const platform::ServiceOutcome o =
      platform::NotifyDesktop("Tidemark", Text.section(QStringLiteral("\r\n"), 0, 1).toStdString());
  if (!o.Done()) zqCDBurner1.DebugMsg(">>> no desktop notification: " + o.text, 1);
}

void TFGUI::zqCDBurner1WriteDone(TzqCDBurner*, const std::string& Error) {
  const bool burning = lblProgress->text() == kBurnCaption;
  // The job's own end first: the image put in place, the disc looked at
  // after a failure, the archive attributes cleared after success.
  jobs::Outcome outcome;
  if (!burning && FImageSave) {
    outcome = FImageSave->Finish(Error);
  } else if (burning && FBurnPlan) {
    outcome = jobs::FinishBurn(zqCDBurner1, *FBurnPlan, Error);
    FBurnPlan.reset();
  } else {
    outcome = jobs::WriteOutcome(zqCDBurner1, Error, burning);
  }
  FAwaitingReport = false;
  Timer1->stop();
  FStopping = false;
  EnableCommands(true);
  Timer1Timer();
  if (outcome.Ok() && burning && Preferences()->chkEjectBurn->isChecked())
    zqCDBurner1.StartStopUnit(true);
  // Emptied after every write job, successful or not.
  zqCDBurner1.ClearAll(TzqCDBurner::kAppMaxFiles, TzqCDBurner::kAppMaxDirs);
  ResetCompilationView();
  EndJobCursor();
  QApplication::beep();

  zqCDBurner1.DebugMsg(" ", 0);
  lblPhase->clear();
  NotifyIfAway(outcome.Ok() ? (burning ? QStringLiteral("Burning has completed successfully!")
                                       : QStringLiteral("ISO file has saved successfully!"))
                            : (burning ? QStringLiteral("Failed in Burning!")
                                       : QStringLiteral("Failed in Saving ISO file!")) +
                                  QStringLiteral("\r\n") + FromStd(outcome.Message));
  if (!outcome.Ok()) {
    zqCDBurner1.DebugMsg(">>> Burn error", 0);
    zqCDBurner1.DebugMsg(">>> " + outcome.Message, 0);
    ShowFailure(burning ? QStringLiteral("Failed in Burning!")
                        : QStringLiteral("Failed in Saving ISO file!"),
                outcome);
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
  FEraseFailed = WithError;
  // What the drive did, and how it left the disc, for the error log.
  if (WithError && FErasePlan) {
    const jobs::Outcome outcome = jobs::FinishErase(zqCDBurner1, *FErasePlan, true);
    if (outcome.Failure)
      for (const std::string& line : jobs::FailureLines(*outcome.Failure))
        zqCDBurner1.DebugMsg(">>> " + line, 0);
  }
  FErasePlan.reset();
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
  NotifyIfAway(FEraseFailed ? QStringLiteral("Deletion error") : QStringLiteral("Deletion successful"));
  if (Eject) zqCDBurner1.StartStopUnit(true);
  QApplication::beep();
  zqCDBurner1.DebugMsg(" ", 0);
}

void TFGUI::zqCDBurner1FinalizingTrack(TzqCDBurner*) {
  zqCDBurner1.DebugMsg(">>> Completed", 0);
}
