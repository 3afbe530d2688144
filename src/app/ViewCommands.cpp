// The waveform view: drawing through the renderer, zoom and scroll, mouse selection, block
// delete, the block labels; and the target display's paint.
#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/BlockInfoPanel.h"
#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/PainterCanvas.h"
#include "app/QtText.h"
#include "base/Time.h"
#include "text/Language.h"
#include "view/TargetSpectrumDisplay.h"
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
class DisabledWindow {
  public:
    explicit DisabledWindow(QWidget& window) : window_(window) { window_.setEnabled(false); }
    ~DisabledWindow() { window_.setEnabled(true); }
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;

  private:
    QWidget& window_;
};

}  // namespace

void MainWindow::ConnectViewHandlers() {
    renderer_ = std::make_unique<WaveformRenderer>();
    ConnectViewCommands();
    ConnectScrollBars();
    ConnectPainting();
    ResetScrollBars();
}

// Each view command has a button, an edit menu item and a context menu item.
void MainWindow::ConnectViewCommands() {
    auto& c = *c_;
    using Handler = void (MainWindow::*)();
    struct ViewCommand {
        QToolButton* button;
        QAction* item;
        QAction* popupItem;
        Handler handler;
    };
    const ViewCommand commands[] = {
        {c.horizontalZoomInButton, c.horizontalZoomInAction, c.horizontalZoomInPopupAction,
         &MainWindow::ZoomInHorizontally},
        {c.horizontalZoomOutButton, c.horizontalZoomOutAction, c.horizontalZoomOutPopupAction,
         &MainWindow::ZoomOutHorizontally},
        {c.horizontalZoomResetButton, c.horizontalZoomResetAction, c.horizontalZoomResetPopupAction,
         &MainWindow::ShowWholeWave},
        {c.verticalZoomInButton, c.verticalZoomInAction, c.verticalZoomInPopupAction,
         &MainWindow::ZoomInVertically},
        {c.verticalZoomOutButton, c.verticalZoomOutAction, c.verticalZoomOutPopupAction,
         &MainWindow::ZoomOutVertically},
        {c.verticalZoomResetButton, c.verticalZoomResetAction, c.verticalZoomResetPopupAction,
         &MainWindow::ResetVerticalZoom},
        {c.deleteBlockButton, c.deleteBlockAction, c.deleteBlockPopupAction,
         &MainWindow::DeleteSelectedBlock},
    };
    for (const ViewCommand& command : commands) {
        const Handler handler = command.handler;
        auto run = [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); };
        connect(command.button, &QToolButton::clicked, this, run);
        connect(command.item, &QAction::triggered, this, run);
        connect(command.popupItem, &QAction::triggered, this, run);
    }
}

void MainWindow::ConnectScrollBars() {
    auto& c = *c_;
    using Handler = void (MainWindow::*)();
    struct Bar {
        QScrollBar* widget;
        ScrollBarState* state;
        Handler change;
    };
    for (const Bar& bar :
         {Bar{c.waveHorizontalScroll, &horizontalBar_, &MainWindow::ScrollHorizontally},
          Bar{c.waveVerticalScroll, &verticalBar_, &MainWindow::ScrollVertically}}) {
        // A click in the track moves by LargeChange, not by the page the thumb shows.
        connect(bar.widget, &QScrollBar::actionTriggered, this,
                [w = bar.widget, s = bar.state](int action) {
                    if (action == QAbstractSlider::SliderPageStepAdd)
                        w->setSliderPosition(w->sliderPosition() - w->pageStep() + s->LargeChange);
                    else if (action == QAbstractSlider::SliderPageStepSub)
                        w->setSliderPosition(w->sliderPosition() + w->pageStep() - s->LargeChange);
                });
        connect(bar.widget, &QScrollBar::valueChanged, this,
                [this, s = bar.state, change = bar.change](int value) {
                    if (showingBars_) return;
                    s->Position = value;
                    RunCommand([this, change] { (this->*change)(); });
                });
    }
}

void MainWindow::ConnectPainting() {
    auto& c = *c_;
    c.waveView->installEventFilter(this);
    c.waveView->setFocusPolicy(Qt::ClickFocus);
    c.waveView->OnPaint = [this](QPainter& painter) {
        if (!state_.WaveLoaded) {
            painter.fillRect(c_->waveView->rect(), DarkGreen);
            return;
        }
        // Only a changed size or content redraws; cursor ticks have drawn into the picture.
        if (waveImage_.size() != c_->waveView->size() || state_.RedrawWave) {
            DrawWaveImage();
            UpdateBlockLabels();
        }
        painter.drawImage(0, 0, waveImage_);
    };
    c.targetView->OnPaint = [this](QPainter& painter) {
        PainterCanvas canvas(painter);
        DrawTargetSpectrum(canvas, c_->targetView->width(), c_->targetView->height(),
                           state_.SpectraShared.Target, state_.FlatSpectrum, PassSettings());
    };
}

void MainWindow::DrawWaveImage() {
    if (!state_.WaveLoaded || !state_.Document) return;
    const QSize size = c_->waveView->size();
    if (size.isEmpty()) return;
    if (waveImage_.size() != size) {
        waveImage_ = QImage(size, QImage::Format_RGB32);
        waveImage_.fill(DarkGreen);
    }
    QPainter painter(&waveImage_);
    PainterCanvas canvas(painter);
    renderer_->DrawWave(canvas, size.width(), state_.RedrawWave, *state_.Document, size.height(),
                        ViewOf(state_.View));
}

void MainWindow::OnPaint() {
    if (state_.WaveLoaded) DrawWaveImage();
    UpdateBlockLabels();
    c_->waveView->update();
}

void MainWindow::RefreshCursors() {
    if (!state_.WaveLoaded || !state_.Document || waveImage_.size() != c_->waveView->size()) return;
    QPainter painter(&waveImage_);
    PainterCanvas canvas(painter);
    renderer_->DrawCursors(canvas, waveImage_.width(), *state_.Document, waveImage_.height(),
                           ViewOf(state_.View));
    c_->waveView->update();
}

void MainWindow::UpdateBlockLabels() {
    if (!state_.WaveLoaded || !state_.Document) return;
    const Wave& wave = *state_.Document;
    const std::array<std::int64_t, 4> values = {
        wave.FrameCount(), state_.View.BlockStart, state_.View.BlockEnd,
        std::llabs(state_.View.BlockEnd - state_.View.BlockStart)};
    c_->blockInfo->Show(values, wave.SampleRate());
}

void MainWindow::Paint() {
    if (!state_.WaveLoaded || !state_.Document) return;
    {
        DisabledWindow disabled(*this);
        Wave& wave = *state_.Document;
        const std::int64_t start = state_.View.Position.ViewStart;
        wave.BuildOverview(start, start + wave.FrameCount() / state_.View.Position.HorizontalZoom);
    }
    state_.RedrawWave = true;
    OnPaint();
}

void MainWindow::ShowScrollBars() {
    showingBars_ = true;
    for (auto [widget, bar] : {std::pair{c_->waveHorizontalScroll, &horizontalBar_},
                               std::pair{c_->waveVerticalScroll, &verticalBar_}}) {
        widget->setRange(bar->Min, bar->Max - bar->PageSize + 1);
        widget->setPageStep(bar->PageSize);
        widget->setSingleStep(std::max(bar->SmallChange, 1));
        widget->setValue(bar->Position);
    }
    showingBars_ = false;
}

void MainWindow::ResetScrollBars() {
    horizontalBar_.ShowAll();
    verticalBar_.ShowAll();
    ShowScrollBars();
}

void MainWindow::ZoomStep(ZoomCommand command, bool horizontal) {
    if (!state_.WaveLoaded) return;  // the context menu stays enabled; the view does not
    std::int32_t& factor =
        horizontal ? state_.View.Position.HorizontalZoom : state_.View.VerticalZoom;
    factor = ZoomedFactor(factor, command);
    ZoomScrollBar(horizontal ? horizontalBar_ : verticalBar_, factor, c_->waveView->width());
    if (horizontal) {
        ScrollHorizontally();
    } else {
        ScrollVertically();
    }
}

void MainWindow::ZoomInHorizontally() { ZoomStep(ZoomCommand::In, true); }
void MainWindow::ZoomOutHorizontally() { ZoomStep(ZoomCommand::Out, true); }
void MainWindow::ShowWholeWave() { ZoomStep(ZoomCommand::Whole, true); }
void MainWindow::ZoomInVertically() { ZoomStep(ZoomCommand::In, false); }
void MainWindow::ZoomOutVertically() { ZoomStep(ZoomCommand::Out, false); }
void MainWindow::ResetVerticalZoom() { ZoomStep(ZoomCommand::Whole, false); }

void MainWindow::ScrollHorizontally() {
    horizontalBar_.Fit();
    ShowScrollBars();
    if (!state_.Document) return;
    state_.View.Position.ViewStart = ViewStartFor(horizontalBar_, state_.Document->FrameCount(),
                                                  state_.View.Position.HorizontalZoom);
    Paint();
}

void MainWindow::ScrollVertically() {
    verticalBar_.Fit();
    ShowScrollBars();
    if (!state_.WaveLoaded || !state_.Document) return;
    state_.View.VerticalShift = VerShiftFor(verticalBar_, state_.Document->BitsPerSample());
    state_.RedrawWave = true;
    OnPaint();
}

void MainWindow::PressOnWave(double x, bool shift) {
    if (!state_.WaveLoaded || !state_.Document) return;
    ViewState& v = state_.View;
    const std::int64_t d = FrameAt(x, c_->waveView->width(), v.Position.ViewStart,
                                   state_.Document->FrameCount(), v.Position.HorizontalZoom);
    Selection selection{v.BlockStart, v.BlockEnd, v.Dragging};
    selection.Press(d, shift);
    v.BlockStart = selection.BlockStart;
    v.BlockEnd = selection.BlockEnd;
    v.Dragging = selection.Dragging;
    state_.RedrawWave = true;
    OnPaint();
}

void MainWindow::MoveOverWave(double x) {
    ViewState& v = state_.View;
    if (!v.Dragging || !state_.WaveLoaded || !state_.Document) return;
    const std::int64_t n = state_.Document->FrameCount();
    const std::int64_t e =
        FrameAt(x, c_->waveView->width(), v.Position.ViewStart, n, v.Position.HorizontalZoom);
    Selection selection{v.BlockStart, v.BlockEnd, v.Dragging};
    selection.Move(e, n);
    v.BlockStart = selection.BlockStart;
    v.BlockEnd = selection.BlockEnd;
    state_.RedrawWave = true;
    OnPaint();
}

void MainWindow::ReleaseOnWave() { state_.View.Dragging = false; }

void MainWindow::DeleteSelectedBlock() {
    if (!state_.Document) return;
    StopPlayback();
    Wave& wave = *state_.Document;
    wave.DeleteBlock(state_.View.BlockStart, state_.View.BlockEnd);
    state_.WaveLoaded = wave.HasData();
    EnableCommands(state_.WaveLoaded);
    state_.View.BlockStart = 0;
    state_.View.BlockEnd = 0;
    ScrollHorizontally();
    state_.Flags.DataSaved = false;
    // The status bar follows the document's new length; the loudness shown no longer holds.
    SetPanel(0, Texts().SampleCountPanel + ": " + std::to_string(wave.FrameCount()));
    SetPanel(5, Texts().LoudnessCaption + ":");
}

// Ctrl+wheel: the frame under the pointer stays under it.
void MainWindow::ZoomAround(double x, ZoomCommand command) {
    if (!state_.WaveLoaded || !state_.Document) return;
    const int width = std::max(c_->waveView->width(), 1);
    const std::int64_t n = state_.Document->FrameCount();
    ViewPosition& p = state_.View.Position;
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

bool MainWindow::ViewEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            const bool shift = mouse->modifiers() & Qt::ShiftModifier;
            RunCommand([this, x = mouse->position().x(), shift] { PressOnWave(x, shift); });
            return true;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            RunCommand([this, x = mouse->position().x()] { MoveOverWave(x); });
            return true;
        }
        case QEvent::MouseButtonRelease:
            ReleaseOnWave();
            return true;
        case QEvent::Wheel: {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            const int delta =
                wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
            if (delta == 0) return true;
            if (wheel->modifiers() & Qt::ControlModifier) {
                RunCommand([this, x = wheel->position().x(), delta] {
                    ZoomAround(x, delta > 0 ? ZoomCommand::In : ZoomCommand::Out);
                });
            } else {
                const int step =
                    std::max(horizontalBar_.LargeChange / 4, horizontalBar_.SmallChange);
                const int notches = std::max(std::abs(delta) / 120, 1);
                horizontalBar_.Position =
                    std::max(horizontalBar_.Min,
                             horizontalBar_.Position + (delta > 0 ? -1 : 1) * notches * step);
                RunCommand([this] { ScrollHorizontally(); });
            }
            return true;
        }
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Home && key->key() != Qt::Key_End) return false;
            horizontalBar_.Position =
                key->key() == Qt::Key_Home ? horizontalBar_.Min : horizontalBar_.Max;
            RunCommand([this] { ScrollHorizontally(); });
            return true;
        }
        default:
            return false;
    }
}

}  // namespace sv
