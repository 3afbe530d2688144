#include "app/ProgressWindow.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/CompactFont.h"
#include "app/QtText.h"
#include "text/Language.h"

namespace sv {

namespace {

// Black bar on white with the percentage inside, readable over both parts.
class ProgressBar final : public QProgressBar {
  public:
    using QProgressBar::QProgressBar;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect r = rect();
        p.fillRect(r, Qt::white);
        const int span = maximum() - minimum();
        const int filled = span > 0 ? (value() - minimum()) * r.width() / span : 0;
        const QRect bar(r.left(), r.top(), filled, r.height());
        p.fillRect(bar, Qt::black);
        const QString label = text();
        p.setPen(Qt::black);
        p.setClipRect(QRect(r.left() + filled, r.top(), r.width() - filled, r.height()));
        p.drawText(r, Qt::AlignCenter, label);
        p.setPen(Qt::white);
        p.setClipRect(bar);
        p.drawText(r, Qt::AlignCenter, label);
    }
};

}  // namespace

ProgressWindow::ProgressWindow(QWidget* parent, Progress::CancelFlag cancel)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      cancel_(std::move(cancel)) {
    setObjectName("progressWindow");
    setWindowModality(Qt::WindowModal);
    setFont(CompactFont(font()));
    setFixedSize(302, 56);

    remainingCaption_ = new QLabel(Q(Texts().TimeRemainingLabel + ":"), this);
    remainingCaption_->setObjectName("Label1");
    remainingCaption_->move(1, 3);
    remainingTime_ = new QLabel(this);
    remainingTime_->setObjectName("Label2");
    remainingTime_->setGeometry(239, 3, 63, 14);

    auto* bevel = new QFrame(this);
    bevel->setObjectName("Bevel1");
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(1, 20, BarPixels, 13);
    gauge_ = new ProgressBar(this);
    gauge_->setObjectName("Gauge");
    gauge_->setGeometry(2, 21, BarPixels - 2, 11);
    gauge_->setRange(0, BarPixels);  // one step per pixel of the bar
    gauge_->setValue(0);
    gauge_->setFormat("%p%");

    cancelButton_ = new QPushButton(Q(Texts().CancelCaption), this);
    cancelButton_->setObjectName("cancelButton");
    cancelButton_->setGeometry(112, 34, 75, 21);
    cancelButton_->setDefault(true);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { RequestCancel(); });
    cancelButton_->setFocus();

    if (parent) {
        const QRect area = parent->window()->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::SetCaption(const std::string& title) { setWindowTitle(Q(title)); }

void ProgressWindow::Restart(Progress::CancelFlag cancel) {
    cancel_ = std::move(cancel);
    gauge_->setValue(0);
    remainingTime_->clear();
}

void ProgressWindow::EnableCancel(bool enabled) { cancelButton_->setEnabled(enabled); }

void ProgressWindow::Show() {
    show();
    raise();
    activateWindow();
}

void ProgressWindow::ShowEstimate(const std::string& text) { remainingTime_->setText(Q(text)); }

void ProgressWindow::ShowPosition(int pixels) { gauge_->setValue(pixels); }

bool ProgressWindow::InProgress() const {
    return gauge_->value() > 0 && gauge_->value() < BarPixels;
}

void ProgressWindow::ComeBack() {
    // Deferred: a window cannot be re-shown from inside its own hide.
    QTimer::singleShot(0, this, [this] {
        if (!InProgress()) return;
        show();
        raise();
        activateWindow();
    });
}

void ProgressWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && InProgress()) ComeBack();
}

void ProgressWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (InProgress()) ComeBack();
}

// Escape must not hide a running operation's only way to cancel.
void ProgressWindow::reject() {}

// The title bar's close button cancels like Cancel, whatever the window manager does with a
// dialog's close request; the window stays until the operation has stopped.
void ProgressWindow::closeEvent(QCloseEvent* event) {
    if (cancelButton_->isEnabled()) RequestCancel();
    event->ignore();
}

// A port whose every call becomes a queued call to its window.
class ProgressWindows::Port final : public Progress {
  public:
    Port(ProgressWindows& windows, Clock clock)
        : Progress(std::move(clock)), windows_(windows), id_(windows.Open(this)) {}
    ~Port() override { windows_.Close(id_, this); }

    void SetCaption(const std::string& title) override {
        windows_.Post(id_, [&windows = windows_, title](ProgressWindow& w) {
            w.SetCaption(windows.Titled(title));
        });
    }
    void EnableCancel(bool enabled) override {
        {
            std::lock_guard lock(windows_.mutex_);
            cancellable_ = enabled;
            if (enabled && windows_.cancelling_) RequestCancel();
        }
        windows_.Post(id_, [enabled](ProgressWindow& w) { w.EnableCancel(enabled); });
    }
    void Show() override {
        windows_.Post(id_, [&windows = windows_](ProgressWindow& w) {
            w.Show();
            if (windows.onShown) windows.onShown(w);
        });
    }
    bool Cancellable() const { return cancellable_; }  // under the windows' mutex

  protected:
    void ShowEstimate(const std::string& text) override {
        windows_.Post(id_, [text](ProgressWindow& w) { w.ShowEstimate(text); });
    }
    void ShowPosition(int pixels) override {
        windows_.Post(id_, [pixels](ProgressWindow& w) { w.ShowPosition(pixels); });
    }

  private:
    ProgressWindows& windows_;
    int id_;
    bool cancellable_ = false;
};

ProgressWindows::ProgressWindows(QWidget* parent) : QObject(parent), parent_(parent) {}

ProgressWindows::~ProgressWindows() {
    for (auto& [id, window] : windows_) delete window.data();
}

ProgressFactory ProgressWindows::Factory(Progress::Clock clock) {
    return [this, clock]() -> std::unique_ptr<Progress> {
        return std::make_unique<Port>(*this, clock);
    };
}

void ProgressWindows::Post(int id, std::function<void(ProgressWindow&)> call) {
    QMetaObject::invokeMethod(
        this,
        [this, id, call = std::move(call)] {
            const auto found = windows_.find(id);
            if (found != windows_.end() && found->second) call(*found->second);
        },
        Qt::QueuedConnection);
}

int ProgressWindows::Open(Port* port) {
    int id = 0;
    {
        std::lock_guard lock(mutex_);
        id = ++nextId_;
        ports_.insert(port);
    }
    QMetaObject::invokeMethod(
        this,
        [this, id, cancel = port->SharedCancelFlag()] {
            if (series_ && seriesWindow_) {
                seriesWindow_->Restart(cancel);
                windows_[id] = seriesWindow_;
                return;
            }
            windows_[id] = new ProgressWindow(parent_, cancel);
            if (series_) seriesWindow_ = windows_[id];
        },
        Qt::QueuedConnection);
    return id;
}

void ProgressWindows::Close(int id, Port* port) {
    {
        std::lock_guard lock(mutex_);
        ports_.erase(port);
    }
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            const auto found = windows_.find(id);
            if (found == windows_.end()) return;
            if (!series_ || found->second != seriesWindow_) delete found->second.data();
            windows_.erase(found);
        },
        Qt::QueuedConnection);
}

void ProgressWindows::CancelRunning() {
    std::lock_guard lock(mutex_);
    cancelling_ = true;
    for (Port* port : ports_)
        if (port->Cancellable()) port->RequestCancel();
}

void ProgressWindows::BeginSeries(std::function<std::string(const std::string&)> title) {
    series_ = true;
    seriesTitle_ = std::move(title);
}

void ProgressWindows::EndSeries() {
    seriesTitle_ = {};  // what it holds may go with the series
    // Queued behind the closing of the series' last operation.
    QMetaObject::invokeMethod(
        this,
        [this] {
            series_ = false;
            for (const auto& [id, window] : windows_)
                if (window == seriesWindow_) return;  // its operation's close deletes it
            delete seriesWindow_.data();
        },
        Qt::QueuedConnection);
}

std::string ProgressWindows::Titled(const std::string& caption) const {
    return series_ && seriesTitle_ ? seriesTitle_(caption) : caption;
}

void ProgressWindows::Reset() {
    std::lock_guard lock(mutex_);
    cancelling_ = false;
}

}  // namespace sv
