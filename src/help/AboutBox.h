#pragma once
// The about box: the title picture, the version and an OK button.
#include <QDialog>

class QPushButton;

namespace sv {

class AboutBox final : public QDialog {
  public:
    explicit AboutBox(QWidget* parent = nullptr);
    QPushButton* OkButton() const { return okButton_; }

  private:
    QPushButton* okButton_;
};

// Opens the about box modally and frees it when it is closed.
void ShowAboutBox(QWidget* parent);

}  // namespace sv
