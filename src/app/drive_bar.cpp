// The drive bar: the recorder list, the speed list, and the two
// information commands.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>

#include "app/device_caps.h"
#include "app/import_session.h"
#include "app/main_window.h"
#include "device/drive_mounts.h"
#include "device/session_list.h"
#include "device/speed_list.h"
#include "device/transport_note.h"

namespace {

QString FromStd(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

uint16_t SpeedFromText(const QString& Text, uint8_t MediaType) {
  return device::SpeedFromText(Text.toStdString(), MediaType);
}

QStringList TFGUI::RecorderEntries() const {
  QStringList out;
  for (const std::string& entry : zqCDBurner1.DeviceList) out << FromStd(entry);
  return out;
}

QString TFGUI::RecorderLetter() {
  return FromStd(zqCDBurner1.GetDriveLetter());
}

QStringList TFGUI::BuildSpeedEntries() {
  const uint16_t divisor = device::MediaDivisor(zqCDBurner1.GetMediaType());
  QStringList out;
  for (const std::string& entry : device::BuildWriteSpeedList(zqCDBurner1, divisor))
    out << FromStd(entry);
  return out;
}

void TFGUI::ShowRecorderNotes() {
  // A real drive the automatic choice passed over is never hidden
  // silently behind the library's recorders.
  if (const std::string note = device::PassedOverDrivesNote(); !note.empty()) {
    const QString text = FromStd(note);
    dxstbOne->setText(text.left(1).toUpper() + text.mid(1));
    dxstbOne->setToolTip(dxstbOne->text());
  }
  for (int i = 0; i < cboBurner->count(); ++i) {
    const QString entry = cboBurner->itemText(i);
    const device::MountedDisc disc = device::MountedDiscOf(entry.toStdString());
    QString tip = entry;
    if (!disc.node.empty()) tip += QStringLiteral("\n") + FromStd(disc.node);
    if (disc.Mounted()) tip += QStringLiteral("\n") + FromStd(disc.Text());
    cboBurner->setItemData(i, tip, Qt::ToolTipRole);
  }
}

void TFGUI::cboBurnerChange() {
  zqCDBurner1.SelectDevice(cboBurner->currentText().toStdString());
  const QVariant tip = cboBurner->itemData(cboBurner->currentIndex(), Qt::ToolTipRole);
  cboBurner->setToolTip(tip.isValid() ? tip.toString() : cboBurner->currentText());
  const QString letter = RecorderLetter();
  lblBurner->setText(letter.isEmpty() ? QStringLiteral("  Burner :")
                                      : QStringLiteral("Burner ") + letter + QLatin1Char(':'));
  const TCapabilities& caps = zqCDBurner1.Capabilities;
  const bool writes = caps.Has(TCapability::WriteCDR) || caps.Has(TCapability::WriteDVDR) ||
                      caps.Has(TCapability::WriteDVDRAM);
  for (QAction* a : {actBurn, actBurnISO, actErase}) a->setEnabled(writes);
}

void TFGUI::cboSpeedDropDown() {
  const int remembered = cboSpeed->currentIndex();
  const QStringList entries = BuildSpeedEntries();
  QSignalBlocker quiet(cboSpeed);
  cboSpeed->clear();
  cboSpeed->addItems(entries);
  cboSpeed->setCurrentIndex(remembered >= 0 && remembered < cboSpeed->count() ? remembered : 0);
}

void TFGUI::actBurnerInfoExecute() {
  auto* dialog = new TForm2(this, zqCDBurner1);
  dialog->exec();
  delete dialog;
}

void TFGUI::actSessionInfoExecute() {
  auto* dialog = new TfrmSessions(this, zqCDBurner1);
  dialog->lb->clear();
  const device::SessionList list = device::ReadSessionList(zqCDBurner1);
  for (const std::string& line : list.Lines) dialog->lb->addItem(FromStd(line));
  if (list.Ready) {
    dialog->lMedium->setText(FromStd(list.Medium));
    dialog->lDiscSize->setText(FromStd(list.DiscSize));
    dialog->lUsedSpace->setText(FromStd(list.UsedSpace));
  }
  dialog->exec();
  delete dialog;
}
