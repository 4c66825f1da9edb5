#include "app/preferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int kCacheMegabytesMin = 2;
constexpr int kCacheMegabytesMax = 64;
constexpr int kCacheMegabytesInitial = 4;
// The track bar counts decimal megabytes.
constexpr int32_t kBytesPerTrackStep = 1000000;

// The page each node of the page tree brings to the front.
enum TPage { kGeneral, kLanguage, kDataWriter, kDataVolume, kWarning };
constexpr TPage kPageOfNode[] = {kGeneral,  kLanguage, kDataWriter, kDataVolume,
                                 kLanguage, kLanguage, kWarning};

const char* const kValidTags[] = {
    "<#increment> = Increment value",
    "<#files> = Number of files",
    "<#directories> = Number of folders",
    "<#d> = Displays the day as a number without a leading zero (1-31)",
    "<#dd> = Displays the day as a number with a leading zero (01-31)",
    "<#ddd> = Displays the day as an abbreviation (Sun-Sat)",
    "<#dddd> = Displays the day as a full name (Sunday-Saturday)",
    "<#m> = Displays the month as a number without a leading zero (1-12)",
    "<#mm> = Displays the month as a number with a leading zero (01-12)",
    "<#mmm> = Displays the month as an abbreviation (Jan-Dec)",
    "<#mmmm> = Displays the month as a full name (January-December)",
    "<#yy> = Displays the year as a two-digit number (00-99)",
    "<#yyyy> = Displays the year as a four-digit number (0000-9999)",
    "<#h> = Displays the hour without a leading zero (0-23)",
    "<#hh> = Displays the hour with a leading zero (00-23)",
    "<#n> = Displays the minute without a leading zero (0-59)",
    "<#nn> = Displays the minute with a leading zero (00-59)",
    "<#s> = Displays the second without a leading zero (0-59)",
    "<#ss> = Displays the second with a leading zero (00-59)",
};

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption, bool checked) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setChecked(checked);
  return box;
}

QLineEdit* Edit(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  return edit;
}

}  // namespace

TfrmPreferences::TfrmPreferences(QWidget* owner, TPreferencesSource source)
    : QDialog(owner), FSource(std::move(source)) {
  setObjectName(QStringLiteral("frmPreferences"));
  setWindowTitle(QStringLiteral(" Preferences"));
  QFont f = font();
  f.setFamilies({QStringLiteral("Tahoma"), f.family()});
  setFont(f);

  tvwType = new QTreeWidget(this);
  tvwType->setObjectName(QStringLiteral("tvwType"));
  tvwType->setHeaderHidden(true);
  tvwType->setRootIsDecorated(false);
  tvwType->setFixedWidth(190);
  for (const char* text :
       {"General", "Language", "DATA - CD/DVD Writer Setting", "DATA Volume Name/Info",
        "AUDIO - CD Writer Setting", "AUDIO Volume Name/Info", "Warning Messages"}) {
    new QTreeWidgetItem(tvwType, QStringList{QString::fromLatin1(text)});
  }

  pages = new QStackedWidget(this);
  pnlGeneral = MakeGeneralPage();
  pnlLanguage = new QWidget(pages);
  pnlLanguage->setObjectName(QStringLiteral("pnlLanguage"));
  pnlDataWriSetting = MakeDataWriterPage();
  pnlDataVol = MakeDataVolumePage();
  pnlWarning = MakeWarningPage();
  for (QWidget* page : {pnlGeneral, pnlLanguage, pnlDataWriSetting, pnlDataVol, pnlWarning})
    pages->addWidget(page);

  Msg = new QLabel(this);
  Msg->setObjectName(QStringLiteral("Msg"));
  Msg->setFrameShape(QFrame::StyledPanel);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  auto* apply = new QPushButton(QStringLiteral("Apply"), this);
  apply->setObjectName(QStringLiteral("btnApply"));
  connect(ok, &QPushButton::clicked, this, &TfrmPreferences::btnOKClick);
  connect(cancel, &QPushButton::clicked, this, &TfrmPreferences::btnCancelClick);

  auto* top = new QHBoxLayout();
  top->addWidget(tvwType);
  top->addWidget(pages, 1);
  auto* bottom = new QHBoxLayout();
  bottom->addWidget(Msg, 1);
  bottom->addWidget(ok);
  bottom->addWidget(cancel);
  bottom->addWidget(apply);
  auto* v = new QVBoxLayout(this);
  v->addLayout(top, 1);
  v->addLayout(bottom);
  // The dialog can be made larger; its captions decide how small it gets,
  // so that none of them is cut at the user's font.
  setSizeGripEnabled(true);
  resize(QSize(617, 453).expandedTo(minimumSizeHint()));

  connect(tvwType, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr) tvwTypeChange(tvwType->indexOfTopLevelItem(item));
  });
  connect(tkbCacheSize, &QSlider::valueChanged, this, &TfrmPreferences::tkbCacheSizeChange);
}

QWidget* TfrmPreferences::MakeGeneralPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("pnlGeneral"));
  chkASPI = Check(page, "chkASPI", QStringLiteral("Use Internal ASPI first"), true);
  lblBurner = new QLabel(QStringLiteral("Burner"), page);
  lblBurner->setObjectName(QStringLiteral("lblBurner"));
  cboBurner = new QComboBox(page);
  cboBurner->setObjectName(QStringLiteral("cboBurner"));
  CheckBox1 = Check(page, "CheckBox1", QStringLiteral("Quick CD Erase"), true);
  chkEjectErase = Check(page, "chkEjectErase", QStringLiteral("Eject after erase"), true);
  CheckBox3 =
      Check(page, "CheckBox3", QStringLiteral("Show folders size in compilation (slow!!!)"), false);
  CheckBox4 =
      Check(page, "CheckBox4", QStringLiteral("Intercept and disable CDROM autoplay"), true);
  auto* v = new QVBoxLayout(page);
  v->addWidget(chkASPI);
  auto* row = new QHBoxLayout();
  row->addWidget(lblBurner);
  row->addWidget(cboBurner, 1);
  v->addLayout(row);
  for (QWidget* w : {CheckBox1, chkEjectErase, CheckBox3, CheckBox4}) v->addWidget(w);
  v->addStretch(1);
  return page;
}

QWidget* TfrmPreferences::MakeDataWriterPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("pnlDataWriSetting"));
  lblBurnerName = new QLabel(page);
  lblBurnerName->setObjectName(QStringLiteral("lblBurnerName"));
  lblBurnerLetter = new QLabel(page);
  lblBurnerLetter->setObjectName(QStringLiteral("lblBurnerLetter"));
  cboSpeed = new QComboBox(page);
  cboSpeed->setObjectName(QStringLiteral("cboSpeed"));
  CheckBox5 = Check(page, "CheckBox5", QStringLiteral("Underrun Protection / Burnproof"), true);
  CheckBox6 = Check(
      page, "CheckBox6",
      QStringLiteral("Perform OPC (monitoring and maintaining the quality of the disc writing)"),
      true);
  CheckBox7 = Check(page, "CheckBox7", QStringLiteral("Close Disc (Finalize)"), true);
  chkEjectBurn = Check(page, "chkEjectBurn", QStringLiteral("Eject after burn"), true);
  chkJoliet = Check(page, "chkJoliet", QStringLiteral("Joliet File System"), true);
  CheckBox10 = Check(page, "CheckBox10", QStringLiteral("Verify data"), false);
  tkbCacheSize = new QSlider(Qt::Horizontal, page);
  tkbCacheSize->setObjectName(QStringLiteral("tkbCacheSize"));
  tkbCacheSize->setRange(kCacheMegabytesMin, kCacheMegabytesMax);
  tkbCacheSize->setTickPosition(QSlider::NoTicks);
  tkbCacheSize->setValue(kCacheMegabytesInitial);
  lblCacheSize = new QLabel(QStringLiteral(" 4 MBytes"), page);
  lblCacheSize->setObjectName(QStringLiteral("lblCacheSize"));

  auto* drive = new QGridLayout();
  drive->addWidget(new QLabel(QStringLiteral("Burner"), page), 0, 0);
  drive->addWidget(lblBurnerName, 0, 1);
  drive->addWidget(new QLabel(QStringLiteral("Letter"), page), 1, 0);
  drive->addWidget(lblBurnerLetter, 1, 1);
  drive->addWidget(new QLabel(QStringLiteral("Burner"), page), 2, 0);
  drive->addWidget(cboSpeed, 2, 1);
  drive->setColumnStretch(1, 1);
  auto* cache = new QHBoxLayout();
  cache->addWidget(new QLabel(QStringLiteral("Drive cache size "), page));
  cache->addWidget(tkbCacheSize, 1);
  cache->addWidget(lblCacheSize);
  auto* v = new QVBoxLayout(page);
  v->addLayout(drive);
  for (QWidget* w : {CheckBox5, CheckBox6, CheckBox7, chkEjectBurn, chkJoliet, CheckBox10})
    v->addWidget(w);
  v->addLayout(cache);
  v->addStretch(1);
  return page;
}

QWidget* TfrmPreferences::MakeDataVolumePage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("pnlDataVol"));
  tabsVolume = new QTabWidget(page);
  tabsVolume->setObjectName(QStringLiteral("tabsVolume"));

  auto* name = new QWidget(tabsVolume);
  Edit1 = Edit(name, "Edit1");
  UpDown1 = new QSpinBox(name);
  UpDown1->setObjectName(QStringLiteral("UpDown1"));
  UpDown1->setRange(0, 32767);
  UpDown1->setValue(1);
  ListBox1 = new QListWidget(name);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  for (const char* tag : kValidTags) ListBox1->addItem(QString::fromLatin1(tag));
  auto* nameForm = new QFormLayout(name);
  nameForm->addRow(QStringLiteral("Volume Name (max 32 character)"), Edit1);
  nameForm->addRow(QStringLiteral("Increment Value"), UpDown1);
  nameForm->addRow(QStringLiteral("Valid tags"), ListBox1);
  tabsVolume->addTab(name, QStringLiteral("Name"));

  auto* info = new QWidget(tabsVolume);
  auto* infoForm = new QFormLayout(info);
  struct {
    QLineEdit*& edit;
    const char* name;
    const char* label;
  } const fields[] = {
      {Edit3, "Edit3", "System Identifier"},  {Edit4, "Edit4", "Volume Set"},
      {Edit5, "Edit5", "Publisher"},          {Edit6, "Edit6", "Date Preparer"},
      {Edit7, "Edit7", "Copyright File"},     {Edit8, "Edit8", "Abstract File"},
      {Edit9, "Edit9", "Bibliographic File"},
  };
  for (const auto& field : fields) {
    field.edit = Edit(info, field.name);
    infoForm->addRow(QString::fromLatin1(field.label), field.edit);
  }
  tabsVolume->addTab(info, QStringLiteral("Info"));

  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(0, 0, 0, 0);
  v->addWidget(tabsVolume);
  return page;
}

QWidget* TfrmPreferences::MakeWarningPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("pnlWarning"));
  CheckListBox1 = new QListWidget(page);
  CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
  auto* item = new QListWidgetItem(QStringLiteral("   Burn DATA?     Total size ="), CheckListBox1);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(0, 0, 0, 0);
  v->addWidget(CheckListBox1);
  return page;
}

void TfrmPreferences::showEvent(QShowEvent* event) {
  // The General page, until the user chooses another one.
  if (!FShownOnce) {
    FShownOnce = true;
    tvwType->setCurrentItem(tvwType->topLevelItem(0));
  }
  QDialog::showEvent(event);
}

void TfrmPreferences::tvwTypeChange(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kPageOfNode))) return;
  const TPage page = kPageOfNode[index];
  if (page == kGeneral) FillGeneral();
  if (page == kDataWriter) FillDataWriter();
  pages->setCurrentIndex(page);
}

void TfrmPreferences::FillGeneral() {
  if (FGeneralFilled) return;
  FGeneralFilled = true;
  const QStringList recorders = FSource.Recorders ? FSource.Recorders() : QStringList();
  if (recorders.isEmpty()) return;
  cboBurner->addItems(recorders);
  cboBurner->setCurrentIndex(0);
  const QString letter = FSource.RecorderLetter ? FSource.RecorderLetter() : QString();
  lblBurner->setText(QStringLiteral("Burner ") + letter + QStringLiteral(": "));
}

void TfrmPreferences::FillDataWriter() {
  FillGeneral();
  if (FDataWriterFilled) return;
  FDataWriterFilled = true;
  if (cboBurner->count() == 0) return;
  lblBurnerName->setText(cboBurner->currentText());
  const QString letter = FSource.RecorderLetter ? FSource.RecorderLetter() : QString();
  lblBurnerLetter->setText(letter + QStringLiteral(": "));
  cboSpeed->clear();
  cboSpeed->addItems(FSource.BuildSpeeds ? FSource.BuildSpeeds() : QStringList());
  if (cboSpeed->count() > 0) cboSpeed->setCurrentIndex(0);
}

void TfrmPreferences::tkbCacheSizeChange(int position) {
  lblCacheSize->setText(QString::number(position) + QStringLiteral(" MBytes"));
}

void TfrmPreferences::btnOKClick() {
  // Always, moved or not: "OK" replaces a cache size from the settings file.
  if (FSource.SetCacheSize) FSource.SetCacheSize(tkbCacheSize->value() * kBytesPerTrackStep);
  accept();
}

void TfrmPreferences::btnCancelClick() {
  // The check boxes are in force already: the job commands read them.
  reject();
}
