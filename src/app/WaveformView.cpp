#include "app/WaveformView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/BlockInfoPanel.h"
#include "app/PaintBox.h"
#include "app/PainterCanvas.h"
#include "audio/Wave.h"

namespace sv {

namespace {

// Keeps the window disabled while the overview is rebuilt, however the rebuild ends.
// Disabling a window takes the keyboard focus from it; it goes back where it was.
class DisabledWindow {
  public:
    explicit DisabledWindow(QWidget& window) : window_(window), focus_(window.focusWidget()) {
        window_.setEnabled(false);
    }
    ~DisabledWindow() {
        window_.setEnabled(true);
        if (focus_) focus_->setFocus(Qt::OtherFocusReason);
    }
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;

  private:
    QWidget& window_;
    QPointer<QWidget> focus_;
};

}  // namespace

WaveformView::WaveformView(Parts parts, Model model)
    : parts_(parts),
      model_(std::move(model)),
      position_(model_.position),
      renderer_(std::make_unique<WaveformRenderer>(model_.overview)) {}

WaveformView::~WaveformView() = default;

void WaveformView::Connect(Runner run) {
    run_ = std::move(run);
    using Change = void (WaveformView::*)();
    struct Bar {
        QScrollBar* widget;
        ScrollBarState* state;
        Change change;
    };
    for (const Bar& bar :
         {Bar{parts_.horizontal, &horizontalBar_, &WaveformView::ScrollHorizontally},
          Bar{parts_.vertical, &verticalBar_, &WaveformView::ScrollVertically}}) {
        // A click in the track moves by LargeChange, not by the page the thumb shows.
        QObject::connect(
            bar.widget, &QScrollBar::actionTriggered, bar.widget,
            [w = bar.widget, s = bar.state](int action) {
                if (action == QAbstractSlider::SliderPageStepAdd)
                    w->setSliderPosition(w->sliderPosition() - w->pageStep() + s->LargeChange);
                else if (action == QAbstractSlider::SliderPageStepSub)
                    w->setSliderPosition(w->sliderPosition() + w->pageStep() - s->LargeChange);
            });
        QObject::connect(bar.widget, &QScrollBar::valueChanged, bar.widget,
                         [this, s = bar.state, change = bar.change](int value) {
                             if (showingBars_) return;
                             s->Position = value;
                             run_([this, change] { (this->*change)(); });
                         });
    }
    parts_.surface->setFocusPolicy(Qt::ClickFocus);
    parts_.surface->OnPaint = [this](QPainter& painter) { PaintSurface(painter); };
    ResetScrollBars();
}

void WaveformView::PaintSurface(QPainter& painter) {
    if (!model_.loaded()) {
        painter.fillRect(parts_.surface->rect(), DarkGreen);
        return;
    }
    // Only a changed size or content redraws; cursor ticks have drawn into the picture.
    if (image_.size() != parts_.surface->size() || model_.redraw) {
        DrawImage();
        UpdateBlockLabels();
    }
    painter.drawImage(0, 0, image_);
}

void WaveformView::DrawImage() {
    const Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    const QSize size = parts_.surface->size();
    if (size.isEmpty()) return;
    if (image_.size() != size) {
        image_ = QImage(size, QImage::Format_RGB32);
        image_.fill(DarkGreen);
    }
    QPainter painter(&image_);
    PainterCanvas canvas(painter);
    renderer_->DrawWave(canvas, size.width(), model_.redraw, *document, size.height(), Shown());
}

void WaveformView::OnPaint() {
    if (model_.loaded()) DrawImage();
    UpdateBlockLabels();
    parts_.surface->update();
}

void WaveformView::RefreshCursors() {
    const Wave* document = model_.document();
    if (!model_.loaded() || !document || image_.size() != parts_.surface->size()) return;
    QPainter painter(&image_);
    PainterCanvas canvas(painter);
    renderer_->DrawCursors(canvas, image_.width(), *document, image_.height(), Shown());
    parts_.surface->update();
}

void WaveformView::UpdateBlockLabels() {
    const Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    const auto [start, end] = SelectedFrames();
    const std::array<std::int64_t, 4> values = {document->FrameCount(), start, end,
                                                std::llabs(end - start)};
    parts_.blockInfo->Show(values, document->SampleRate());
}

void WaveformView::Paint() {
    Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    {
        DisabledWindow disabled(*parts_.window);
        const std::int64_t start = position_.ViewStart;
        model_.overview.Build(*document, start,
                              start + document->FrameCount() / position_.HorizontalZoom);
    }
    Redraw();
}

void WaveformView::Redraw() {
    model_.redraw = true;
    OnPaint();
}

void WaveformView::ShowScrollBars() {
    showingBars_ = true;
    for (auto [widget, bar] : {std::pair{parts_.horizontal, &horizontalBar_},
                               std::pair{parts_.vertical, &verticalBar_}}) {
        widget->setRange(bar->Min, bar->Max - bar->PageSize + 1);
        widget->setPageStep(bar->PageSize);
        widget->setSingleStep(std::max(bar->SmallChange, 1));
        widget->setValue(bar->Position);
    }
    showingBars_ = false;
}

void WaveformView::ResetScrollBars() {
    horizontalBar_.ShowAll();
    verticalBar_.ShowAll();
    ShowScrollBars();
}

void WaveformView::Reset() {
    position_ = ViewPosition{};
    verticalZoom_ = 1;
    verticalShift_ = 0;
    selection_ = Selection{};
    ResetScrollBars();
}

ViewPosition WaveformView::MoveTo(ViewPosition position) {
    return std::exchange(position_, position);
}

std::pair<std::int64_t, std::int64_t> WaveformView::SelectedFrames() const {
    return {selection_.BlockStart, selection_.BlockEnd};
}

void WaveformView::Select(std::int64_t first, std::int64_t end) {
    selection_.BlockStart = first;
    selection_.BlockEnd = end;
    Redraw();
}

void WaveformView::ClearSelection() {
    selection_.BlockStart = 0;
    selection_.BlockEnd = 0;
}

void WaveformView::ReturnToStart() {
    ClearSelection();
    playPosition_ = 0;
    Redraw();  // the cached drawing still shows the old selection
}

WaveView WaveformView::Shown() const {
    WaveView shown;
    shown.ViewStart = position_.ViewStart;
    shown.HorizontalZoom = position_.HorizontalZoom;
    shown.VerticalZoom = verticalZoom_;
    shown.VerticalShift = verticalShift_;
    shown.BlockStart = selection_.BlockStart;
    shown.BlockEnd = selection_.BlockEnd;
    shown.PlayPosition = playPosition_;
    return shown;
}

void WaveformView::Zoom(ZoomCommand command, bool horizontal) {
    if (!model_.loaded()) return;  // the context menu stays enabled; the view does not
    std::int32_t& factor = horizontal ? position_.HorizontalZoom : verticalZoom_;
    factor = ZoomedFactor(factor, command);
    ZoomScrollBar(horizontal ? horizontalBar_ : verticalBar_, factor, parts_.surface->width());
    if (horizontal) {
        ScrollHorizontally();
    } else {
        ScrollVertically();
    }
}

void WaveformView::ScrollHorizontally() {
    horizontalBar_.Fit();
    ShowScrollBars();
    const Wave* document = model_.document();
    if (!document) return;
    position_.ViewStart =
        ViewStartFor(horizontalBar_, document->FrameCount(), position_.HorizontalZoom);
    Paint();
}

void WaveformView::ScrollVertically() {
    verticalBar_.Fit();
    ShowScrollBars();
    const Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    verticalShift_ = VerShiftFor(verticalBar_, document->Format().BitsPerSample);
    Redraw();
}

void WaveformView::PressAt(double x, bool shift) {
    const Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    selection_.Press(FrameAt(x, parts_.surface->width(), position_.ViewStart,
                             document->FrameCount(), position_.HorizontalZoom),
                     shift);
    Redraw();
}

void WaveformView::DragTo(double x) {
    const Wave* document = model_.document();
    if (!selection_.Dragging || !model_.loaded() || !document) return;
    const std::int64_t n = document->FrameCount();
    selection_.Move(
        FrameAt(x, parts_.surface->width(), position_.ViewStart, n, position_.HorizontalZoom), n);
    Redraw();
}

// Ctrl+wheel: the frame under the pointer stays under it.
void WaveformView::ZoomAround(double x, ZoomCommand command) {
    const Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    const int width = std::max(parts_.surface->width(), 1);
    const std::int64_t n = document->FrameCount();
    ViewPosition& p = position_;
    const std::int64_t frame = FrameAt(x, width, p.ViewStart, n, p.HorizontalZoom);
    p.HorizontalZoom = ZoomedFactor(p.HorizontalZoom, command);
    ZoomScrollBar(horizontalBar_, p.HorizontalZoom, width);
    if (p.HorizontalZoom > 1 && n > 0) {
        const double start =
            static_cast<double>(frame) - x / width * static_cast<double>(n / p.HorizontalZoom);
        const double position = horizontalBar_.Min + start *
                                                         (horizontalBar_.Max - horizontalBar_.Min) /
                                                         static_cast<double>(n);
        horizontalBar_.Position = static_cast<int>(std::clamp(
            std::nearbyint(position), double(horizontalBar_.Min), double(horizontalBar_.Max)));
    }
    ScrollHorizontally();
}

bool WaveformView::HandleEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            const bool shift = mouse->modifiers() & Qt::ShiftModifier;
            run_([this, x = mouse->position().x(), shift] { PressAt(x, shift); });
            return true;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            run_([this, x = mouse->position().x()] { DragTo(x); });
            return true;
        }
        case QEvent::MouseButtonRelease:
            selection_.Release();
            return true;
        case QEvent::Wheel: {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            const int delta =
                wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
            if (delta == 0) return true;
            if (wheel->modifiers() & Qt::ControlModifier) {
                run_([this, x = wheel->position().x(), delta] {
                    ZoomAround(x, delta > 0 ? ZoomCommand::In : ZoomCommand::Out);
                });
            } else {
                const int step =
                    std::max(horizontalBar_.LargeChange / 4, horizontalBar_.SmallChange);
                const int notches = std::max(std::abs(delta) / 120, 1);
                horizontalBar_.Position =
                    std::max(horizontalBar_.Min,
                             horizontalBar_.Position + (delta > 0 ? -1 : 1) * notches * step);
                run_([this] { ScrollHorizontally(); });
            }
            return true;
        }
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Home && key->key() != Qt::Key_End) return false;
            horizontalBar_.Position =
                key->key() == Qt::Key_Home ? horizontalBar_.Min : horizontalBar_.Max;
            run_([this] { ScrollHorizontally(); });
            return true;
        }
        default:
            return false;
    }
}

}  // namespace sv
