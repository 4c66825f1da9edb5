#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <vector>

#include "app/main_window.h"
#include "device/drive_mounts.h"
#include "device/transport_note.h"
#include "platform/utf8.h"

namespace {

constexpr int kExitNoRecorder = 3;  // as the tidemark command says it

bool IsImageFile(const QFileInfo& info) {
  return info.isFile() && info.suffix().compare(QStringLiteral("iso"), Qt::CaseInsensitive) == 0;
}

}  // namespace

TCommandLine ParseCommandLine(const QStringList& arguments) {
  TCommandLine line;
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Tidemark CD/DVD Burner: records data discs, burns and saves ISO images."));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption list(
      QStringLiteral("list-recorders"),
      QStringLiteral("Print the recorders the window would list, one a line, and exit."));
  parser.addOption(list);
  parser.addPositionalArgument(
      QStringLiteral("files"),
      QStringLiteral("Files and folders to add to the compilation; an .iso file given alone "
                     "opens Burn ISO with it."),
      QStringLiteral("[file or folder...]"));
  if (!parser.parse(arguments)) {
    line.ExitStatus = 2;
    line.Output = parser.errorText() + QStringLiteral("\n");
    return line;
  }
  if (parser.isSet(help)) {
    line.ExitStatus = 0;
    line.Output = parser.helpText();
    return line;
  }
  if (parser.isSet(version)) {
    line.ExitStatus = 0;
    line.Output = QCoreApplication::applicationName() + QLatin1Char(' ') +
                  QCoreApplication::applicationVersion() + QLatin1Char('\n');
    return line;
  }
  line.ListRecorders = parser.isSet(list);
  const QStringList given = parser.positionalArguments();
  for (const QString& argument : given) {
    const QFileInfo info(argument);
    if (!info.exists()) {
      line.Missing << argument;
      continue;
    }
    line.Paths << QDir::cleanPath(info.absoluteFilePath());
  }
  if (given.size() == 1 && line.Paths.size() == 1 && IsImageFile(QFileInfo(line.Paths.front()))) {
    line.Image = line.Paths.takeFirst();
  }
  return line;
}

void ApplyCommandLine(TFGUI& window, const TCommandLine& line) {
  // No transport: the window has no current folder to add to.
  if (window.CurrentFolderNode() != nullptr && !line.Image.isEmpty()) {
    // Once the window is on the screen, so that the dialog has its owner.
    const QString image = line.Image;
    QTimer::singleShot(0, &window, [&window, image] { window.BurnImageFile(image); });
  } else if (window.CurrentFolderNode() != nullptr) {
    std::vector<TFGUI::TSourceItem> items;
    for (const QString& path : line.Paths) items.push_back({path, QFileInfo(path).isDir()});
    if (!items.empty()) window.AddSourceItems(window.RootNode(), items);
  }
  // After the add, whose own report the status bar may already show.
  if (!line.Missing.isEmpty()) {
    const QString missing = QStringLiteral("Not found: ") + line.Missing.join(QStringLiteral(", "));
    const QString shown = window.dxstbOne->text();
    window.dxstbOne->setText(shown.isEmpty() ? missing : shown + QStringLiteral("; ") + missing);
  }
}

int ListRecorders(const TGuiEnvironment& env) {
  TzqCDBurner burner;
  std::vector<std::string> devices;
  const bool started = env.StartTransport && env.StartTransport(burner, devices);
  if (const std::string note = device::PassedOverDrivesNote(); !note.empty())
    std::fprintf(stderr, "tidemark-gui: note: %s\n", note.c_str());
  for (const std::string& entry : devices) {
    std::printf("%s\n", platform::SanitizeUtf8(entry).c_str());
    if (const std::string mounted = device::MountedDiscOf(entry).Text(); !mounted.empty())
      std::fprintf(stderr, "tidemark-gui: note: %s\n", mounted.c_str());
  }
  std::fflush(stdout);
  if (!started || devices.empty()) {
    std::fprintf(stderr, "tidemark-gui: no recorder found\n");
    return kExitNoRecorder;
  }
  return 0;
}
