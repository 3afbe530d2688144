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
#include "history/DocumentCopy.h"
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

// Runs the chain of settings on the lent document; the loudness note and the end follow. A
// cancel after some stages completed still changed the document: one undo step either way.
void MainWindow::RunChainCommand(const Command& command, const RemasterSettings& settings,
                                 const std::string& commandName) {
    const double ceiling = settings.Loudness ? settings.Loudness->TruePeakMaxDbtp : 0.0;
    struct Outcome {
        ChainOutcome chain;
        std::unique_ptr<Wave> previous;
    };
    RunOnDocument(
        command,
        [this, settings](LentDocument& lent) {
            // Copied first: the chain's stages reuse the swap files of what they replace.
            auto previous = AnyStage(settings) ? CopyDocument(*lent.Document) : nullptr;
            auto chain = RunChain(*engine_, lent.Document, settings, lent.Spectra);
            return std::make_shared<Outcome>(Outcome{std::move(chain), std::move(previous)});
        },
        [this, command, ceiling, commandName](const std::shared_ptr<Outcome>& outcome) {
            NoteLoudness(outcome->chain, ceiling);
            if (outcome->chain.Replaced && outcome->previous)
                RecordStep(commandName, std::move(outcome->previous));
            OperationEnded(command, outcome->chain.Result, outcome->chain.Replaced);
        });
}

// Runs a single stage that replaces the document when it completes.
template <typename Stage>
void MainWindow::RunStageCommand(const Command& command, const std::string& commandName,
                                 Stage stage) {
    struct Outcome {
        WalkResult result;
        std::unique_ptr<Wave> previous;
    };
    RunOnDocument(
        command,
        [stage = std::move(stage)](LentDocument& lent) mutable {
            auto previous = CopyDocument(*lent.Document);
            const WalkResult result = stage(lent);
            return std::make_shared<Outcome>(Outcome{result, std::move(previous)});
        },
        [this, command, commandName](const std::shared_ptr<Outcome>& outcome) {
            const bool replaced = outcome->result == WalkResult::Completed;
            if (replaced) RecordStep(commandName, std::move(outcome->previous));
            OperationEnded(command, outcome->result, replaced);
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
        RunChainCommand(command, settings, Texts().NormalizeCaption);
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
            if (!historyNote_.empty()) text += "; " + historyNote_;
            loudnessHeldNote_.clear();
            historyNote_.clear();
            SetPanel(5, text);
            if (then) then();
        });
}

void MainWindow::RemoveNoise() {
    RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        RunStageCommand(command, Texts().RemoveNoiseCaption,
                        [this, settings = ReadSettings()](LentDocument& lent) {
                            return RunRemoveNoise(*engine_, lent.Document, settings, lent.Spectra);
                        });
    });
}

void MainWindow::FitPeaks() {
    RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        RunStageCommand(
            command, Texts().FitPeaksCaption,
            [this, count = c_->stages->PeakCount(), blockSize = state_.PeakBlockSize](
                LentDocument& lent) { return engine_->FitPeaks(lent.Document, count, blockSize); });
    });
}

void MainWindow::Remaster() {
    RunCommand([this](const Command& command) {
        if (!state_.WaveLoaded) return;
        // A cancel ends the chain; the document keeps what the stages before it did.
        RunChainCommand(command, ReadSettings(), Texts().RemasterCaption);
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
