#include "app/application.h"

#include <stdexcept>
#include <utility>

namespace {

TApplication::ExceptionHandler& Handler() {
  static TApplication::ExceptionHandler handler;
  return handler;
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The title is what the user sees; the name, which Qt also uses in
  // folder names, holds no "/".
  setApplicationName(QStringLiteral("tidemark-gui"));
  setApplicationDisplayName(QStringLiteral("Tidemark CD/DVD Burner"));
  setApplicationVersion(QStringLiteral("1.1.7"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    HandleException(std::current_exception());
  }
  return false;
}

void TApplication::SetExceptionHandler(ExceptionHandler handler) {
  Handler() = std::move(handler);
}

void TApplication::HandleException(std::exception_ptr error) {
  QString message;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    message = QString::fromUtf8(e.what());
  } catch (...) {
    message = QStringLiteral("Unknown exception");
  }
  if (Handler()) Handler()(message);
}
