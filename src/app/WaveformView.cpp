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
#include "view/WaveformRenderer.h"

namespace sv {

namespace {

WaveView ViewOf(const ViewState& v) {
    WaveView view;
    view.ViewStart = v.Position.ViewStart;
    view.HorizontalZoom = v.Position.HorizontalZoom;
    view.VerticalZoom = v.VerticalZoom;
    view.VerticalShift = v.VerticalShift;
    view.BlockStart = v.BlockStart;
    view.BlockEnd = v.BlockEnd;
    view.PlayPosition = v.PlayPosition;
    return view;
}

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
      view_(model_.view),
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
    renderer_->DrawWave(canvas, size.width(), model_.redraw, *document, size.height(),
                        ViewOf(view_));
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
    renderer_->DrawCursors(canvas, image_.width(), *document, image_.height(), ViewOf(view_));
    parts_.surface->update();
}

void WaveformView::UpdateBlockLabels() {
    const Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    const std::array<std::int64_t, 4> values = {document->FrameCount(), view_.BlockStart,
                                                view_.BlockEnd,
                                                std::llabs(view_.BlockEnd - view_.BlockStart)};
    parts_.blockInfo->Show(values, document->SampleRate());
}

void WaveformView::Paint() {
    Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    {
        DisabledWindow disabled(*parts_.window);
        const std::int64_t start = view_.Position.ViewStart;
        model_.overview.Build(*document, start,
                              start + document->FrameCount() / view_.Position.HorizontalZoom);
    }
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
    view_.Reset();
    ResetScrollBars();
}

std::pair<std::int64_t, std::int64_t> WaveformView::SelectedFrames() const {
    return {view_.BlockStart, view_.BlockEnd};
}

void WaveformView::ClearSelection() {
    view_.BlockStart = 0;
    view_.BlockEnd = 0;
}

ViewPosition WaveformView::MoveTo(ViewPosition position) {
    return std::exchange(view_.Position, position);
}

void WaveformView::Zoom(ZoomCommand command, bool horizontal) {
    if (!model_.loaded()) return;  // the context menu stays enabled; the view does not
    std::int32_t& factor = horizontal ? view_.Position.HorizontalZoom : view_.VerticalZoom;
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
    view_.Position.ViewStart =
        ViewStartFor(horizontalBar_, document->FrameCount(), view_.Position.HorizontalZoom);
    Paint();
}

void WaveformView::ScrollVertically() {
    verticalBar_.Fit();
    ShowScrollBars();
    const Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    view_.VerticalShift = VerShiftFor(verticalBar_, document->Format().BitsPerSample);
    model_.redraw = true;
    OnPaint();
}

void WaveformView::PressAt(double x, bool shift) {
    const Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    const std::int64_t d = FrameAt(x, parts_.surface->width(), view_.Position.ViewStart,
                                   document->FrameCount(), view_.Position.HorizontalZoom);
    Selection selection{view_.BlockStart, view_.BlockEnd, view_.Dragging};
    selection.Press(d, shift);
    view_.BlockStart = selection.BlockStart;
    view_.BlockEnd = selection.BlockEnd;
    view_.Dragging = selection.Dragging;
    model_.redraw = true;
    OnPaint();
}

void WaveformView::MoveTo(double x) {
    const Wave* document = model_.document();
    if (!view_.Dragging || !model_.loaded() || !document) return;
    const std::int64_t n = document->FrameCount();
    const std::int64_t e = FrameAt(x, parts_.surface->width(), view_.Position.ViewStart, n,
                                   view_.Position.HorizontalZoom);
    Selection selection{view_.BlockStart, view_.BlockEnd, view_.Dragging};
    selection.Move(e, n);
    view_.BlockStart = selection.BlockStart;
    view_.BlockEnd = selection.BlockEnd;
    model_.redraw = true;
    OnPaint();
}

// Ctrl+wheel: the frame under the pointer stays under it.
void WaveformView::ZoomAround(double x, ZoomCommand command) {
    const Wave* document = model_.document();
    if (!model_.loaded() || !document) return;
    const int width = std::max(parts_.surface->width(), 1);
    const std::int64_t n = document->FrameCount();
    ViewPosition& p = view_.Position;
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
            run_([this, x = mouse->position().x()] { MoveTo(x); });
            return true;
        }
        case QEvent::MouseButtonRelease:
            view_.Dragging = false;
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
