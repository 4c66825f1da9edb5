#pragma once
// The window's message and question boxes: fixed texts, the program's
// title unless a question names its own.

#include <QString>

class QWidget;

// The program's title.
QString ProgramTitle();
// A message with one "OK" button.
void ShowMessageBox(QWidget* parent, const QString& text);
// A Yes/No question; true for Yes. `warning` shows the warning icon (else
// the question mark); `defaultNo` makes No the default button.
bool AskYesNo(QWidget* parent, const QString& text, const QString& title, bool warning = false,
              bool defaultNo = false);
