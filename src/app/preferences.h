#pragma once
// TfrmPreferences: the recording options of this run. Created once, when
// first needed, and only hidden between uses, so that every control keeps
// its state until the program ends; nothing is saved. The job commands read
// "Eject after burn", "Eject after erase" and "Joliet File System" from
// here each time, and "OK" hands the cache size to the burner.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QWidget;

// What the dialog learns from the main window about the recorders.
struct TPreferencesSource {
  std::function<QStringList()> Recorders;     // the burner's device list
  std::function<QString()> RecorderLetter;    // of the main window's recorder
  std::function<QStringList()> BuildSpeeds;   // the speed list, built as the main window does
  std::function<void(int32_t)> SetCacheSize;  // the burner's CacheSize setter
};

class TfrmPreferences : public QDialog {
  Q_OBJECT
 public:
  TfrmPreferences(QWidget* owner, TPreferencesSource source);

  // Brings page `index` of the page tree to the front (filling it first
  // when it is shown for the first time).
  void tvwTypeChange(int index);
  void tkbCacheSizeChange(int position);
  void btnOKClick();
  void btnCancelClick();

  QTreeWidget* tvwType = nullptr;
  QStackedWidget* pages = nullptr;
  QLabel* Msg = nullptr;
  // General.
  QWidget* pnlGeneral = nullptr;
  QCheckBox* chkASPI = nullptr;
  QLabel* lblBurner = nullptr;
  QComboBox* cboBurner = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* chkEjectErase = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QCheckBox* CheckBox4 = nullptr;
  // Language and the audio pages (empty).
  QWidget* pnlLanguage = nullptr;
  // DATA - CD/DVD Writer Setting.
  QWidget* pnlDataWriSetting = nullptr;
  QLabel* lblBurnerName = nullptr;
  QLabel* lblBurnerLetter = nullptr;
  QComboBox* cboSpeed = nullptr;
  QCheckBox* CheckBox5 = nullptr;
  QCheckBox* CheckBox6 = nullptr;
  QCheckBox* CheckBox7 = nullptr;
  QCheckBox* chkEjectBurn = nullptr;
  QCheckBox* chkJoliet = nullptr;
  QCheckBox* CheckBox10 = nullptr;
  QSlider* tkbCacheSize = nullptr;
  QLabel* lblCacheSize = nullptr;
  // DATA Volume Name/Info.
  QWidget* pnlDataVol = nullptr;
  QTabWidget* tabsVolume = nullptr;
  QLineEdit* Edit1 = nullptr;
  QSpinBox* UpDown1 = nullptr;  // Edit2 with its up-down control
  QListWidget* ListBox1 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QLineEdit* Edit5 = nullptr;
  QLineEdit* Edit6 = nullptr;
  QLineEdit* Edit7 = nullptr;
  QLineEdit* Edit8 = nullptr;
  QLineEdit* Edit9 = nullptr;
  // Warning Messages.
  QWidget* pnlWarning = nullptr;
  QListWidget* CheckListBox1 = nullptr;

  bool GeneralFilled() const { return FGeneralFilled; }
  bool DataWriterFilled() const { return FDataWriterFilled; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* MakeGeneralPage();
  QWidget* MakeDataWriterPage();
  QWidget* MakeDataVolumePage();
  QWidget* MakeWarningPage();
  void FillGeneral();
  void FillDataWriter();

  TPreferencesSource FSource;
  bool FGeneralFilled = false;
  bool FDataWriterFilled = false;
  bool FShownOnce = false;
};
