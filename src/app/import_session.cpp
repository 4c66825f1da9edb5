#include "app/import_session.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/messages.h"
#include "app/tree_view.h"
#include "device/session_list.h"

TfrmSessions::TfrmSessions(QWidget* owner, TzqCDBurner& burner) : QDialog(owner), FBurner(burner) {
  setObjectName(QStringLiteral("frmSessions"));
  setWindowTitle(QStringLiteral("Session"));
  QFont fixed(QStringLiteral("Courier New"));
  fixed.setStyleHint(QFont::TypeWriter);

  auto bold = [this](const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(QString::fromLatin1(name));
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
  };
  lMedium = bold("lMedium");
  lDiscSize = bold("lDiscSize");
  lUsedSpace = bold("lUsedSpace");
  auto* top = new QFormLayout();
  top->addRow(QStringLiteral("Media"), lMedium);
  top->addRow(QStringLiteral("Total Size"), lDiscSize);
  top->addRow(QStringLiteral("Used Size"), lUsedSpace);

  lblHeader = new QLabel(QString::fromLatin1(device::kSessionListHeader), this);
  lblHeader->setObjectName(QStringLiteral("lblHeader"));
  lblHeader->setFont(fixed);
  SpeedButton1 = new QPushButton(QStringLiteral("Details"), this);
  SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
  SpeedButton1->setAutoDefault(false);
  auto* header = new QHBoxLayout();
  header->addWidget(lblHeader, 1);
  header->addWidget(SpeedButton1);

  lb = new QListWidget(this);
  lb->setObjectName(QStringLiteral("lb"));
  lb->setFont(fixed);
  lb->setMinimumSize(QFontMetrics(fixed).horizontalAdvance(QString(40, QLatin1Char('0'))), 160);

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setDefault(true);

  auto* v = new QVBoxLayout(this);
  v->addLayout(top);
  v->addLayout(header);
  v->addWidget(lb, 1);
  v->addWidget(Button1, 0, Qt::AlignRight);
  v->setSizeConstraint(QLayout::SetFixedSize);

  connect(SpeedButton1, &QPushButton::clicked, this, &TfrmSessions::SpeedButton1Click);
  connect(lb, &QListWidget::itemClicked, this, &TfrmSessions::SpeedButton1Click);
  connect(lb, &QListWidget::itemDoubleClicked, this, &TfrmSessions::Button1Click);
  connect(Button1, &QPushButton::clicked, this, &TfrmSessions::Button1Click);
}

void TfrmSessions::SpeedButton1Click() {
  const int line = lb->currentRow();
  if (line < 0 || lb->selectedItems().isEmpty()) {
    ShowMessageBox(this, QStringLiteral("Select session from list"));
    return;
  }
  // The only line, and the " Free" line, stand for no session.
  if (lb->count() < 2 || line == lb->count() - 1) return;
  // The compilation gives way to the session; the main window's list is
  // not told, and a burn that follows continues the disc with it.
  FBurner.ClearAll(TzqCDBurner::kDefaultMaxFiles, TzqCDBurner::kDefaultMaxDirs);
  FBurner.ImportSession(static_cast<int8_t>(line + 1), FBurner.RootDir());
  auto* browser = new TfrmTree(this, FBurner);
  browser->exec();
  delete browser;
}

void TfrmSessions::Button1Click() {
  accept();
}
