// The commands that write to the disc in the recorder: Start Burn, Burn ISO
// and Erase. What is checked and asked before the job starts, and what the
// burner is told; the job's end is handled with the other jobs'.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

#include "app/disc_layout.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/preferences.h"
#include "burner/disc_media.h"
#include "device/drive_mounts.h"
#include "device/media_types.h"
#include "jobs/compilation.h"

namespace {

constexpr int32_t kQuickBlank = 1;  // BLANK: minimally blank

const QString kBurnCaption = QStringLiteral("Burning Progress: ");

std::string ToStd(const QString& s) {
  return s.toUtf8().toStdString();
}
QString FromStd(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Pending repaints and timers run; the user's input waits, so that nothing
// starts another command in the middle of this one.
void LetMessagesRun() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

bool TFGUI::ReleaseMountedDisc() {
  const device::MountedDisc disc = device::MountedDiscOf(zqCDBurner1.DeviceId);
  if (!disc.Mounted()) return true;
  const QString text = QString::fromStdString(disc.Text());
  if (!AskYesNo(this, text.left(1).toUpper() + text.mid(1) + QStringLiteral(".\r\nUnmount it?"),
                QStringLiteral("Unmount the disc?"), true)) {
    return false;
  }
  std::string error;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool unmounted = device::UnmountDisc(disc, error);
  QApplication::restoreOverrideCursor();
  ShowRecorderNotes();
  if (!unmounted) {
    const QString why = QString::fromStdString(error);
    ShowMessage(why.left(1).toUpper() + why.mid(1) + QLatin1Char('.'));
  }
  return unmounted;
}

void TFGUI::KeepAwake(const QString& Why) {
  platform::ServiceOutcome outcome;
  FAwake = platform::SleepInhibitor::Take(Why.toStdString(), outcome);
  if (!outcome.Done()) {
    zqCDBurner1.DebugMsg(">>> Nothing keeps the machine awake during the job: " + outcome.text,
                         outcome.status == platform::ServiceOutcome::Status::Failed ? 0 : 1);
  }
}

void TFGUI::ReadRecorderBuffer() {
  uint32_t length = 0;
  uint32_t blank = 0;
  zqCDBurner1.ReadBufferCapacity(length, blank);
  dxpgrHBuffer->setMaximum(static_cast<int>(std::clamp<uint32_t>(length, 1, INT32_MAX)));
}

void TFGUI::SelectedWriteSpeed() {
  if (cboSpeed->currentIndex() < 0 && cboSpeed->count() > 0) cboSpeed->setCurrentIndex(0);
  zqCDBurner1.SetWriteSpeed(SpeedFromText(cboSpeed->currentText(), zqCDBurner1.GetMediaType()));
}

void TFGUI::StartedOrCancelled(bool started) {
  // A start that raised no report (another job held the burner) would
  // leave the window busy for ever.
  if (!started && FAwaitingReport) {
    FAwaitingReport = false;
    CancelJobStart();
    lblProgress->setText(QStringLiteral("Progress: "));
  }
}

void TFGUI::actBurnExecute() {
  FErrorPosition = QStringLiteral("before ReadBufferCapacity");
  TfrmPreferences* prefs = Preferences();
  zqCDBurner1.JolietFileSystem = prefs->chkJoliet->isChecked();
  ReadRecorderBuffer();
  SelectedWriteSpeed();
  LetMessagesRun();

  FErrorPosition = QStringLiteral("before DirsCount");
  if (const auto refused = jobs::CheckNotEmpty(zqCDBurner1)) {
    ShowMessage(FromStd(refused->Message));
    return;
  }
  if (!ReleaseMountedDisc()) return;
  if (ShowFiles) {
    auto* layout = new TfrmDiscLayout(this, zqCDBurner1);
    layout->exec();
    delete layout;
  }

  QApplication::setOverrideCursor(Qt::WaitCursor);
  // The checks before a burn: the disc, what the compilation holds and
  // the volume label (the compilation's top node names it).
  const std::string volume = zqCDBurner1.IdVolume;
  zqCDBurner1.IdVolume = ToStd(RootNode()->text(0));
  jobs::BurnRequest request;
  request.SkipUnadded = true;  // the question below says what is missing
  request.ClearArchive = FArchiveFiles;
  request.LayOut = false;
  const auto plan = jobs::PlanBurn(zqCDBurner1, request);
  if (!plan) {
    zqCDBurner1.IdVolume = volume;
    QApplication::restoreOverrideCursor();
    ShowMessage(FromStd(plan.Refused->Message));
    return;
  }
  FErrorPosition = QStringLiteral("Before Prepare");
  const QString total = FormatMegabyteFigure(zqCDBurner1.TotalAddedBytes());
  lblTotalSpace->setText(total + QStringLiteral(" MB"));
  QString question = QStringLiteral("Total File Sizes ") + total + QStringLiteral(" MB");
  question += LeftOutLine();
  // A session on an overwritable disc is written from its first sector,
  // over everything the disc held.
  if (plan.Value.Disc.Overwritable) {
    question += QStringLiteral("\r\nThe ") + FromStd(plan.Value.Disc.Name) +
                QStringLiteral(" is written from its start: what it holds is replaced.");
  }
  for (const std::string& warning : plan.Value.Warnings)
    question += QStringLiteral("\r\n") + FromStd(warning);
  lblProgress->setText(kBurnCaption);
  QApplication::restoreOverrideCursor();

  if (!AskYesNo(this, question, QStringLiteral("Start to Burn?"))) {
    zqCDBurner1.IdVolume = volume;
    Timer1->stop();
    return;
  }
  if (const auto refused = jobs::LayOut(zqCDBurner1, false)) {
    // Nothing was written; the compilation stays for the user to mend.
    lblProgress->setText(QStringLiteral("Progress: "));
    ShowMessage(QStringLiteral("Failed in Burning!") + QStringLiteral("\r\nError: ") +
                FromStd(refused->Message));
    return;
  }
  lblTotalSpace->setText(FormatMegabytes(zqCDBurner1.ImageSectors() * 2048));
  dxbarProgress->setMaximum(
      static_cast<int>(std::clamp<int64_t>(zqCDBurner1.ImageSectors(), 1, INT32_MAX)));

  Timer1->start();
  zqCDBurner1.DebugMsg(">>> CD Burner " + zqCDBurner1.DeviceId, 0);
  EnableCommands(false);
  BeginJobCursor();
  KeepAwake(QStringLiteral("Writing a disc"));
  FErrorPosition = QStringLiteral("before BurnCD");
  FAwaitingReport = true;
  FImageSave.reset();
  FBurnPlan = plan.Value;
  StartedOrCancelled(zqCDBurner1.BurnCD());
}

void TFGUI::actBurnISOExecute() {
  BurnImageFile(QString());
}

void TFGUI::BurnImageFile(const QString& chosen) {
  QFileDialog od(this);
  od.setObjectName(QStringLiteral("od"));
  od.setOption(QFileDialog::DontUseNativeDialog);
  od.setAcceptMode(QFileDialog::AcceptOpen);
  od.setFileMode(QFileDialog::ExistingFile);
  od.setDefaultSuffix(QStringLiteral("iso"));
  od.setNameFilters({QStringLiteral(".ISO Files (*.iso *.ISO)"), QStringLiteral("All File (*)")});
  if (!chosen.isEmpty()) {
    od.setDirectory(QFileInfo(chosen).absolutePath());
    od.selectFile(QFileInfo(chosen).fileName());
  }
  if (od.exec() != QDialog::Accepted || od.selectedFiles().isEmpty()) return;
  const QString file = od.selectedFiles().first();
  const auto plan = jobs::PlanBurnImage(zqCDBurner1, ToStd(file));
  if (!plan) {
    ShowMessage(FromStd(plan.Refused->Message));
    return;
  }
  if (!ReleaseMountedDisc()) return;

  BeginJobCursor();
  zqCDBurner1.JolietFileSystem = Preferences()->chkJoliet->isChecked();
  ReadRecorderBuffer();
  EnableCommands(false);
  lblProgress->setText(kBurnCaption);
  Timer1->start();
  KeepAwake(QStringLiteral("Writing a disc"));
  // The recorder keeps the write speed last sent to it.
  FAwaitingReport = true;
  FImageSave.reset();
  FBurnPlan = plan.Value;
  const bool started = zqCDBurner1.BurnISO(ToStd(file));
  dxbarProgress->setMaximum(
      static_cast<int>(std::clamp<int64_t>(zqCDBurner1.ImageSectors(), 1, INT32_MAX)));
  StartedOrCancelled(started);
}

void TFGUI::actEraseExecute() {
  const auto plan = jobs::PlanErase(zqCDBurner1);
  if (!plan) {
    ShowMessage(FromStd(plan.Refused->Message));
    return;
  }
  FErasePlan = plan.Value;
  if (!AskYesNo(this, QStringLiteral("Delete all data"),
                QStringLiteral("Delete all data Quickly! Are you sure?"), true, true)) {
    return;
  }
  if (!ReleaseMountedDisc()) return;
  // Empty only when no transport could be started.
  if (cboSpeed->currentIndex() < 0) return;
  Timer1->start();
  zqCDBurner1.SetWriteSpeed(SpeedFromText(cboSpeed->currentText(), zqCDBurner1.GetMediaType()));
  BeginJobCursor();
  EnableCommands(false);
  // An erase cannot be stopped once the drive has it.
  actAbort->setEnabled(false);
  KeepAwake(QStringLiteral("Erasing a disc"));
  zqCDBurner1.EraseDisc(kQuickBlank);
}
