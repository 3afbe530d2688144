// Remove noise, Fit peak, Normalize, Remaster It and Detect on the current document.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <cmath>
#include <cstdio>
#include <optional>

#include "app/MainWindowControls.h"
#include "app/MainWindowWork.h"
#include "app/PaintBox.h"
#include "app/StageOptionsPanel.h"
#include "app/TimbrePanel.h"
#include "dsp/RemasterChain.h"
#include "loudness/LoudnessMeter.h"
#include "text/Language.h"

namespace sv {

namespace {

// "−1" with a typographic minus, as the note is worded.
std::string CeilingText(double dbtp) {
    char number[32];
    std::snprintf(number, sizeof number, "%g", std::fabs(dbtp));
    return (dbtp < 0 ? "\u2212" : "") + std::string(number);
}

}  // namespace

void MainWindow::NoteLoudness(const ChainOutcome& outcome, double ceilingDbtp) {
    if (outcome.Loudness && outcome.Loudness->HeldByTruePeak)
        loudnessHeldNote_ = "held by the " + CeilingText(ceilingDbtp) + " dBTP ceiling";
}

// Runs the chain of settings on the lent document; the loudness note and the end follow.
void MainWindow::RunChainCommand(const Command& command, const RemasterSettings& settings) {
    const double ceiling = settings.Loudness ? settings.Loudness->TruePeakMaxDbtp : 0.0;
    RunOnDocument(
        command,
        [this, settings](LentDocument& lent) {
            return RunChain(*engine_, lent.Document, settings, lent.Spectra);
        },
        [this, command, ceiling](const ChainOutcome& outcome) {
            NoteLoudness(outcome, ceiling);
            OperationEnded(command, outcome.Result, outcome.Replaced);
        });
}

void MainWindow::OperationEnded(const Command& command, WalkResult result, bool replaced) {
    state_.Flags.Cancelled = result == WalkResult::Cancelled;
    state_.RedrawWave = replaced;
    if (!replaced) return c_->waveView->update();
    // Drawn now: the loudness measurement borrows the document next.
    c_->waveView->repaint();
    state_.Flags.DataSaved = false;
    ShowLoudness(command);
}

void MainWindow::Normalize() {
    RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        // The normalizing stage alone, by peak or by loudness, checked or not.
        RemasterSettings settings = ReadSettings();
        const bool byLoudness = c_->stages->NormalizeByLoudness();
        settings.RemoveNoise = settings.Levelling = settings.FitPeaks = false;
        settings.Normalize = !byLoudness;
        settings.Loudness.reset();
        if (byLoudness)
            settings.Loudness = LoudnessTarget{static_cast<double>(c_->stages->NormalizeLufs()),
                                               static_cast<double>(c_->stages->TruePeakMax())};
        RunChainCommand(command, settings);
    });
}

void MainWindow::ShowLoudness(const Command& command, std::function<void()> then) {
    const std::string caption = Texts().LoudnessCaption + ":";
    if (!state_.WaveLoaded || !state_.Document) {
        SetPanel(5, caption);
        if (then) then();
        return;
    }
    SetPanel(5, caption + " ...");
    RunOnDocument(
        command,
        [title =
             Texts().MeasuringLoudnessTitle](LentDocument& lent) -> std::optional<LoudnessFigures> {
            try {
                return MeasureLoudness(*lent.Document, {title, {}});
            } catch (const LoudnessUnavailable&) {
                // a format the meter refuses simply shows no figures; read errors still reach
                // the user
                return std::nullopt;
            }
        },
        [this, caption, then = std::move(then)](const std::optional<LoudnessFigures>& figures) {
            std::string text = figures ? caption + " " + LoudnessText(*figures) : caption;
            if (!loudnessHeldNote_.empty()) text += ", " + loudnessHeldNote_;
            loudnessHeldNote_.clear();
            SetPanel(5, text);
            if (then) then();
        });
}

void MainWindow::RemoveNoise() {
    RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        RunOnDocument(
            command,
            [this, settings = ReadSettings()](LentDocument& lent) {
                return RunRemoveNoise(*engine_, lent.Document, settings, lent.Spectra);
            },
            [this, command](WalkResult result) {
                state_.Flags.Cancelled = result == WalkResult::Cancelled;
                if (result == WalkResult::Completed) OperationEnded(command, result, true);
                c_->waveView->update();
            });
    });
}

void MainWindow::FitPeaks() {
    RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        RunOnDocument(
            command,
            [this, count = c_->stages->PeakCount(), blockSize = state_.PeakBlockSize](
                LentDocument& lent) { return engine_->FitPeaks(lent.Document, count, blockSize); },
            [this, command](WalkResult result) {
                OperationEnded(command, result, result == WalkResult::Completed);
            });
    });
}

void MainWindow::Remaster() {
    RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        // A cancel ends the chain; the document keeps what the stages before it did.
        RunChainCommand(command, ReadSettings());
    });
}

void MainWindow::DetectTimbre() {
    RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        RunOnDocument(
            command,
            [this, mode = state_.BandLevelMode](LentDocument& lent) {
                return RunDetect(*engine_, *lent.Document, mode, lent.Spectra);
            },
            [this](bool ready) {
                state_.Flags.Cancelled = !ready;
                if (!ready) return;
                c_->timbre->ClearStoredName();
                state_.SpectraShared.Target = state_.SpectraShared.Example;
                c_->timbre->SelectDetected();
                c_->targetView->update();
            });
    });
}

}  // namespace sv
