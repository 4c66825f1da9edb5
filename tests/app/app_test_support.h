#pragma once
// Shared pieces of the window tests: a scratch folder standing in for the
// program's folder and the user's XDG folders, a recorder start-up that the
// test decides, and an answerer for the dialogs a command opens.

#include <QDir>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/main_window.h"

class TTestPlace {
 public:
  TTestPlace();
  QString Root() const { return FDir.path(); }
  QString ProgramDir() const { return FDir.path() + "/prog"; }
  QString LogFile() const { return ProgramDir() + "/Log/Log.txt"; }
  // Writes zqcb.ini beside the program.
  void WriteSettings(const QByteArray& bytes) const;
  // A file of `size` bytes below Root(); folders are made as needed.
  QString MakeFile(const QString& relative, qint64 size = 0) const;
  QString MakeFolder(const QString& relative) const;

  // The environment of a window: this place's folders and a recorder
  // start-up that succeeds with `devices`, or fails when `transport` is false.
  TGuiEnvironment Environment(bool transport = true, std::vector<std::string> devices = {}) const;

 private:
  QTemporaryDir FDir;
};

// Runs `fn`. Each message box that opens meanwhile is recorded and closed
// with its first button, or, when it offers several, with the next of
// `buttons` (No when they have run out); each input dialog takes the next
// of `answers` (nothing = Cancel). Other modal dialogs go to `other` (which
// must close them) when given, else are rejected.
struct TDialogLog {
  QStringList Messages;
  QStringList MessageTitles;
  QStringList InputTitles;
  QStringList InputPrompts;
  QStringList InputTexts;  // what each input dialog offered before the answer
};
TDialogLog AnswerDialogs(const std::function<void()>& fn,
                         std::vector<std::optional<QString>> answers = {},
                         const std::function<void(QWidget*)>& other = {},
                         std::vector<QMessageBox::StandardButton> buttons = {});

// A window made and created as the program does it, with the debug
// channel recorded.
// The debug channel is also written from the jobs' threads; read it once
// no job runs.
struct TWindowUnderTest {
  std::unique_ptr<TFGUI> Window;
  std::shared_ptr<std::vector<std::string>> Debug =
      std::make_shared<std::vector<std::string>>();  // "type|text"
  TDialogLog StartDialogs;
};
TWindowUnderTest MakeWindow(const TGuiEnvironment& env);

// QTEST_MAIN with the program's own application object, so that the
// message loop's exception handling is the one under test.
#define TIDEMARK_QTEST_MAIN(TestObject)   \
  int main(int argc, char** argv) {       \
    TApplication app(argc, argv);         \
    TestObject tc;                        \
    QTEST_SET_MAIN_SOURCE_PATH            \
    return QTest::qExec(&tc, argc, argv); \
  }
