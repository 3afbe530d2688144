// Remove noise, Fit peak, Normalize, Remaster It and Detect on the current document.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <optional>

#include "app/LoudnessStep.h"
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

// What a processing operation hands back to the window.
struct ProcessingOutcome {
    WalkResult Result = WalkResult::Completed;
    bool Replaced = false;
    bool HeldByCeiling = false;
};

}  // namespace

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
        const bool byLoudness = c_->stages->NormalizeByLoudness();
        const LoudnessTarget target{double(c_->stages->NormalizeLufs()),
                                    double(c_->stages->TruePeakMax())};
        const int levelDb = c_->stages->NormalizeDb();
        const bool perChannel = c_->stages->NormalizePerChannel();
        RunOnDocument(
            command,
            [this, byLoudness, target, levelDb, perChannel](LentDocument& lent) {
                ProcessingOutcome outcome;
                if (byLoudness) {
                    const bool done =
                        NormalizeToLoudness(lent.Document, target, outcome.HeldByCeiling);
                    outcome.Result = done ? WalkResult::Completed : WalkResult::Cancelled;
                } else {
                    outcome.Result = engine_->Normalize(lent.Document, levelDb, perChannel);
                }
                outcome.Replaced = outcome.Result == WalkResult::Completed;
                return outcome;
            },
            [this, command, target](const ProcessingOutcome& outcome) {
                if (outcome.HeldByCeiling) loudnessHeldNote_ = HeldByCeilingNote(target);
                OperationEnded(command, outcome.Result, outcome.Replaced);
            });
    });
}

void MainWindow::ShowLoudness(const Command& command, std::function<void()> then) {
    const std::string caption = Texts().CaLoudness + ":";
    if (!state_.WaveLoaded || !state_.Document) {
        SetPanel(5, caption);
        if (then) then();
        return;
    }
    SetPanel(5, caption + " ...");
    RunOnDocument(
        command,
        [](LentDocument& lent) -> std::optional<LoudnessFigures> {
            try {
                return MeasureLoudness(*lent.Document);
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
        RemasterSettings settings = ReadSettings();
        // Loudness normalizing runs after the chain, in place of its peak normalizing.
        const bool byLoudness = settings.Normalize && c_->stages->NormalizeByLoudness();
        if (byLoudness) settings.Normalize = false;
        const LoudnessTarget target{double(c_->stages->NormalizeLufs()),
                                    double(c_->stages->TruePeakMax())};
        RunOnDocument(
            command,
            [this, settings, byLoudness, target](LentDocument& lent) {
                const StagesOutcome stages =
                    RunRemasterIt(*engine_, lent.Document, settings, lent.Spectra);
                ProcessingOutcome outcome{stages.Result, stages.Replaced, false};
                // As the last stage it runs even after an earlier stage was cancelled.
                if (byLoudness) {
                    const bool done =
                        NormalizeToLoudness(lent.Document, target, outcome.HeldByCeiling);
                    outcome.Result = done ? WalkResult::Completed : WalkResult::Cancelled;
                    outcome.Replaced = outcome.Replaced || done;
                }
                return outcome;
            },
            [this, command, target](const ProcessingOutcome& outcome) {
                if (outcome.HeldByCeiling) loudnessHeldNote_ = HeldByCeilingNote(target);
                OperationEnded(command, outcome.Result, outcome.Replaced);
            });
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
