#include "app/disc_layout.h"

#include <QAction>
#include <QDateTime>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/item_list_model.h"

namespace {

QString FromStd(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The menu entries carry no caption of their own.
const QString kEntryCaption = QStringLiteral("??");

}  // namespace

TfrmDiscLayout::TfrmDiscLayout(QWidget* owner, TzqCDBurner& burner)
    : TDiscBrowser(owner, burner, QString::fromUtf8("\xE6\xA0\xB9\xE7\x9B\xAE\xE5\xBD\x95"),
                   {QStringLiteral("File Name"), QStringLiteral("File Size"),
                    QStringLiteral("    Date & Time ")},
                   {254, 71, 141}) {
  setObjectName(QStringLiteral("frmDiscLayout"));
  setWindowTitle(QStringLiteral("Disk Layout"));

  auto action = [this](const char* name, const QKeySequence& key, auto slot) {
    auto* a = new QAction(kEntryCaption, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  pmnGrid = new QMenu(this);
  pmnGrid->setObjectName(QStringLiteral("pmnGrid"));
  QAction* gridDelete = action("MenuItem1", Qt::Key_Delete, &TfrmDiscLayout::MenuItem1Click);
  QAction* gridRefresh = action("Refresh1", Qt::Key_F5, &TDiscBrowser::Refresh1Click);
  pmnGrid->addActions({gridDelete, gridRefresh});
  fl->addActions({gridDelete, gridRefresh});
  pmnTree = new QMenu(this);
  pmnTree->setObjectName(QStringLiteral("pmnTree"));
  QAction* treeDelete = action("Delete1", Qt::Key_Delete, &TfrmDiscLayout::Delete1Click);
  QAction* treeRefresh = action("Refresh2", Qt::Key_F5, &TDiscBrowser::Refresh1Click);
  pmnTree->addActions({treeDelete, treeRefresh});
  tvDir->addActions({treeDelete, treeRefresh});
  for (QWidget* w : {static_cast<QWidget*>(fl), static_cast<QWidget*>(tvDir)})
    w->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(fl, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { pmnGrid->popup(fl->viewport()->mapToGlobal(p)); });
  connect(tvDir, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { pmnTree->popup(tvDir->viewport()->mapToGlobal(p)); });

  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("bClose"));
  connect(close, &QPushButton::clicked, this, &TfrmDiscLayout::bCloseClick);
  auto* row = new QHBoxLayout();
  row->addStretch(1);
  row->addWidget(close);
  Body()->addLayout(row);
}

QString TfrmDiscLayout::NameCell(int, const TFEntry& entry) const {
  return FromStd(entry.LongName);
}

void TfrmDiscLayout::ExtraCells(int row, const TFEntry& entry) {
  if (IsFolderEntry(&entry)) return;
  // Month first, four-digit year.
  fl->setItem(
      row, 2,
      new QTableWidgetItem(
          DateTimeFromDays(entry.DateTime).toString(QStringLiteral("MM-dd-yyyy hh:mm:ss"))));
}

void TfrmDiscLayout::MenuItem1Click() {
  PFileEntry entry = RowEntry(fl->currentRow());
  if (entry == nullptr) return;
  if (IsFolderEntry(entry)) {
    QMessageBox box(QMessageBox::NoIcon, windowTitle(),
                    QString::fromUtf8("\xE4\xBD\xA0\xE4\xB8\x8D\xE5\x8F\xAF\xE4\xBB\xA5\xE5\x88\xA0"
                                      "\xE9\x99\xA4\xE7\x9B\xAE\xE5\xBD\x95 : ") +
                        FromStd(entry->LongName),
                    QMessageBox::Ok, this);
    box.exec();
    return;
  }
  PDirEntry dir = CurrentDir();
  if (dir == nullptr) return;
  FBurner.RemoveEntry(dir, entry);
  tvdirClick();
}

void TfrmDiscLayout::Delete1Click() {
  QTreeWidgetItem* node = tvDir->currentItem();
  PDirEntry dir = NodeDir(node);
  if (dir == nullptr || dir == FBurner.RootDir()) return;
  FBurner.DeleteDir(dir->Path + "\\");
  Refresh1Click();
}

void TfrmDiscLayout::bCloseClick() {
  close();
}
