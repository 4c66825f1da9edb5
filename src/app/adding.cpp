// Adding files and folders from disk: the Add command, drops on the item
// list, the burner's add callbacks and the report of what was left out.
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QStyle>
#include <QTreeView>
#include <QTreeWidget>

#include "app/add_dialog.h"
#include "app/item_list_model.h"
#include "app/main_window.h"
#include "app/text_rules.h"

namespace {

// Longest names the window lets through; the burner's own limit is higher.
constexpr int kMaxFileNameChars = 107;
constexpr int kMaxFolderNameChars = 127;
// The window repaints at least this often while an add runs.
constexpr qint64 kPumpIntervalMs = 100;

std::string ToStd(const QString& s) {
  return s.toUtf8().toStdString();
}

const QString kNameTooLong = QStringLiteral("names too long");
const QString kRecycleBin = QStringLiteral("recycle bins");
const QString kAlreadyThere = QStringLiteral("already in the folder");
const QString kFull = QStringLiteral("compilation full");
const QString kTooLarge = QStringLiteral("files of 4 GB or more");
const QString kUnreadable = QStringLiteral("unreadable");
const QString kNotRegular = QStringLiteral("not regular files");
const QString kNotAdded = QStringLiteral("not added");

// Why the burner left an entry out, from the text it logged (null for
// texts that do not mean an entry was left out).
QString ReasonOf(const std::string& text, uint8_t type) {
  auto starts = [&](const char* prefix) { return text.rfind(prefix, 0) == 0; };
  if (type == 3) return kFull;
  if (type != 4) return QString();
  if (starts("NAME CHANGED") || starts("FILE SKIPPED") || starts("NAME TOO LONG")) {
    // Renamed entries are in; skips are the window's own and counted there.
    return QString();
  }
  if (starts("FILE OF 4 GB")) return kTooLarge;
  if (starts("FILE ALREADY") || starts("A FOLDER OF THIS NAME") || starts("A FILE OF THIS NAME")) {
    return kAlreadyThere;
  }
  if (starts("CANNOT READ")) return kUnreadable;
  if (starts("NOT A REGULAR") || starts("FOLDER LINK LOOP") || starts("A FOLDER CANNOT")) {
    return kNotRegular;
  }
  if (starts("ADDING STOPPED")) return kFull;
  return kNotAdded;
}

}  // namespace

void TFGUI::actAddExecute() {
  auto* dialog = new TfrmAdd(this);
  dialog->exec();
  delete dialog;
}

void TFGUI::PumpEvents() {
  qint64 now = QDateTime::currentMSecsSinceEpoch();
  if (now - FLastPump < kPumpIntervalMs) return;
  FLastPump = now;
  // Only the repaints that are due: no user input, so that nothing can start
  // another command in the middle of this one, and none of the other work
  // waiting in the loop (the Add dialog's file list still loading a large
  // folder can take seconds per step) to hold up the add.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

void TFGUI::BeginAddReport() {
  FReport = TAddReport();
  FSavedDebugHandler = zqCDBurner1.OnDebugMessage;
  zqCDBurner1.OnDebugMessage = [this](TSCSIDevice* sender, const std::string& text, uint8_t type) {
    if (FSavedDebugHandler) FSavedDebugHandler(sender, text, type);
    QString reason = ReasonOf(text, type);
    if (reason.isNull()) return;
    CountLeftOut(reason);
    if (FReport.Details.size() < 20) FReport.Details.append(QString::fromStdString(text));
  };
}

void TFGUI::CountLeftOut(const QString& reason) {
  ++FReport.LeftOut;
  ++FReport.Reasons[reason];
}

void TFGUI::EndAddReport() {
  zqCDBurner1.OnDebugMessage = FSavedDebugHandler;
  FSavedDebugHandler = nullptr;
  if (FReport.LeftOut == 0) {
    dxstbOne->clear();
    dxstbOne->setToolTip(QString());
    return;
  }
  QStringList parts;
  for (auto it = FReport.Reasons.cbegin(); it != FReport.Reasons.cend(); ++it) {
    parts << QStringLiteral("%1: %2").arg(it.key()).arg(it.value());
  }
  QString head = FReport.LeftOut == 1 ? QStringLiteral("1 item left out")
                                      : QStringLiteral("%1 items left out").arg(FReport.LeftOut);
  dxstbOne->setText(head + QStringLiteral(" (") + parts.join(QStringLiteral(", ")) +
                    QStringLiteral(")"));
  dxstbOne->setToolTip(FReport.Details.join(QLatin1Char('\n')));
}

void TFGUI::AddSourceItems(QTreeWidgetItem* node, const std::vector<TSourceItem>& items) {
  if (node == nullptr || FAdding || FBusy) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const QString p = NodeFolderPath(node);
  FAdding = true;
  // Everything the busy state turns off is off while the add runs, and
  // comes back as it was (a recorder that cannot write keeps its burn
  // commands off), whatever happens below.
  struct TRestore {
    TFGUI* w;
    std::vector<std::pair<QAction*, bool>> commands;
    std::vector<std::pair<QWidget*, bool>> controls;
    ~TRestore() {
      w->EndAddReport();
      for (auto& [a, on] : commands) a->setEnabled(on);
      for (auto& [c, on] : controls) c->setEnabled(on);
      w->FAdding = false;
      QApplication::restoreOverrideCursor();
    }
  } restore{this, {}, {}};
  for (QAction* a : BusyCommands()) restore.commands.emplace_back(a, a->isEnabled());
  for (QWidget* c : BusyControls()) {
    restore.controls.emplace_back(c, !c->testAttribute(Qt::WA_ForceDisabled));
  }
  SetCommandsEnabled(false);
  FLastPump = QDateTime::currentMSecsSinceEpoch();
  BeginAddReport();

  for (const TSourceItem& item : items) AddSourceItem(node, p, item.IsFolder, item.Path);
  if (!node->isExpanded()) {
    node->setExpanded(true);
    for (int i = 0; i < node->childCount(); ++i) node->child(i)->setExpanded(false);
  }
  // The total as it stands after the add, not as it stood before the last
  // file was offered.
  RefreshTotalSpace();
}

void TFGUI::AddSourceItem(QTreeWidgetItem* N, const QString& P, bool IsFolder,
                          const QString& Source) {
  QString source = Source;
  while (source.size() > 1 && source.endsWith(QLatin1Char('/'))) source.chop(1);
  QString name = source.mid(source.lastIndexOf(QLatin1Char('/')) + 1);
  // Nothing to name the entry by: the root of the file system.
  if (source.isEmpty() || name.isEmpty()) return;
  const std::string path = ToStd(P);
  if (zqCDBurner1.FindEntryByPath(path, ToStd(name)) != nullptr) {
    CountLeftOut(kAlreadyThere);
    return;
  }
  PDirEntry target = zqCDBurner1.FindDir(path);
  if (target == nullptr) return;
  PFileEntry lastBefore = target->LastChild;
  int leftOutBefore = FReport.LeftOut;
  if (IsFolder) {
    zqCDBurner1.InsertDir(path, ToStd(source + QLatin1Char('/')), FArchiveFiles, true, true, 63,
                          "*.*");
  } else {
    zqCDBurner1.InsertFile(path, ToStd(source), false);
  }
  // The list shows what the burner holds: the entry appended just now, under
  // the name the burner gave it.
  PFileEntry added = target->LastChild != lastBefore ? target->LastChild : nullptr;
  if (added == nullptr) {
    if (FReport.LeftOut == leftOutBefore) CountLeftOut(kNotAdded);
    return;
  }
  if (IsFolderEntry(added)) {
    auto* child = new QTreeWidgetItem(N, QStringList{QString::fromStdString(added->LongName)});
    child->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    RefreshFolderNode(child);
  }
  if (N == CurrentFolderNode()) lvwModel->Append(ItemOf(added));
}

void TFGUI::zqCDBurner1AddFile(TzqCDBurner*, const std::string&, std::string& LongFileName,
                               std::string&, TDateTime&, int32_t, int64_t, bool& Skip) {
  if (CharCount(LongFileName) > kMaxFileNameChars) {
    Skip = true;
    CountLeftOut(kNameTooLong);
  }
  if (!Skip) RefreshTotalSpace();
  PumpEvents();
}

void TFGUI::zqCDBurner1AddDir(TzqCDBurner*, std::string& LongName, std::string&, bool& Skip) {
  if (QString::fromStdString(LongName).toUpper() == QStringLiteral("RECYCLED")) {
    zqCDBurner1.DebugMsg(">>> SKIPING RECYCLE BIN", 0);
    Skip = true;
    CountLeftOut(kRecycleBin);
  }
  if (!Skip && CharCount(LongName) > kMaxFolderNameChars) {
    Skip = true;
    CountLeftOut(kNameTooLong);
  }
  PumpEvents();
}
