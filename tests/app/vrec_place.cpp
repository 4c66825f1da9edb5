#include "vrec_place.h"

#include <QComboBox>
#include <QDir>
#include <QProcess>

#include <cstdlib>

TVrecPlace& TVrecPlace::Get() {
  static TVrecPlace* place = new TVrecPlace;
  return *place;
}

TVrecPlace::TVrecPlace() : FDir(QDir::tempPath() + "/tidemark-app-vrec-XXXXXX") {
  if (!FDir.isValid()) qFatal("no scratch folder");
  QDir().mkpath(FDir.path() + "/state");
  QDir().mkpath(FDir.path() + "/sys");
  QDir().mkpath(FDir.path() + "/dev");
  setenv("TIDEMARK_VREC_DIR", qPrintable(FDir.path() + "/state"), 1);
  setenv("TIDEMARK_ASPI_LIBRARY", VREC_ASPI_LIBRARY, 1);
  setenv("TIDEMARK_SYSFS_ROOT", qPrintable(FDir.path() + "/sys"), 1);
  setenv("TIDEMARK_DEV_ROOT", qPrintable(FDir.path() + "/dev"), 1);
}

bool TVrecPlace::Vrec(const QStringList& args, int target) {
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedChannels);
  p.start(QStringLiteral(TIDEMARK_PROGRAM),
          QStringList{"vrec"} + args + QStringList{"--target", QString::number(target)});
  return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TGuiEnvironment TVrecPlace::Environment(const TGuiEnvironment& base) const {
  TGuiEnvironment env = base;
  env.StartTransport = StartRecorderTransport;
  return env;
}

QString TVrecPlace::Entry(int target) {
  return QStringLiteral("0:%1:0,?: TIDEMARKVIRTUAL RECORDER1.0 ").arg(target);
}

void SelectRecorder(TFGUI& w, int target) {
  const int index = w.cboBurner->findText(TVrecPlace::Entry(target));
  if (index < 0) qFatal("recorder %d is not listed", target);
  w.cboBurner->setCurrentIndex(index);
  w.cboBurnerChange();
}
