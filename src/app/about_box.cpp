#include "app/about_box.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

TdlgAbout::TdlgAbout(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("dlgAbout"));
  setWindowTitle(QStringLiteral("About"));
  auto* grid = new QGridLayout(this);
  auto* title = new QLabel(QStringLiteral("Tidemark CD/DVD Burner"), this);
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  title->setFont(big);
  grid->addWidget(title, 0, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Version: "), this), 1, 0);
  auto* version = new QLabel(QStringLiteral("1.1.7"), this);
  version->setObjectName(QStringLiteral("lblVersion"));
  grid->addWidget(version, 1, 1);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  grid->addWidget(buttons, 2, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);
}
