#include "app/SpectrumWindow.h"

#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include "app/PaintBox.h"
#include "app/PainterCanvas.h"
#include "app/QtText.h"
#include "picture/SpectrumPicture.h"
#include "text/Language.h"

namespace sv {

namespace {

// How often the main window's settings are looked at: no control there needs to know of this
// window, and a change shows within a blink.
constexpr int WatchMilliseconds = 200;

bool SameLevelling(const RemasterSettings& a, const RemasterSettings& b) {
    return a.Bands == b.Bands && a.Limit == b.Limit && a.ChannelMode == b.ChannelMode &&
           a.BandLevelMode == b.BandLevelMode && a.HighPass == b.HighPass &&
           a.HighPassHz == b.HighPassHz && a.HighPassSlope == b.HighPassSlope &&
           a.LowPass == b.LowPass && a.LowPassKHz == b.LowPassKHz &&
           a.LowPassSlope == b.LowPassSlope;
}

}  // namespace

SpectrumWindow::SpectrumWindow(QWidget* parent, Inputs inputs)
    : QDialog(parent),
      inputs_(std::move(inputs)),
      box_(new PaintBox(this)),
      watch_(new QTimer(this)) {
    setObjectName("spectrumWindow");
    setWindowTitle(Q(Texts().SpectrumViewCaption));
    setSizeGripEnabled(true);
    box_->setObjectName("spectrumView");
    box_->setMinimumSize(320, 160);
    box_->OnPaint = [this](QPainter& painter) { Draw(painter); };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box_);
    resize(640, 320);
    connect(watch_, &QTimer::timeout, this, [this] { CheckInputs(); });
    watch_->start(WatchMilliseconds);
}

SpectrumWindow::~SpectrumWindow() = default;

void SpectrumWindow::Show(Spectrum current) {
    current_ = std::move(current);
    before_.reset();
    box_->update();
}

void SpectrumWindow::ShowChange(Spectrum before, Spectrum after) {
    before_ = std::move(before);
    current_ = std::move(after);
    box_->update();
}

void SpectrumWindow::Measured(const DocumentKey& key, Spectrum spectrum, Spectrum before) {
    measuring_ = false;
    const bool processed = key_ && key_->ProcessingRuns != key.ProcessingRuns && current_;
    if (processed)
        ShowChange(current_, std::move(spectrum));
    else if (before)
        ShowChange(std::move(before), std::move(spectrum));
    else
        Show(std::move(spectrum));
    key_ = key;
}

void SpectrumWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (inputs_.Shown) inputs_.Shown(true);
}

void SpectrumWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (inputs_.Shown) inputs_.Shown(false);
}

void SpectrumWindow::CheckInputs() {
    if (!isVisible()) return;
    if (inputs_.Document && (!key_ || !(*key_ == inputs_.Document())) && !measuring_) {
        // A spectrum already known is handed in before Measure returns.
        measuring_ = true;
        if (!inputs_.Measure()) measuring_ = false;
    }
    const RemasterSettings settings = inputs_.Settings();
    const BinSpectrum& target = inputs_.Target();
    if (shownSettings_ && SameLevelling(*shownSettings_, settings) && shownTarget_ &&
        *shownTarget_ == target)
        return;
    box_->update();
}

void SpectrumWindow::Draw(QPainter& painter) {
    PainterCanvas canvas(painter);
    const int width = box_->width(), height = box_->height();
    shownSettings_ = std::make_unique<RemasterSettings>(inputs_.Settings());
    shownTarget_ = std::make_unique<BinSpectrum>(inputs_.Target());
    if (!current_) {
        painter.fillRect(box_->rect(), DarkGreen);
        return;
    }
    const auto preview = std::make_unique<LevellingPreview>(
        PreviewLevelling(*current_, *shownTarget_, *shownSettings_));
    const auto now =
        std::make_unique<BinSpectrum>(ChannelMean(preview->Measured, current_->Channels));
    auto before = std::make_unique<BinSpectrum>();
    if (before_) {
        std::array<BinSpectrum, 2> measured;
        MixLongTermSpectrum(*before_, shownSettings_->BandLevelMode, measured[0], measured[1]);
        *before = ChannelMean(measured, before_->Channels);
    }
    SpectrumPictureCurves curves;
    curves.SampleRate = current_->SampleRate;
    curves.Spectrum = before_ ? before.get() : now.get();
    curves.After = before_ ? now.get() : nullptr;
    curves.Target = shownTarget_.get();
    curves.Gains = {&preview->Gains[0], current_->Channels > 1 ? &preview->Gains[1] : nullptr};
    DrawSpectrumPicture(canvas, width, height, curves, "Sans", 8);
}

}  // namespace sv
