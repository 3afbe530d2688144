#pragma once
// The progress window of one long operation: title, remaining time, bar, Cancel. The window
// only shows; the operation, on a worker thread, drives it through ProgressWindows.
#include <QDialog>
#include <QPointer>
#include <functional>
#include <map>
#include <mutex>
#include <set>

#include "base/Progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace sv {

class ProgressWindow final : public QDialog {
  public:
    static constexpr int BarPixels = Progress::BarPixels;

    // Centred on parent and modal to it, so the window under it takes no command meanwhile.
    // Cancel sets cancel, which the operation polls.
    explicit ProgressWindow(QWidget* parent,
                            Progress::CancelFlag cancel = std::make_shared<std::atomic<bool>>());
    ~ProgressWindow() override;

    void SetCaption(const std::string& title);
    void EnableCancel(bool enabled);
    void Show();
    void ShowEstimate(const std::string& text);
    void ShowPosition(int pixels);
    // Serves the next operation of a series: its cancel flag, an empty bar and estimate.
    void Restart(Progress::CancelFlag cancel);
    bool CancelRequested() const { return cancel_->load(); }
    void RequestCancel() { cancel_->store(true); }

    QLabel* RemainingCaption() const { return remainingCaption_; }
    QLabel* RemainingTime() const { return remainingTime_; }
    QProgressBar* Gauge() const { return gauge_; }
    QPushButton* CancelButton() const { return cancelButton_; }

  protected:
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    bool InProgress() const;
    void ComeBack();

    Progress::CancelFlag cancel_;
    QLabel* remainingCaption_;
    QLabel* remainingTime_;
    QProgressBar* gauge_;
    QPushButton* cancelButton_;
};

// Opens a progress window over parent for each progress port made by Factory(), from any
// thread: the port's calls reach its window as queued calls on the window's thread, so the
// operation never waits for the screen and the window repaints while the operation works.
class ProgressWindows final : public QObject {
  public:
    explicit ProgressWindows(QWidget* parent);
    ~ProgressWindows() override;

    ProgressFactory Factory(Progress::Clock clock = {});
    // Cancels the open operations that can be cancelled, and those that start until Reset.
    void CancelRunning();
    void Reset();
    // Called on the window's thread with each window as it is shown.
    std::function<void(ProgressWindow&)> onShown;
    // Until EndSeries the operations share one window, which stays open between them; title
    // turns each operation's caption into the window's title. On the window's thread.
    void BeginSeries(std::function<std::string(const std::string& caption)> title);
    void EndSeries();

  private:
    class Port;
    void Post(int id, std::function<void(ProgressWindow&)> call);
    int Open(Port* port);
    void Close(int id, Port* port);

    QWidget* parent_;
    std::string Titled(const std::string& caption) const;

    std::map<int, QPointer<ProgressWindow>> windows_;  // the window's thread only
    bool series_ = false;                              // the window's thread only, as are
    std::function<std::string(const std::string&)> seriesTitle_;  // these two
    QPointer<ProgressWindow> seriesWindow_;
    std::mutex mutex_;  // guards what follows
    std::set<Port*> ports_;
    int nextId_ = 0;
    bool cancelling_ = false;
};

}  // namespace sv
