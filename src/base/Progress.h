#pragma once
// The progress window port: one object per long operation. The estimate and the pixel-step
// logic live here once; a front end (Qt window, terminal bar, test script) supplies the hooks.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sv {

class TProgress {
public:
    static constexpr int BarPixels = 300;
    using Clock = std::function<std::int64_t()>;

    explicit TProgress(Clock clock = {});
    virtual ~TProgress() = default;
    TProgress(const TProgress&) = delete;
    TProgress& operator=(const TProgress&) = delete;

    virtual void SetCaption(const std::string& title) = 0;
    virtual void EnableStorno(bool enabled) = 0;
    virtual void Show() = 0;

    void SGauMax(std::int64_t total);
    void SGauPro(std::int64_t done);
    bool Storno() const { return cancelRequest_; }
    void BtStornoClick() { cancelRequest_ = true; }
    // Lets the front end handle pending events outside the pixel steps.
    void ProcessEvents() { DispatchEvents(); }

    std::int64_t Total() const { return total_; }
    int Position() const { return position_; }
    std::int32_t ShownEstimate() const { return shownEstimate_; }

protected:
    virtual void ShowEstimate(const std::string& text) = 0;  // the remaining-time label
    virtual void ShowPosition(int pixels) = 0;               // the bar, 0..BarPixels
    virtual void DispatchEvents() = 0;                       // where Cancel is seen

private:
    Clock clock_;
    bool cancelRequest_ = false;
    std::int64_t startTime_ = 0;
    std::int32_t shownEstimate_ = 0;
    std::int64_t total_ = 1;
    int position_ = 0;
};

// Makes the progress window of one operation.
using ProgressFactory = std::function<std::unique_ptr<TProgress>()>;

// A progress window that shows nothing; Cancel can still be requested programmatically.
class TSilentProgress final : public TProgress {
public:
    using TProgress::TProgress;
    void SetCaption(const std::string&) override {}
    void EnableStorno(bool) override {}
    void Show() override {}

protected:
    void ShowEstimate(const std::string&) override {}
    void ShowPosition(int) override {}
    void DispatchEvents() override {}
};

ProgressFactory SilentProgressFactory();

// Messages, questions and the busy cursor.
class TUserDialogs {
public:
    virtual ~TUserDialogs() = default;
    virtual void Message(const std::string& text) = 0;
    virtual bool Question(const std::string& text) = 0;  // true = Yes
    virtual void SetBusy(bool busy) = 0;
};

// Shows the busy cursor for a scope.
class TBusyCursor {
public:
    explicit TBusyCursor(TUserDialogs* dialogs) : dialogs_(dialogs) {
        if (dialogs_) dialogs_->SetBusy(true);
    }
    ~TBusyCursor() {
        if (dialogs_) dialogs_->SetBusy(false);
    }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    TUserDialogs* dialogs_;
};

// What the core needs from its front end.
struct TPorts {
    ProgressFactory progress = SilentProgressFactory();
    TUserDialogs* dialogs = nullptr;  // null: messages are dropped, questions answer No

    std::unique_ptr<TProgress> MakeProgress() const;
    void Message(const std::string& text) const {
        if (dialogs) dialogs->Message(text);
    }
};

}  // namespace sv
