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
        // The normalizing stage alone, by peak or by loudness, checked or not.
        RemasterSettings settings = ReadSettings();
        const bool byLoudness = c_->stages->NormalizeByLoudness();
        settings.RemoveNoise = settings.Levelling = settings.FitPeaks = false;
        settings.Normalize = !byLoudness;
        if (byLoudness)
            settings.Loudness = LoudnessTarget{static_cast<double>(c_->stages->NormalizeLufs()),
                                               static_cast<double>(c_->stages->TruePeakMax())};
        const ChainOutcome outcome =
            RunChain(*engine_, state_.Document, settings, state_.SpectraShared);
        NoteLoudness(outcome);
        OperationEnded(outcome.Result, outcome.Replaced);
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

void MainWindow::NoteLoudness(const ChainOutcome& outcome) {
    if (outcome.Loudness && outcome.Loudness->HeldByTruePeak)
        loudnessHeldNote_ =
            "held by the " + CeilingText(c_->stages->TruePeakMax()) + " dBTP ceiling";
}

void MainWindow::ShowLoudness() {
    const std::string caption = Texts().CaLoudness + ":";
    if (!state_.WaveLoaded || !state_.Document) return SetPanel(5, caption);
    SetPanel(5, caption + " ...");
    std::optional<LoudnessFigures> figures;
    try {
        figures = MeasureLoudness(*state_.Document);
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
        // A cancel ends the chain; the document keeps what the stages before it did.
        const ChainOutcome outcome =
            RunChain(*engine_, state_.Document, ReadSettings(), state_.SpectraShared);
        NoteLoudness(outcome);
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
