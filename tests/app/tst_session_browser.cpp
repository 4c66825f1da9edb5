// The session dialog and the session browser against a virtual recorder
// holding a disc made from an image this test saves: the session list,
// importing the session, browsing it and extracting its files.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>

#include "app/import_session.h"
#include "app/item_list_model.h"
#include "app/tree_view.h"
#include "app_test_support.h"
#include "vrec_place.h"

namespace {

constexpr int kImageDisc = 0;  // the recorder holding the image

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  f.write(bytes);
}

QStringList Lines(const QListWidget& lb) {
  QStringList out;
  for (int i = 0; i < lb.count(); ++i) out << lb.item(i)->text();
  return out;
}

QStringList Column(const QTableWidget& grid, int column) {
  QStringList out;
  for (int r = 0; r < grid.rowCount(); ++r)
    out << (grid.item(r, column) != nullptr ? grid.item(r, column)->text() : QString());
  return out;
}

int RowOf(const QTableWidget& grid, const QString& name) {
  const QStringList names = Column(grid, 0);
  for (int r = 0; r < names.size(); ++r)
    if (names[r].mid(3) == name) return r;
  return -1;
}

QByteArray Pattern(int size) {
  QByteArray b(size, '\0');
  for (int i = 0; i < size; ++i) b[i] = static_cast<char>('a' + i % 23);
  return b;
}

// Runs the Session Info command; `sessions` gets the session dialog and
// `browser` the session browser once a session is chosen. Each must close
// its dialog.
TDialogLog SessionInfo(TFGUI& w, const std::function<void(TfrmSessions&)>& sessions,
                       const std::function<void(TfrmTree&)>& browser = {},
                       std::vector<std::optional<QString>> answers = {},
                       std::vector<QMessageBox::StandardButton> buttons = {}) {
  return AnswerDialogs([&] { w.actSessionInfo->trigger(); }, std::move(answers),
                       [&](QWidget* d) {
                         if (auto* s = qobject_cast<TfrmSessions*>(d)) {
                           sessions(*s);
                         } else if (auto* b = qobject_cast<TfrmTree*>(d)) {
                           if (browser) browser(*b);
                           b->close();
                         } else {
                           d->close();
                         }
                       },
                       std::move(buttons));
}

}  // namespace

class TSessionBrowserTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void sessionList();
  void choosingLines();
  void importAndBrowse();
  void extractingOneFile();
  void extractingAllFiles();

 private:
  TWindowUnderTest Window();
  TTestPlace FPlace;
  QString FImage;
};

void TSessionBrowserTest::initTestCase() {
  // The disc: an image of a.txt, b.bin, docs/inner.txt and the folder many
  // with twelve files, saved by the burner itself.
  const QString src = FPlace.Root() + "/src";
  WriteFile(src + "/a.txt", "alpha\n");
  WriteFile(src + "/b.bin", Pattern(3000));
  WriteFile(src + "/docs/inner.txt", "inner\n");
  for (int i = 1; i <= 12; ++i)
    WriteFile(src + QString("/many/f%1.txt").arg(i, 2, 10, QChar('0')), "x");
  TzqCDBurner b;
  b.ClearAll(1000, 100);
  b.StripSourcePath = true;
  for (const char* f : {"a.txt", "b.bin"})
    QCOMPARE(b.InsertFile("\\", (src + "/" + f).toStdString(), false), 1);
  for (const char* d : {"docs", "many"})
    QCOMPARE(b.InsertDir("\\", (src + "/" + d + "/").toStdString(), false, true, true, 63, "*.*"),
             1);
  QVERIFY(b.Prepare(true));
  FImage = FPlace.Root() + "/disc.iso";
  QVERIFY(b.SaveISO(FImage.toStdString(), true));
  QVERIFY(TVrecPlace::Get().Vrec({"insert-image", FImage}, kImageDisc));
}

TWindowUnderTest TSessionBrowserTest::Window() {
  TWindowUnderTest t = MakeWindow(TVrecPlace::Get().Environment(FPlace.Environment()));
  SelectRecorder(*t.Window, kImageDisc);
  return t;
}

void TSessionBrowserTest::sessionList() {
  TWindowUnderTest t = Window();
  const qint64 blocks = QFileInfo(FImage).size() / 2048;
  QStringList lines;
  QStringList labels;
  QString header;
  SessionInfo(*t.Window, [&](TfrmSessions& s) {
    QCOMPARE(s.windowTitle(), QStringLiteral("Session"));
    QVERIFY(s.parentWidget() == t.Window.get());
    QCOMPARE(s.lb->font().family(), QStringLiteral("Courier New"));
    lines = Lines(*s.lb);
    labels << s.lMedium->text() << s.lDiscSize->text() << s.lUsedSpace->text();
    QVERIFY(s.lMedium->font().bold());
    header = s.lblHeader->text();
    QTest::keyClick(&s, Qt::Key_Escape);
  });
  QCOMPARE(header, QStringLiteral("Session    Duration     Size"));
  QCOMPARE(lines.size(), 2);
  QCOMPARE(lines[0], QStringLiteral("  001      000:02:00  %1 MB").arg(qRound(blocks / 512.0), 4));
  QVERIFY2(lines[1].startsWith(" Free      "), qPrintable(lines[1]));
  QVERIFY2(lines[1].endsWith("     0 MB"), qPrintable(lines[1]));
  QCOMPARE(labels[0], QStringLiteral("CD-ROM"));
  QVERIFY(labels[1].endsWith(" MB"));
  QVERIFY(labels[2].endsWith(" MB"));
  QVERIFY(t.Window->findChildren<TfrmSessions*>().isEmpty());
}

void TSessionBrowserTest::choosingLines() {
  TWindowUnderTest t = Window();
  int browsed = 0;
  TDialogLog log = SessionInfo(
      *t.Window,
      [&](TfrmSessions& s) {
        // Nothing selected, then the " Free" line: no session is chosen.
        s.lb->setCurrentRow(-1);
        s.lb->clearSelection();
        QTest::mouseClick(s.SpeedButton1, Qt::LeftButton);
        s.lb->setCurrentRow(1);
        QTest::mouseClick(s.SpeedButton1, Qt::LeftButton);
        QCOMPARE(t.Window->zqCDBurner1.FilesCount(), 0);
        // Enter closes.
        QTest::keyClick(s.lb, Qt::Key_Return);
        QVERIFY(!s.isVisible());
      },
      [&](TfrmTree&) { ++browsed; });
  QCOMPARE(log.Messages, QStringList{"Select session from list"});
  QCOMPARE(browsed, 0);
}

void TSessionBrowserTest::importAndBrowse() {
  TWindowUnderTest t = Window();
  TFGUI& w = *t.Window;
  w.AddSourceItems(w.RootNode(), {{FPlace.MakeFile("before.txt", 10), false}});
  QStringList root, many, nodes;
  QString caption, rootText, hint;
  QStringList header;
  SessionInfo(
      w,
      [&](TfrmSessions& s) {
        // A click on the session's line imports it and opens the browser.
        QTest::mouseClick(s.lb->viewport(), Qt::LeftButton, {},
                          s.lb->visualItemRect(s.lb->item(0)).center());
        s.close();
      },
      [&](TfrmTree& b) {
        caption = b.windowTitle();
        QVERIFY(b.parentWidget() != nullptr && qobject_cast<TfrmSessions*>(b.parentWidget()));
        rootText = b.tvDir->topLevelItem(0)->text(0);
        for (int i = 0; i < b.tvDir->topLevelItem(0)->childCount(); ++i)
          nodes << b.tvDir->topLevelItem(0)->child(i)->text(0);
        for (int c = 0; c < b.fl->columnCount(); ++c)
          header << b.fl->horizontalHeaderItem(c)->text();
        QCOMPARE(b.fl->columnWidth(0), 361);
        QCOMPARE(b.fl->columnWidth(1), 71);
        hint = b.fl->toolTip();
        root = Column(*b.fl, 0) + Column(*b.fl, 1);
        for (int i = 0; i < b.tvDir->topLevelItem(0)->childCount(); ++i) {
          if (b.tvDir->topLevelItem(0)->child(i)->text(0) == "many")
            b.tvDir->setCurrentItem(b.tvDir->topLevelItem(0)->child(i));
        }
        many = Column(*b.fl, 0);
      });
  QCOMPARE(caption, QStringLiteral("Session Details"));
  QCOMPARE(rootText, QStringLiteral("Session Info"));
  nodes.sort();
  QCOMPARE(nodes, (QStringList{"docs", "many"}));
  QCOMPARE(header, (QStringList{"File Name", "File Size"}));
  QCOMPARE(hint, QStringLiteral("Double click on a file name to extract"));
  // Row numbers padded to two characters; sizes to nine.
  QCOMPARE(many.size(), 12);
  QVERIFY2(many[6].startsWith(" 7 f"), qPrintable(many[6]));
  QVERIFY2(many[11].startsWith("12 f"), qPrintable(many[11]));
  QVERIFY(root.contains(" < DIR > "));
  QVERIFY(root.contains("     3000"));
  // The compilation now holds the session (imported, sized for a session);
  // the window's list still shows what it showed.
  TzqCDBurner& c = w.zqCDBurner1;
  QCOMPARE(c.MaxFiles(), TzqCDBurner::kDefaultMaxFiles);
  QVERIFY(c.FindEntry(c.RootDir(), "before.txt") == nullptr);
  PFileEntry a = c.FindEntry(c.RootDir(), "a.txt");
  QVERIFY(a != nullptr);
  QCOMPARE(int{a->Imported}, 1);
  QVERIFY(c.FindDir("\\MANY") != nullptr);
  QCOMPARE(w.lvwModel->Count(), 1);
  QCOMPARE(w.lvwModel->Item(0).Caption, QStringLiteral("before.txt"));
}

void TSessionBrowserTest::extractingOneFile() {
  TWindowUnderTest t = Window();
  const QString out = FPlace.MakeFolder("one");
  const QString target = out + "/copy.bin";
  auto browse = [&](const std::function<void(TfrmTree&)>& fn,
                    std::vector<std::optional<QString>> answers,
                    std::vector<QMessageBox::StandardButton> buttons = {}) {
    return SessionInfo(
        *t.Window,
        [&](TfrmSessions& s) {
          s.lb->setCurrentRow(0);
          s.SpeedButton1Click();
          s.close();
        },
        fn, std::move(answers), std::move(buttons));
  };
  QString offered;
  TDialogLog log = browse(
      [&](TfrmTree& b) {
        // A folder is not extracted.
        b.fl->setCurrentCell(RowOf(*b.fl, "docs"), 0);
        b.Extract1Click();
        b.fl->setCurrentCell(RowOf(*b.fl, "b.bin"), 0);
        b.Extract1Click();
      },
      {target});
  QCOMPARE(log.Messages, QStringList{"This is directory : docs"});
  QCOMPARE(log.InputTitles, QStringList{"Change Name"});
  QCOMPARE(log.InputPrompts, QStringList{"Change Name To:"});
  QCOMPARE(log.InputTexts, QStringList{"b.bin"});
  QCOMPARE(ReadFile(target), Pattern(3000));

  // Something there already: asked, and kept on No; replaced on Yes.
  WriteFile(target, "mine");
  log = browse(
      [&](TfrmTree& b) {
        b.fl->setCurrentCell(RowOf(*b.fl, "a.txt"), 0);
        b.Extract1Click();
      },
      {target}, {QMessageBox::No});
  QCOMPARE(log.Messages.size(), 1);
  QVERIFY(log.Messages[0].endsWith("already exists.\r\nDo you want to replace it?"));
  QCOMPARE(ReadFile(target), QByteArray("mine"));
  log = browse(
      [&](TfrmTree& b) {
        b.fl->setCurrentCell(RowOf(*b.fl, "a.txt"), 0);
        emit b.fl->cellDoubleClicked(RowOf(*b.fl, "a.txt"), 0);
      },
      {target}, {QMessageBox::Yes});
  QCOMPARE(ReadFile(target), QByteArray("alpha\n"));
  // Cancel extracts nothing.
  QVERIFY(QFile::remove(target));
  browse(
      [&](TfrmTree& b) {
        b.fl->setCurrentCell(RowOf(*b.fl, "a.txt"), 0);
        b.Extract1Click();
      },
      {std::nullopt});
  QVERIFY(!QFile::exists(target));
}

void TSessionBrowserTest::extractingAllFiles() {
  // The status panel puts every file of the shown folder in the user's
  // home folder (where the disc's "c:\" stood), asking before replacing.
  const QString home = FPlace.MakeFolder("home");
  const QByteArray savedHome = qgetenv("HOME");
  qputenv("HOME", home.toUtf8());
  WriteFile(home + "/a.txt", "kept");
  TWindowUnderTest t = Window();
  QString status;
  TDialogLog log = SessionInfo(
      *t.Window,
      [&](TfrmSessions& s) {
        s.lb->setCurrentRow(0);
        s.SpeedButton1Click();
        s.close();
      },
      [&](TfrmTree& b) {
        QTest::mouseClick(b.Msg, Qt::LeftButton);
        status = b.Msg->text();
      },
      {}, {QMessageBox::No});
  qputenv("HOME", savedHome);
  QCOMPARE(log.Messages.size(), 1);
  QCOMPARE(log.Messages[0], home + "/a.txt already exists.\r\nDo you want to replace it?");
  QCOMPARE(ReadFile(home + "/a.txt"), QByteArray("kept"));
  QCOMPARE(ReadFile(home + "/b.bin"), Pattern(3000));
  QVERIFY(!QFileInfo(home + "/docs").exists());
  QVERIFY(
      status.startsWith(QString::fromUtf8("\xE6\xAD\xA3\xE5\x9C\xA8\xE6\x89\xA9\xE5\xB1\x95 ")));
}

TIDEMARK_QTEST_MAIN(TSessionBrowserTest)
#include "tst_session_browser.moc"
