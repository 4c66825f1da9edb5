#pragma once
// A drop-down list that says when it is about to drop down, so that its
// owner can rebuild the entries first (the speed list asks the drive).

#include <QComboBox>

#include <functional>

class TDropDownComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> OnDropDown;

  void showPopup() override {
    if (OnDropDown) OnDropDown();
    QComboBox::showPopup();
  }
};
