// Remove noise, Fit peak, Normalize, Remaster It and Detect on the current document.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>

#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/StageOptionsPanel.h"
#include "app/TimbrePanel.h"
#include "dsp/RemasterChain.h"

namespace sv {

void MainWindow::OperationEnded(WalkResult result, bool replaced) {
    state_.Flags.Cancelled = result == WalkResult::Cancelled;
    state_.RedrawWave = replaced;
    if (replaced) state_.Flags.DataSaved = false;
}

void MainWindow::OperationEnded(WalkResult result) {
    OperationEnded(result, result == WalkResult::Completed);
}

void MainWindow::Normalize() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        OperationEnded(engine_->Normalize(state_.Document, c_->stages->NormalizeDb(),
                                          c_->stages->NormalizePerChannel()));
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
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
        const StagesOutcome outcome =
            RunRemasterIt(*engine_, state_.Document, ReadSettings(), state_.SpectraShared);
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
