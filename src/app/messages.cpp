#include "app/messages.h"

#include <QMessageBox>

QString ProgramTitle() {
  return QStringLiteral("Tidemark CD/DVD Burner");
}

void ShowMessageBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, ProgramTitle(), text, QMessageBox::Ok, parent);
  box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text, const QString& title, bool warning,
              bool defaultNo) {
  QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Question, title, text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}
