#include "app/application.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <stdexcept>
#include <utility>

namespace {

TApplication::ExceptionHandler& Handler() {
  static TApplication::ExceptionHandler handler;
  return handler;
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  SetNames();
  setApplicationDisplayName(QStringLiteral("Tidemark CD/DVD Burner"));
  // The desktop entry's name, so that the desktop finds its icon for the
  // window; the window icon itself for desktops that do not.
  setDesktopFileName(QStringLiteral("org.tidemark.Tidemark"));
  setWindowIcon(ProgramIcon());
}

void TApplication::SetNames() {
  // The name, which Qt also uses in folder names, holds no "/".
  QCoreApplication::setApplicationName(QStringLiteral("tidemark-gui"));
  QCoreApplication::setApplicationVersion(QStringLiteral(TIDEMARK_VERSION));
}

QIcon TApplication::ProgramIcon() {
  QSvgRenderer picture(QStringLiteral(":/tidemark/org.tidemark.Tidemark.svg"));
  QIcon icon;
  if (!picture.isValid()) return icon;
  for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    picture.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
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
