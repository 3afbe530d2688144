#include "app/SpectrumController.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

#include "app/QtText.h"
#include "dsp/Engine.h"
#include "dsp/StageLength.h"
#include "text/Language.h"

namespace sv {

SpectrumController::SpectrumController(CommandHost& host, const DocumentState& state,
                                       SharedSpectra& spectra, Parts parts)
    : host_(host), state_(state), spectra_(spectra), parts_(std::move(parts)) {
    auto* action = new QAction(Q(Texts().SpectrumViewCaption), &parts_.window);
    action->setObjectName("spectrumAction");
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    parts_.menu.addSeparator();
    parts_.menu.addAction(action);
    parts_.window.addAction(action);  // the shortcut works with the menu closed
    QObject::connect(action, &QAction::triggered, [this] { Open(); });
}

// The window asks this controller for its inputs: it goes first.
SpectrumController::~SpectrumController() { delete window_.data(); }

void SpectrumController::Open() {
    if (!window_) {
        window_ = new SpectrumWindow(
            &parts_.window,
            {parts_.settings, [this]() -> const BinSpectrum& { return spectra_.Target; },
             [this] { return Key(); }, [this] { return Measure(); },
             [this](bool shown) { spectra_.GatherOutput = shown; }});
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

SpectrumWindow::DocumentKey SpectrumController::Key() const {
    if (!state_.WaveLoaded || !state_.Document) return {0, 0, state_.ProcessingRuns};
    return {state_.Document->Identity(), state_.Document->FrameCount(), state_.ProcessingRuns};
}

bool SpectrumController::Measure() {
    bool started = false;
    host_.RunCommand([this, &started](const Command& command) {
        started = true;
        const SpectrumWindow::DocumentKey key = Key();
        // Too short to measure: nothing to show, as with no document.
        if (key.Id == 0 || key.Frames < MinimumFramesToMeasure()) {
            if (window_) window_->Measured(key, nullptr);
            return;
        }
        // No command lends the spectra now: the window is open, the next chain gathers its output.
        SharedSpectra& known = spectra_;
        known.GatherOutput = true;
        if (known.Output.Describes(*state_.Document)) {
            // Input then holds the spectrum of the document the chain started from.
            const bool before = !known.Input.Describes(*state_.Document);
            if (window_)
                window_->Measured(key, known.Output.Spectrum,
                                  before ? known.Input.Spectrum : nullptr);
            return;
        }
        if (known.Input.Describes(*state_.Document)) {
            if (window_) window_->Measured(key, known.Input.Spectrum);
            return;
        }
        host_.RunOnDocument(
            command,
            [engine = &parts_.engine](LentDocument& lent) {
                auto spectrum = std::make_shared<LongTermSpectrum>();
                if (engine->MeasureLongTermSpectrum(*lent.Document, *spectrum) ==
                    WalkResult::Cancelled)
                    return SpectrumWindow::Spectrum();
                // Spares the next levelling its reading pass over this very document.
                lent.Spectra.Input = KnownSpectrumOf(*lent.Document, spectrum);
                return SpectrumWindow::Spectrum(std::move(spectrum));
            },
            [this, key](SpectrumWindow::Spectrum spectrum) {
                if (window_) window_->Measured(key, std::move(spectrum));
            });
    });
    return started;
}

}  // namespace sv
