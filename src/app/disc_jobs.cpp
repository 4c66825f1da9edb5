// The commands that write to the disc in the recorder: Start Burn, Burn ISO
// and Erase. What is checked and asked before the job starts, and what the
// burner is told; the job's end is handled with the other jobs'.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
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
#include "device/media_types.h"

namespace {

constexpr int32_t kQuickBlank = 1;  // BLANK: minimally blank

const QString kBurnCaption = QStringLiteral("Burning Progress: ");

std::string ToStd(const QString& s) {
  return s.toUtf8().toStdString();
}

// Pending repaints and timers run; the user's input waits, so that nothing
// starts another command in the middle of this one.
void LetMessagesRun() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// Entries whose data lies on the disc, from an imported session.
bool HoldsImportedFiles(const TzqCDBurner& burner) {
  for (PFileEntry e : burner.FileTable()) {
    if (e->Imported != 0 && !e->Removed) return true;
  }
  return false;
}

}  // namespace

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
  if (zqCDBurner1.DirsCount() == 0 && zqCDBurner1.FilesCount() == 0) {
    ShowMessage(QStringLiteral("Please add the file or directory first!"));
    return;
  }
  if (ShowFiles) {
    auto* layout = new TfrmDiscLayout(this, zqCDBurner1);
    layout->exec();
    delete layout;
  }

  QApplication::setOverrideCursor(Qt::WaitCursor);
  // A session on an overwritable disc is written from its first sector,
  // over everything the disc held, the data of an imported session too.
  const uint16_t media = zqCDBurner1.GetMediaType();
  const bool overwritable = burner::RecordingOf(media, burner::CurrentProfile(zqCDBurner1)) ==
                            burner::TRecording::Overwritable;
  const std::string_view name = MediaNames[media < MediaNames.size() ? media : 0];
  const QString mediaName = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  if (overwritable && HoldsImportedFiles(zqCDBurner1)) {
    QApplication::restoreOverrideCursor();
    ShowMessage(QStringLiteral("The session cannot be continued on a ") + mediaName +
                QStringLiteral(": the disc is written from its start, over the files of the "
                               "session."));
    return;
  }
  FErrorPosition = QStringLiteral("Before Prepare");
  const QString total = FormatMegabyteFigure(zqCDBurner1.TotalAddedBytes());
  lblTotalSpace->setText(total + QStringLiteral(" MB"));
  QString question = QStringLiteral("Total File Sizes ") + total + QStringLiteral(" MB");
  if (overwritable) {
    question += QStringLiteral("\r\nThe ") + mediaName +
                QStringLiteral(" is written from its start: what it holds is replaced.");
  }
  lblProgress->setText(kBurnCaption);
  QApplication::restoreOverrideCursor();

  if (!AskYesNo(this, question, QStringLiteral("Start to Burn?"))) {
    Timer1->stop();
    return;
  }
  zqCDBurner1.IdVolume = ToStd(RootNode()->text(0));
  QString reason;
  if (!PrepareLayout(false, reason)) {
    // Nothing was written; the compilation stays for the user to mend.
    lblProgress->setText(QStringLiteral("Progress: "));
    ShowMessage(QStringLiteral("Failed in Burning!") + QStringLiteral("\r\nError: ") + reason);
    return;
  }
  lblTotalSpace->setText(FormatMegabytes(zqCDBurner1.ImageSectors() * 2048));
  dxbarProgress->setMaximum(
      static_cast<int>(std::clamp<int64_t>(zqCDBurner1.ImageSectors(), 1, INT32_MAX)));

  Timer1->start();
  zqCDBurner1.DebugMsg(">>> CD Burner " + zqCDBurner1.DeviceId, 0);
  EnableCommands(false);
  BeginJobCursor();
  FErrorPosition = QStringLiteral("before BurnCD");
  FAwaitingReport = true;
  StartedOrCancelled(zqCDBurner1.BurnCD());
}

void TFGUI::actBurnISOExecute() {
  QFileDialog od(this);
  od.setObjectName(QStringLiteral("od"));
  od.setOption(QFileDialog::DontUseNativeDialog);
  od.setAcceptMode(QFileDialog::AcceptOpen);
  od.setFileMode(QFileDialog::ExistingFile);
  od.setDefaultSuffix(QStringLiteral("iso"));
  od.setNameFilters({QStringLiteral(".ISO Files (*.iso *.ISO)"), QStringLiteral("All File (*)")});
  if (od.exec() != QDialog::Accepted || od.selectedFiles().isEmpty()) return;
  const QString file = od.selectedFiles().first();

  BeginJobCursor();
  zqCDBurner1.JolietFileSystem = Preferences()->chkJoliet->isChecked();
  ReadRecorderBuffer();
  EnableCommands(false);
  lblProgress->setText(kBurnCaption);
  Timer1->start();
  // The recorder keeps the write speed last sent to it.
  FAwaitingReport = true;
  const bool started = zqCDBurner1.BurnISO(ToStd(file));
  dxbarProgress->setMaximum(
      static_cast<int>(std::clamp<int64_t>(zqCDBurner1.ImageSectors(), 1, INT32_MAX)));
  StartedOrCancelled(started);
}

void TFGUI::actEraseExecute() {
  if (!zqCDBurner1.IsErasable() && zqCDBurner1.GetMediaType() != mtDVDRAM) {
    ShowMessage(QStringLiteral("This is not a rewritable CD!"));
    return;
  }
  if (!AskYesNo(this, QStringLiteral("Delete all data"),
                QStringLiteral("Delete all data Quickly! Are you sure?"), true, true)) {
    return;
  }
  // Empty only when no transport could be started.
  if (cboSpeed->currentIndex() < 0) return;
  Timer1->start();
  zqCDBurner1.SetWriteSpeed(SpeedFromText(cboSpeed->currentText(), zqCDBurner1.GetMediaType()));
  BeginJobCursor();
  EnableCommands(false);
  // An erase cannot be stopped once the drive has it.
  actAbort->setEnabled(false);
  zqCDBurner1.EraseDisc(kQuickBlank);
}
