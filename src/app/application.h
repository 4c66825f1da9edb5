#pragma once
// The application object. Every event the message loop delivers passes
// through notify(); an exception that escapes a handler ends there and goes
// to the main window's handler instead of ending the program.

#include <QApplication>
#include <QIcon>

#include <exception>
#include <functional>

class TApplication : public QApplication {
 public:
  // Called with the message of each exception that reaches the loop.
  using ExceptionHandler = std::function<void(const QString& message)>;

  TApplication(int& argc, char** argv);

  // The program's name, title, version and desktop entry, for this object
  // or a plain core application (the command line without a window).
  static void SetNames();
  // The program's icon, drawn from its scalable picture.
  static QIcon ProgramIcon();

  bool notify(QObject* receiver, QEvent* event) override;

  // One handler at a time; the main window sets it while it lives.
  static void SetExceptionHandler(ExceptionHandler handler);
  // Hands an exception that was caught elsewhere on the user-interface
  // thread to the handler (the message loop's own path).
  static void HandleException(std::exception_ptr error);
};
