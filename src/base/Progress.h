#pragma once
// The progress window port: one object per long operation. The estimate and the pixel-step
// logic live here once; a front end (Qt window, terminal bar, test script) supplies the hooks.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sv {

class Progress {
  public:
    static constexpr int BarPixels = 300;
    using Clock = std::function<std::int64_t()>;

    explicit Progress(Clock clock = {});
    virtual ~Progress() = default;
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    virtual void SetCaption(const std::string& title) = 0;
    virtual void EnableCancel(bool enabled) = 0;
    virtual void Show() = 0;

    void SetTotal(std::int64_t total);
    void SetDone(std::int64_t done);
    // The operation may run on another thread than the window that shows it: Cancel is a flag
    // the window sets and the operation polls, and it acts at the next poll.
    bool CancelRequested() const { return cancel_->load(std::memory_order_relaxed); }
    void RequestCancel() { cancel_->store(true, std::memory_order_relaxed); }
    using CancelFlag = std::shared_ptr<std::atomic<bool>>;
    // Outlives this object, for a window that may be clicked after the operation ended.
    const CancelFlag& SharedCancelFlag() const { return cancel_; }

    std::int64_t Total() const { return total_; }
    int Position() const { return position_; }
    std::int32_t ShownEstimate() const { return shownEstimate_; }

  protected:
    virtual void ShowEstimate(const std::string& text) = 0;  // the remaining-time label
    virtual void ShowPosition(int pixels) = 0;               // the bar, 0..BarPixels
    // Called by SetTotal and at each pixel step: where a front end that has no window of its
    // own (a terminal's Ctrl+C, a test script) may request the cancel.
    virtual void PollCancel() {}

  private:
    Clock clock_;
    CancelFlag cancel_ = std::make_shared<std::atomic<bool>>(false);
    std::int64_t startTime_ = 0;
    std::int32_t shownEstimate_ = 0;
    std::int64_t total_ = 1;
    int position_ = 0;
};

// Makes the progress window of one operation.
using ProgressFactory = std::function<std::unique_ptr<Progress>()>;

// A progress window that shows nothing; Cancel can still be requested programmatically.
class SilentProgress final : public Progress {
  public:
    using Progress::Progress;
    void SetCaption(const std::string&) override {}
    void EnableCancel(bool) override {}
    void Show() override {}

  protected:
    void ShowEstimate(const std::string&) override {}
    void ShowPosition(int) override {}
};

ProgressFactory SilentProgressFactory();

enum class Answer { Yes, No, Cancel };

// Messages, questions and the busy cursor.
class UserDialogs {
  public:
    virtual ~UserDialogs() = default;
    virtual void Message(const std::string& text) = 0;
    virtual bool Question(const std::string& text) = 0;  // true = Yes
    // A question that may also be put aside: Escape and the close button answer Cancel. Front
    // ends that cannot offer Cancel answer Yes or No.
    virtual Answer QuestionOrCancel(const std::string& text) {
        return Question(text) ? Answer::Yes : Answer::No;
    }
    virtual void SetBusy(bool busy) = 0;
};

// Shows the busy cursor for a scope.
class BusyCursor {
  public:
    explicit BusyCursor(UserDialogs* dialogs) : dialogs_(dialogs) {
        if (dialogs_) dialogs_->SetBusy(true);
    }
    ~BusyCursor() {
        if (dialogs_) dialogs_->SetBusy(false);
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    UserDialogs* dialogs_;
};

// What the core needs from its front end.
struct FrontEndPorts {
    ProgressFactory progress = SilentProgressFactory();
    UserDialogs* dialogs = nullptr;  // null: messages are dropped, questions answer No

    std::unique_ptr<Progress> MakeProgress() const;
    void Message(const std::string& text) const {
        if (dialogs) dialogs->Message(text);
    }
};

}  // namespace sv
