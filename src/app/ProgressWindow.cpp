#include "app/ProgressWindow.h"

#include <QApplication>
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

ProgressWindow::ProgressWindow(QWidget* parent, Clock clock)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Progress(std::move(clock)) {
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

void ProgressWindow::EnableCancel(bool enabled) { cancelButton_->setEnabled(enabled); }

void ProgressWindow::Show() {
    show();
    raise();
    activateWindow();
    // Painted at once, so even a long first block shows its window.
    DispatchEvents();
}

void ProgressWindow::ShowEstimate(const std::string& text) { remainingTime_->setText(Q(text)); }

void ProgressWindow::ShowPosition(int pixels) { gauge_->setValue(pixels); }

void ProgressWindow::DispatchEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

bool ProgressWindow::InProgress() const { return Position() > 0 && Position() < BarPixels; }

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

ProgressFactory ProgressWindowFactory(QWidget* parent) {
    return [parent]() -> std::unique_ptr<Progress> {
        return std::make_unique<ProgressWindow>(parent);
    };
}

}  // namespace sv
