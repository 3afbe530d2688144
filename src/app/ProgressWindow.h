#pragma once
// The progress window of one long operation: title, remaining time, bar, Cancel.
#include <QDialog>

#include "base/Progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace sv {

class ProgressWindow final : public QDialog, public Progress {
  public:
    // Centred on parent and modal to it, so the window under it takes no command meanwhile.
    explicit ProgressWindow(QWidget* parent, Clock clock = {});
    ~ProgressWindow() override;

    void SetCaption(const std::string& title) override;
    void EnableCancel(bool enabled) override;
    void Show() override;

    QLabel* RemainingCaption() const { return remainingCaption_; }
    QLabel* RemainingTime() const { return remainingTime_; }
    QProgressBar* Gauge() const { return gauge_; }
    QPushButton* CancelButton() const { return cancelButton_; }

  protected:
    void ShowEstimate(const std::string& text) override;
    void ShowPosition(int pixels) override;
    void DispatchEvents() override;

    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    bool InProgress() const;
    void ComeBack();

    QLabel* remainingCaption_;
    QLabel* remainingTime_;
    QProgressBar* gauge_;
    QPushButton* cancelButton_;
};

// Progress windows over parent.
ProgressFactory ProgressWindowFactory(QWidget* parent);

}  // namespace sv
