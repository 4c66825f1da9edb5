// The drive bar: the recorder list, the speed list, and the two
// information commands.
#include <QAction>
#include <QComboBox>
#include <QLabel>

#include "app/main_window.h"

QStringList TFGUI::RecorderEntries() const {
  QStringList out;
  for (int i = 0; i < cboBurner->count(); ++i) out << cboBurner->itemText(i);
  return out;
}

QString TFGUI::RecorderLetter() {
  return QString();
}

QStringList TFGUI::BuildSpeedEntries() {
  return {QStringLiteral("Max")};
}

void TFGUI::cboBurnerChange() {
  cboBurner->setToolTip(cboBurner->currentText());
}

void TFGUI::cboSpeedDropDown() {
  cboSpeed->clear();
  cboSpeed->addItems(BuildSpeedEntries());
  cboSpeed->setCurrentIndex(0);
}

void TFGUI::actBurnerInfoExecute() {}
void TFGUI::actSessionInfoExecute() {}
void TFGUI::actBurnExecute() {}
void TFGUI::actBurnISOExecute() {}
void TFGUI::actEraseExecute() {}
