#include "app/ProGrs.h"


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
#include "text/Language.h"

namespace sv {

namespace {

// Black bar on white with the percentage inside, readable over both parts.
class TGauge final : public QProgressBar {
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

TProgFrm::TProgFrm(QWidget* parent, Clock clock)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      TProgress(std::move(clock)) {
    setObjectName("ProgFrm");
    setWindowModality(Qt::WindowModal);
    setFont(CompactFont(font()));
    setFixedSize(302, 56);

    label1_ = new QLabel(QString::fromStdString(Texts().CaTiRem + ":"), this);
    label1_->setObjectName("Label1");
    label1_->move(1, 3);
    label2_ = new QLabel(this);
    label2_->setObjectName("Label2");
    label2_->setGeometry(239, 3, 63, 14);

    auto* bevel = new QFrame(this);
    bevel->setObjectName("Bevel1");
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(1, 20, BarPixels, 13);
    gauge_ = new TGauge(this);
    gauge_->setObjectName("Gauge");
    gauge_->setGeometry(2, 21, BarPixels - 2, 11);
    gauge_->setRange(0, BarPixels);  // one step per pixel of the bar
    gauge_->setValue(0);
    gauge_->setFormat("%p%");

    btStorno_ = new QPushButton(QString::fromStdString(Texts().CaStorno), this);
    btStorno_->setObjectName("BtStorno");
    btStorno_->setGeometry(112, 34, 75, 21);
    btStorno_->setDefault(true);
    connect(btStorno_, &QPushButton::clicked, this, [this] { BtStornoClick(); });
    btStorno_->setFocus();

    if (parent) {
        const QRect area = parent->window()->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

TProgFrm::~TProgFrm() = default;

void TProgFrm::SetCaption(const std::string& title) { setWindowTitle(QString::fromStdString(title)); }

void TProgFrm::EnableStorno(bool enabled) { btStorno_->setEnabled(enabled); }

void TProgFrm::Show() {
    show();
    raise();
    activateWindow();
    // Painted at once, so even a long first block shows its window.
    DispatchEvents();
}

void TProgFrm::ShowEstimate(const std::string& text) { label2_->setText(QString::fromStdString(text)); }

void TProgFrm::ShowPosition(int pixels) { gauge_->setValue(pixels); }

void TProgFrm::DispatchEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

bool TProgFrm::InProgress() const { return Position() > 0 && Position() < BarPixels; }

void TProgFrm::ComeBack() {
    // Deferred: a window cannot be re-shown from inside its own hide.
    QTimer::singleShot(0, this, [this] {
        if (!InProgress()) return;
        show();
        raise();
        activateWindow();
    });
}

void TProgFrm::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && InProgress()) ComeBack();
}

void TProgFrm::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (InProgress()) ComeBack();
}

// Escape must not hide a running operation's only way to cancel.
void TProgFrm::reject() {}

// The title bar's close button cancels like Cancel, whatever the window manager does with a
// dialog's close request; the window stays until the operation has stopped.
void TProgFrm::closeEvent(QCloseEvent* event) {
    if (btStorno_->isEnabled()) BtStornoClick();
    event->ignore();
}

ProgressFactory ProgFrmFactory(QWidget* parent) {
    return [parent]() -> std::unique_ptr<TProgress> { return std::make_unique<TProgFrm>(parent); };
}

}  // namespace sv
