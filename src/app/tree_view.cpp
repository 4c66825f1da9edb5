#include "app/tree_view.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include <exception>

#include "app/messages.h"
#include "burner/extract_names.h"

namespace {

QString FromStd(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The name a file from the disc gets on this machine: one path element.
QString HostName(const TFEntry& entry) {
  return FromStd(burner::SafeHostName(entry.LongName));
}

}  // namespace

TfrmTree::TfrmTree(QWidget* owner, TzqCDBurner& burner)
    : TDiscBrowser(owner, burner, QStringLiteral("Session Info"),
                   {QStringLiteral("File Name"), QStringLiteral("File Size")}, {361, 71}) {
  setObjectName(QStringLiteral("frmTree"));
  setWindowTitle(QStringLiteral("Session Details"));
  Msg = new QLabel(this);
  Msg->setObjectName(QStringLiteral("Msg"));
  Msg->setFrameShape(QFrame::StyledPanel);
  Msg->setMinimumHeight(Msg->fontMetrics().height() + 6);
  Msg->installEventFilter(this);
  Body()->addWidget(Msg);
  connect(fl, &QTableWidget::cellDoubleClicked, this, [this] { Extract1Click(); });
}

QString TfrmTree::ExtractionFolder() {
  return QDir::homePath();
}

QString TfrmTree::NameCell(int row, const TFEntry& entry) const {
  return QStringLiteral("%1").arg(row + 1, 2) + QLatin1Char(' ') + FromStd(entry.LongName);
}

bool TfrmTree::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Msg && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    MsgClick();
    return true;
  }
  return TDiscBrowser::eventFilter(watched, event);
}

void TfrmTree::Extract1Click() {
  PFileEntry entry = RowEntry(fl->currentRow());
  if (entry == nullptr) return;
  if (IsFolderEntry(entry)) {
    ShowMessageBox(this, QStringLiteral("This is directory : ") + FromStd(entry->LongName));
    return;
  }
  bool ok = false;
  const QString answer =
      QInputDialog::getText(this, QStringLiteral("Change Name"), QStringLiteral("Change Name To:"),
                            QLineEdit::Normal, HostName(*entry), &ok);
  if (!ok || answer.isEmpty()) return;
  // A path the user typed; a bare name lands in the current folder.
  ExtractTo(entry, answer);
}

void TfrmTree::MsgClick() {
  const QString folder = ExtractionFolder();
  for (int row = 0; row < fl->rowCount(); ++row) {
    PFileEntry entry = RowEntry(row);
    if (entry == nullptr || IsFolderEntry(entry)) continue;
    Msg->setText(QString::fromUtf8("\xE6\xAD\xA3\xE5\x9C\xA8\xE6\x89\xA9\xE5\xB1\x95 ") +
                 FromStd(entry->LongName));
    Msg->repaint();
    ExtractTo(entry, folder + QLatin1Char('/') + HostName(*entry));
  }
}

bool TfrmTree::ExtractTo(PFileEntry entry, const QString& target) {
  const QFileInfo existing(target);
  bool replace = false;
  if (existing.exists() || existing.isSymLink()) {
    if (existing.isDir()) {
      ShowMessageBox(this, target + QStringLiteral(" is a folder."));
      return false;
    }
    if (!AskYesNo(this, target + QStringLiteral(" already exists.\r\nDo you want to replace it?"),
                  QStringLiteral("Change Name"), true, true)) {
      return false;
    }
    replace = true;
  }
  // The reason of a failed copy is what the burner logs; the copy itself
  // repaints the window now and then.
  TOnDebugMsg saved = FBurner.OnDebugMessage;
  QString reason;
  FBurner.OnDebugMessage = [&](TSCSIDevice* sender, const std::string& text, uint8_t type) {
    if (saved) saved(sender, text, type);
    if (type == 0) reason = FromStd(text);
  };
  TExtractProgressEvent savedProgress = FBurner.OnExtractProgress;
  FBurner.OnExtractProgress = [](TzqCDBurner*, int64_t, int64_t, bool&) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
  };
  bool done = false;
  try {
    // Never replaced unless the user said so, even should a file of that
    // name appear meanwhile.
    done = FBurner.ExtractFile(entry, target.toStdString(), replace);
  } catch (const std::exception& e) {
    reason = QString::fromUtf8(e.what());
  }
  FBurner.OnDebugMessage = saved;
  FBurner.OnExtractProgress = savedProgress;
  if (!done) {
    ShowMessageBox(this,
                   QStringLiteral("Failed in extracting ") + target +
                       (reason.isEmpty() ? QString() : QStringLiteral("\r\nError: ") + reason));
  }
  return done;
}
