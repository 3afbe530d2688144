#pragma once
// The progress window of one long operation: title, remaining time, bar, Cancel.
#include <QDialog>

#include "base/Progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace sv {

class TProgFrm final : public QDialog, public TProgress {
public:
    // Centred on parent and modal to it, so the window under it takes no command meanwhile.
    explicit TProgFrm(QWidget* parent, Clock clock = {});
    ~TProgFrm() override;

    void SetCaption(const std::string& title) override;
    void EnableStorno(bool enabled) override;
    void Show() override;

    QLabel* Label1() const { return label1_; }
    QLabel* Label2() const { return label2_; }
    QProgressBar* Gauge() const { return gauge_; }
    QPushButton* BtStorno() const { return btStorno_; }

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

    QLabel* label1_;
    QLabel* label2_;
    QProgressBar* gauge_;
    QPushButton* btStorno_;
};

// Progress windows over parent.
ProgressFactory ProgFrmFactory(QWidget* parent);

}  // namespace sv
