// Remove noise, Fit peak, Normalize, Remaster It and Detect on the current document.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <cmath>
#include <cstdio>

#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/StageOptionsPanel.h"
#include "app/TimbrePanel.h"
#include "dsp/RemasterChain.h"
#include "loudness/LoudnessMeter.h"
#include "text/Language.h"

namespace sv {

void MainWindow::OperationEnded(WalkResult result, bool replaced) {
    state_.Flags.Cancelled = result == WalkResult::Cancelled;
    state_.RedrawWave = replaced;
    if (replaced) state_.Flags.DataSaved = false;
    if (replaced) ShowLoudness();
}

void MainWindow::OperationEnded(WalkResult result) {
    OperationEnded(result, result == WalkResult::Completed);
}

void MainWindow::Normalize() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        if (c_->stages->NormalizeByLoudness()) {
            const bool done = NormalizeToLoudness(state_.Document);
            OperationEnded(done ? WalkResult::Completed : WalkResult::Cancelled);
        } else {
            OperationEnded(engine_->Normalize(state_.Document, c_->stages->NormalizeDb(),
                                              c_->stages->NormalizePerChannel()));
        }
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
}

namespace {

// "−1" with a typographic minus, as the note is worded.
std::string CeilingText(double dbtp) {
    char number[32];
    std::snprintf(number, sizeof number, "%g", std::fabs(dbtp));
    return (dbtp < 0 ? "\u2212" : "") + std::string(number);
}

}  // namespace

bool MainWindow::NormalizeToLoudness(std::unique_ptr<Wave>& document) {
    LoudnessGain gain;
    auto normalized =
        NormalizeLoudness(*document, c_->stages->NormalizeLufs(), c_->stages->TruePeakMax(), &gain,
                          {Texts().MeasuringLoudnessTitle, Texts().NormalizingLoudnessTitle});
    if (!normalized) return false;
    document = std::move(normalized);
    if (gain.HeldByTruePeak)
        loudnessHeldNote_ =
            "held by the " + CeilingText(c_->stages->TruePeakMax()) + " dBTP ceiling";
    return true;
}

void MainWindow::ShowLoudness() {
    const std::string caption = Texts().LoudnessCaption + ":";
    if (!state_.WaveLoaded || !state_.Document) return SetPanel(5, caption);
    SetPanel(5, caption + " ...");
    std::optional<LoudnessFigures> figures;
    try {
        figures = MeasureLoudness(*state_.Document, {Texts().MeasuringLoudnessTitle, {}});
    } catch (const LoudnessUnavailable&) {
        // a format the meter refuses simply shows no figures; read errors still reach the user
    }
    std::string text = figures ? caption + " " + LoudnessText(*figures) : caption;
    if (!loudnessHeldNote_.empty()) text += ", " + loudnessHeldNote_;
    loudnessHeldNote_.clear();
    SetPanel(5, text);
}

void MainWindow::RemoveNoise() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        const WalkResult result =
            RunRemoveNoise(*engine_, state_.Document, ReadSettings(), state_.SpectraShared);
        state_.Flags.Cancelled = result == WalkResult::Cancelled;
        if (result == WalkResult::Completed) OperationEnded(result);
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
}

void MainWindow::FitPeaks() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        OperationEnded(
            engine_->FitPeaks(state_.Document, c_->stages->PeakCount(), state_.PeakBlockSize));
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
}

void MainWindow::Remaster() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        RemasterSettings settings = ReadSettings();
        // Loudness normalizing runs after the chain, in place of its peak normalizing.
        const bool byLoudness = settings.Normalize && c_->stages->NormalizeByLoudness();
        if (byLoudness) settings.Normalize = false;
        StagesOutcome outcome =
            RunRemasterIt(*engine_, state_.Document, settings, state_.SpectraShared);
        // As the last stage it runs even after an earlier stage was cancelled.
        if (byLoudness) {
            const bool done = NormalizeToLoudness(state_.Document);
            outcome.Result = done ? WalkResult::Completed : WalkResult::Cancelled;
            outcome.Replaced = outcome.Replaced || done;
        }
        OperationEnded(outcome.Result, outcome.Replaced);
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
}

void MainWindow::DetectTimbre() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        const bool ready =
            RunDetect(*engine_, *state_.Document, state_.BandLevelMode, state_.SpectraShared);
        state_.Flags.Cancelled = !ready;
        if (ready) {
            c_->timbre->ClearStoredName();
            state_.SpectraShared.Target = state_.SpectraShared.Example;
            c_->timbre->SelectDetected();
            c_->targetView->update();
        }
        EnableCommands(state_.WaveLoaded);
    });
}

}  // namespace sv
