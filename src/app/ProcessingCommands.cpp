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

void MainWindow::Normalize() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        state_.RedrawWave = engine_->Normalize(state_.Document, c_->stages->NormalizeDb(),
                                               c_->stages->NormalizePerChannel());
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
}

void MainWindow::RemoveNoise() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        if (RunRemoveNoise(*engine_, state_.Document, ReadSettings(), state_.SpectraShared))
            state_.RedrawWave = true;
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
}

void MainWindow::FitPeaks() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        state_.RedrawWave =
            engine_->FitPeaks(state_.Document, c_->stages->PeakCount(), state_.PeakBlockSize);
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
}

void MainWindow::Remaster() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        state_.RedrawWave =
            RunRemasterIt(*engine_, state_.Document, ReadSettings(), state_.SpectraShared);
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
}

void MainWindow::DetectTimbre() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        if (RunDetect(*engine_, *state_.Document, state_.BandLevelMode, state_.SpectraShared)) {
            c_->timbre->ClearStoredName();
            state_.SpectraShared.Target = state_.SpectraShared.Example;
            c_->timbre->SelectDetected();
            c_->targetView->update();
        }
        EnableCommands(state_.WaveLoaded);
    });
}

}  // namespace sv
