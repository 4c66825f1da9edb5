#pragma once
// TForm2: "Burner Infomation", what the selected recorder can do, as the
// burner read it when the recorder was last selected or its speeds last
// queried. Nothing is sent to the drive to fill it.

#include <QDialog>

#include <vector>

class QCheckBox;
class QLabel;
class TSCSIDevice;

class TForm2 : public QDialog {
  Q_OBJECT
 public:
  TForm2(QWidget* owner, const TSCSIDevice& device);

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  // One per capability, in the order of the table: ReadCDR ... UnderrunProtection.
  std::vector<QCheckBox*> Checks;
};
