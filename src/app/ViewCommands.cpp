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

#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/PainterCanvas.h"
#include "app/wav_p.h"
#include "base/MyTime.h"
#include "text/Language.h"
#include "view/TargetSpectrumDisplay.h"
#include "view/WaveformRenderer.h"

namespace sv {

namespace {

TWaveView ViewOf(const TViewState& v) {
    TWaveView view;
    view.ViewStart = v.Position.ViewStart;
    view.HorZoom = v.Position.HorZoom;
    view.VerZoom = v.VerZoom;
    view.VerShift = v.VerShift;
    view.BlockStart = v.BlockStart;
    view.BlockEnd = v.BlockEnd;
    view.PlayPosition = v.PlayPosition;
    return view;
}

// Keeps the window disabled while the overview is rebuilt, however the rebuild ends.
class TDisabledWindow {
  public:
    explicit TDisabledWindow(QWidget& window) : window_(window) { window_.setEnabled(false); }
    ~TDisabledWindow() { window_.setEnabled(true); }
    TDisabledWindow(const TDisabledWindow&) = delete;
    TDisabledWindow& operator=(const TDisabledWindow&) = delete;

  private:
    QWidget& window_;
};

}  // namespace

void TRemastering::ConnectViewHandlers() {
    auto& c = *c_;
    renderer_ = std::make_unique<TWaveformRenderer>();
    using Handler = void (TRemastering::*)();
    struct TCommand {
        QToolButton* button;
        QAction* item;
        QAction* popupItem;
        Handler handler;
    };
    const TCommand commands[] = {
        {c.BbLupHorPlus, c.MeLupHorPlus, c.MeLupHorPlusP, &TRemastering::BbLupHorPlusClick},
        {c.BbLupHorMinus, c.MeLupHorMinus, c.MeLupHorMinusP, &TRemastering::BbLupHorMinusClick},
        {c.BbLupHor, c.MeLupHor, c.MeLupHorP, &TRemastering::BbLupHorClick},
        {c.BbLupVerPlus, c.MeLupVerPlus, c.MeLupVerPlusP, &TRemastering::BbLupVerPlusClick},
        {c.BbLupVerMinus, c.MeLupVerMinus, c.MeLupVerMinusP, &TRemastering::BbLupVerMinusClick},
        {c.BbLupVer, c.MeLupVer, c.MeLupVerP, &TRemastering::BbLupVerClick},
        {c.BbDel, c.MeDelete, c.MeDeleteP, &TRemastering::BbDelClick},
    };
    for (const TCommand& command : commands) {
        const Handler handler = command.handler;
        auto run = [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); };
        connect(command.button, &QToolButton::clicked, this, run);
        connect(command.item, &QAction::triggered, this, run);
        connect(command.popupItem, &QAction::triggered, this, run);
    }

    struct TBar {
        QScrollBar* widget;
        TScrollBarState* state;
        Handler change;
    };
    for (const TBar& bar :
         {TBar{c.SbHorizontal, &horizontalBar_, &TRemastering::SbHorizontalChange},
          TBar{c.SbVertikal, &verticalBar_, &TRemastering::SbVertikalChange}}) {
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

    c.PaintBox1->installEventFilter(this);
    c.PaintBox1->setFocusPolicy(Qt::ClickFocus);
    c.PaintBox1->OnPaint = [this](QPainter& painter) {
        if (!state_.WaveLoaded) {
            painter.fillRect(c_->PaintBox1->rect(), DarkGreen);
            return;
        }
        // Only a changed size or content redraws; cursor ticks have drawn into the picture.
        if (waveImage_.size() != c_->PaintBox1->size() || state_.RedrawWave) {
            DrawWaveImage();
            UpdateBlockLabels();
        }
        painter.drawImage(0, 0, waveImage_);
    };
    c.PaintBox2->OnPaint = [this](QPainter& painter) {
        TPainterCanvas canvas(painter);
        DrawTargetSpectrum(canvas, c_->PaintBox2->width(), c_->PaintBox2->height(),
                           state_.Spectra.Target, state_.FlatSpectrum, PassSettings());
    };
    ResetScrollBars();
}

TPassSettings TRemastering::PassSettings() const {
    TPassSettings pass;
    pass.highPassOn = c_->ChHiPass->isChecked();
    pass.highPassHz = c_->SpHiPass->value();
    pass.highPassOrder = c_->SpHiDrop->value();
    pass.lowPassOn = c_->ChLoPass->isChecked();
    pass.lowPassKHz = c_->SpLoPass->value();
    pass.lowPassOrder = c_->SpLoDrop->value();
    return pass;
}

void TRemastering::DrawWaveImage() {
    if (!state_.WaveLoaded || !state_.Wave) return;
    const QSize size = c_->PaintBox1->size();
    if (size.isEmpty()) return;
    if (waveImage_.size() != size) {
        waveImage_ = QImage(size, QImage::Format_RGB32);
        waveImage_.fill(DarkGreen);
    }
    QPainter painter(&waveImage_);
    TPainterCanvas canvas(painter);
    renderer_->DrawWave(canvas, size.width(), state_.RedrawWave, *state_.Wave, size.height(),
                        ViewOf(state_.View));
}

void TRemastering::OnPaint() {
    if (state_.WaveLoaded) DrawWaveImage();
    UpdateBlockLabels();
    c_->PaintBox1->update();
}

void TRemastering::RefreshCursors() {
    if (!state_.WaveLoaded || !state_.Wave || waveImage_.size() != c_->PaintBox1->size()) return;
    QPainter painter(&waveImage_);
    TPainterCanvas canvas(painter);
    renderer_->DrawCursors(canvas, waveImage_.width(), *state_.Wave, waveImage_.height(),
                           ViewOf(state_.View));
    c_->PaintBox1->update();
}

void TRemastering::UpdateBlockLabels() {
    if (!state_.WaveLoaded || !state_.Wave) return;
    const TWave& wave = *state_.Wave;
    const std::int64_t values[] = {wave.SampleCount(), state_.View.BlockStart, state_.View.BlockEnd,
                                   std::llabs(state_.View.BlockEnd - state_.View.BlockStart)};
    for (int row = 0; row < 4; ++row) {
        c_->BlockValues[static_cast<std::size_t>(row)]->setText(QString::number(values[row]));
        c_->BlockValues[static_cast<std::size_t>(row + 4)]->setText(
            QString::fromStdString(DurationText(values[row], wave.SampleRate())));
    }
}

void TRemastering::Paint() {
    if (!state_.WaveLoaded || !state_.Wave) return;
    {
        TDisabledWindow disabled(*this);
        TWave& wave = *state_.Wave;
        const std::int64_t start = state_.View.Position.ViewStart;
        wave.BuildOverview(start, start + wave.SampleCount() / state_.View.Position.HorZoom);
    }
    state_.RedrawWave = true;
    OnPaint();
}

void TRemastering::ShowScrollBars() {
    showingBars_ = true;
    for (auto [widget, bar] :
         {std::pair{c_->SbHorizontal, &horizontalBar_}, std::pair{c_->SbVertikal, &verticalBar_}}) {
        widget->setRange(bar->Min, bar->Max - bar->PageSize + 1);
        widget->setPageStep(bar->PageSize);
        widget->setSingleStep(std::max(bar->SmallChange, 1));
        widget->setValue(bar->Position);
    }
    showingBars_ = false;
}

void TRemastering::ResetScrollBars() {
    horizontalBar_.ShowAll();
    verticalBar_.ShowAll();
    ShowScrollBars();
}

void TRemastering::ZoomStep(TZoomCommand command, bool horizontal) {
    if (!state_.WaveLoaded) return;  // the context menu stays enabled; the view does not
    std::int32_t& factor = horizontal ? state_.View.Position.HorZoom : state_.View.VerZoom;
    factor = ZoomedFactor(factor, command);
    ZoomScrollBar(horizontal ? horizontalBar_ : verticalBar_, factor, c_->PaintBox1->width());
    if (horizontal) {
        SbHorizontalChange();
    } else {
        SbVertikalChange();
    }
}

void TRemastering::BbLupHorPlusClick() { ZoomStep(TZoomCommand::In, true); }
void TRemastering::BbLupHorMinusClick() { ZoomStep(TZoomCommand::Out, true); }
void TRemastering::BbLupHorClick() { ZoomStep(TZoomCommand::Whole, true); }
void TRemastering::BbLupVerPlusClick() { ZoomStep(TZoomCommand::In, false); }
void TRemastering::BbLupVerMinusClick() { ZoomStep(TZoomCommand::Out, false); }
void TRemastering::BbLupVerClick() { ZoomStep(TZoomCommand::Whole, false); }

void TRemastering::SbHorizontalChange() {
    horizontalBar_.Fit();
    ShowScrollBars();
    if (!state_.Wave) return;
    state_.View.Position.ViewStart =
        ViewStartFor(horizontalBar_, state_.Wave->SampleCount(), state_.View.Position.HorZoom);
    Paint();
}

void TRemastering::SbVertikalChange() {
    verticalBar_.Fit();
    ShowScrollBars();
    if (!state_.WaveLoaded || !state_.Wave) return;
    state_.View.VerShift = VerShiftFor(verticalBar_, state_.Wave->BitsPerSample());
    state_.RedrawWave = true;
    OnPaint();
}

void TRemastering::PaintBox1MouseDown(double x, bool shift) {
    if (!state_.WaveLoaded || !state_.Wave) return;
    TViewState& v = state_.View;
    const std::int64_t d = FrameAt(x, c_->PaintBox1->width(), v.Position.ViewStart,
                                   state_.Wave->SampleCount(), v.Position.HorZoom);
    TSelection selection{v.BlockStart, v.BlockEnd, v.DragFlag};
    selection.Press(d, shift);
    v.BlockStart = selection.BlockStart;
    v.BlockEnd = selection.BlockEnd;
    v.DragFlag = selection.Dragging;
    state_.RedrawWave = true;
    OnPaint();
}

void TRemastering::PaintBox1MouseMove(double x) {
    TViewState& v = state_.View;
    if (!v.DragFlag || !state_.WaveLoaded || !state_.Wave) return;
    const std::int64_t n = state_.Wave->SampleCount();
    const std::int64_t e =
        FrameAt(x, c_->PaintBox1->width(), v.Position.ViewStart, n, v.Position.HorZoom);
    TSelection selection{v.BlockStart, v.BlockEnd, v.DragFlag};
    selection.Move(e, n);
    v.BlockStart = selection.BlockStart;
    v.BlockEnd = selection.BlockEnd;
    state_.RedrawWave = true;
    OnPaint();
}

void TRemastering::PaintBox1MouseUp() { state_.View.DragFlag = false; }

void TRemastering::BbDelClick() {
    if (!state_.Wave) return;
    BtStopClick();
    TWave& wave = *state_.Wave;
    wave.DeleteBlock(state_.View.BlockStart, state_.View.BlockEnd);
    state_.WaveLoaded = wave.HasData();
    Available(state_.WaveLoaded);
    state_.View.BlockStart = 0;
    state_.View.BlockEnd = 0;
    SbHorizontalChange();
    state_.Flags.DataSaved = false;
    // The status bar follows the document's new length.
    SetPanel(0, Texts().CaStatBar0 + ": " + std::to_string(wave.SampleCount()));
}

// Ctrl+wheel: the frame under the pointer stays under it.
void TRemastering::ZoomAround(double x, TZoomCommand command) {
    if (!state_.WaveLoaded || !state_.Wave) return;
    const int width = std::max(c_->PaintBox1->width(), 1);
    const std::int64_t n = state_.Wave->SampleCount();
    TViewPosition& p = state_.View.Position;
    const std::int64_t frame = FrameAt(x, width, p.ViewStart, n, p.HorZoom);
    p.HorZoom = ZoomedFactor(p.HorZoom, command);
    ZoomScrollBar(horizontalBar_, p.HorZoom, width);
    if (p.HorZoom > 1 && n > 0) {
        const double start =
            static_cast<double>(frame) - x / width * static_cast<double>(n / p.HorZoom);
        const double position = horizontalBar_.Min + start *
                                                         (horizontalBar_.Max - horizontalBar_.Min) /
                                                         static_cast<double>(n);
        horizontalBar_.Position = static_cast<int>(std::clamp(
            std::nearbyint(position), double(horizontalBar_.Min), double(horizontalBar_.Max)));
    }
    SbHorizontalChange();
}

bool TRemastering::ViewEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            const bool shift = mouse->modifiers() & Qt::ShiftModifier;
            RunCommand([this, x = mouse->position().x(), shift] { PaintBox1MouseDown(x, shift); });
            return true;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            RunCommand([this, x = mouse->position().x()] { PaintBox1MouseMove(x); });
            return true;
        }
        case QEvent::MouseButtonRelease:
            PaintBox1MouseUp();
            return true;
        case QEvent::Wheel: {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            const int delta =
                wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
            if (delta == 0) return true;
            if (wheel->modifiers() & Qt::ControlModifier) {
                RunCommand([this, x = wheel->position().x(), delta] {
                    ZoomAround(x, delta > 0 ? TZoomCommand::In : TZoomCommand::Out);
                });
            } else {
                const int step =
                    std::max(horizontalBar_.LargeChange / 4, horizontalBar_.SmallChange);
                const int notches = std::max(std::abs(delta) / 120, 1);
                horizontalBar_.Position =
                    std::max(horizontalBar_.Min,
                             horizontalBar_.Position + (delta > 0 ? -1 : 1) * notches * step);
                RunCommand([this] { SbHorizontalChange(); });
            }
            return true;
        }
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Home && key->key() != Qt::Key_End) return false;
            horizontalBar_.Position =
                key->key() == Qt::Key_Home ? horizontalBar_.Min : horizontalBar_.Max;
            RunCommand([this] { SbHorizontalChange(); });
            return true;
        }
        default:
            return false;
    }
}

}  // namespace sv
