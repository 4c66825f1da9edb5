#include "app/device_caps.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "device/scsi_device.h"

namespace {

struct TCapabilityBox {
  const char* Name;
  const char* Caption;
  TCapability Capability;
};

const TCapabilityBox kBoxes[] = {
    {"ReadCDR", "Read CDR", TCapability::ReadCDR},
    {"ReadCDRW", "Read CDRW", TCapability::ReadCDRW},
    {"ReadDVD", "Read DVD", TCapability::ReadDVD},
    {"ReadDVDR", "Read DVD-R", TCapability::ReadDVDR},
    {"ReadDVDRW", "Read DVD-RW", TCapability::ReadDVDRW},
    {"ReadDVDRAM", "Read DVD-RAM", TCapability::ReadDVDRAM},
    {"ReadDVDPR", "Read DVD+R", TCapability::ReadDVDPR},
    {"ReadDVDPRW", "Read DVD+RW", TCapability::ReadDVDPRW},
    {"WriteCDR", "Write CDR", TCapability::WriteCDR},
    {"WriteCDRW", "Write CDRW", TCapability::WriteCDRW},
    {"WriteDVDR", "Write DVD-R", TCapability::WriteDVDR},
    {"WriteDVDRW", "Write DVD-RW", TCapability::WriteDVDRW},
    {"WriteDVDRAM", "Write DVD-RAM", TCapability::WriteDVDRAM},
    {"WriteDVDPR", "Write DVD+R", TCapability::WriteDVDPR},
    {"WriteDVDPRW", "Write DVD+RW", TCapability::WriteDVDPRW},
    {"WriteTest", "Write Test", TCapability::WriteTest},
    {"UnderrunProtection", "Underrun Protection", TCapability::UnderrunProtection},
};

QString Speed(uint16_t x) {
  return QString::number(x) + QLatin1Char('x');
}

}  // namespace

TForm2::TForm2(QWidget* owner, const TSCSIDevice& device) : QDialog(owner) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Burner Infomation"));
  Label1 = new QLabel(QStringLiteral("  ") + QString::fromStdString(device.DeviceId), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label2 =
      new QLabel(QStringLiteral("Max Write Speed:  ") + Speed(device.DeviceMaxWriteSpeed), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label3 = new QLabel(QStringLiteral("Max Read Speed:  ") + Speed(device.DeviceMaxReadSpeed), this);
  Label3->setObjectName(QStringLiteral("Label3"));

  // The check boxes only show: their panel takes no input.
  auto* panel = new QGroupBox(this);
  panel->setObjectName(QStringLiteral("pnlCapabilities"));
  auto* grid = new QGridLayout(panel);
  int i = 0;
  for (const TCapabilityBox& b : kBoxes) {
    auto* box = new QCheckBox(QString::fromLatin1(b.Caption), panel);
    box->setObjectName(QString::fromLatin1(b.Name));
    box->setChecked(device.Capabilities.Has(b.Capability));
    if (b.Capability == TCapability::UnderrunProtection) {
      QFont bold = box->font();
      bold.setBold(true);
      box->setFont(bold);
    }
    grid->addWidget(box, i % 9, i / 9);
    Checks.push_back(box);
    ++i;
  }
  panel->setEnabled(false);

  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("btnClose"));
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  auto* v = new QVBoxLayout(this);
  v->addWidget(Label1);
  v->addWidget(Label2);
  v->addWidget(Label3);
  v->addWidget(panel);
  v->addWidget(close, 0, Qt::AlignRight);
  v->setSizeConstraint(QLayout::SetFixedSize);
}
