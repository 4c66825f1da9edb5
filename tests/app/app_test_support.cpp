#include "app_test_support.h"

#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTimer>

#include <mutex>

TTestPlace::TTestPlace() : FDir(QDir::tempPath() + "/tidemark-app-test-XXXXXX") {
  if (!FDir.isValid()) qFatal("no scratch folder");
  QDir().mkpath(ProgramDir());
}

void TTestPlace::WriteSettings(const QByteArray& bytes) const {
  QFile f(ProgramDir() + "/zqcb.ini");
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QString TTestPlace::MakeFile(const QString& relative, qint64 size) const {
  QString path = Root() + "/" + relative;
  QDir().mkpath(path.left(path.lastIndexOf('/')));
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.resize(size);
  return path;
}

QString TTestPlace::MakeFolder(const QString& relative) const {
  QString path = Root() + "/" + relative;
  QDir().mkpath(path);
  return path;
}

TGuiEnvironment TTestPlace::Environment(bool transport, std::vector<std::string> devices) const {
  TGuiEnvironment env;
  env.Paths.program_dir = ProgramDir().toStdString();
  env.Paths.config_home = (Root() + "/config").toStdString();
  env.Paths.state_home = (Root() + "/state").toStdString();
  env.StartTransport = [transport, devices](TzqCDBurner& burner, std::vector<std::string>& out) {
    if (transport) burner.DeviceList = devices;
    out = devices;
    return transport;
  };
  return env;
}

TDialogLog AnswerDialogs(const std::function<void()>& fn,
                         std::vector<std::optional<QString>> answers,
                         const std::function<void(QWidget*)>& other,
                         std::vector<QMessageBox::StandardButton> buttons) {
  TDialogLog log;
  std::size_t next = 0;
  std::size_t nextButton = 0;
  // The dialogs `other` is working on: one may open another, which is
  // handed over in turn while the first waits.
  QSet<QWidget*> driving;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || !w->isVisible() || driving.contains(w)) return;
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      log.Messages.append(box->text());
      log.MessageTitles.append(box->windowTitle());
      if (box->buttons().size() > 1) {
        QMessageBox::StandardButton b =
            nextButton < buttons.size() ? buttons[nextButton] : QMessageBox::No;
        ++nextButton;
        if (QAbstractButton* button = box->button(b)) {
          button->click();
          return;
        }
      }
      box->buttons().first()->click();
    } else if (auto* input = qobject_cast<QInputDialog*>(w)) {
      log.InputTitles.append(input->windowTitle());
      log.InputPrompts.append(input->labelText());
      log.InputTexts.append(input->textValue());
      std::optional<QString> a = next < answers.size() ? answers[next] : std::nullopt;
      ++next;
      if (a) {
        input->setTextValue(*a);
        input->accept();
      } else {
        input->reject();
      }
    } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
      if (other) {
        // Run from the dialog's own loop, not from this timer's handler: a
        // timer does not fire again while its handler runs, and the
        // dialogs `other` opens need it.
        driving.insert(dialog);
        QTimer::singleShot(0, &timer, [&, dialog] {
          other(dialog);
          driving.remove(dialog);
        });
      } else {
        dialog->reject();
      }
    }
  });
  timer.start();
  fn();
  timer.stop();
  return log;
}

TWindowUnderTest MakeWindow(const TGuiEnvironment& env) {
  TWindowUnderTest t;
  t.Window = std::make_unique<TFGUI>(env);
  auto debug = t.Debug;
  auto lock = std::make_shared<std::mutex>();
  t.Window->zqCDBurner1.OnDebugMessage = [debug, lock](TSCSIDevice*, const std::string& m,
                                                       uint8_t k) {
    std::lock_guard<std::mutex> hold(*lock);
    debug->push_back(std::to_string(k) + "|" + m);
  };
  TFGUI* w = t.Window.get();
  t.StartDialogs = AnswerDialogs([w] { w->FormCreate(); });
  return t;
}
