// Remove noise, Fit peak, Normalize, Remaster It and Detect on the current document.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>

#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/wav_p.h"
#include "dsp/RemasterChain.h"

namespace sv {

void TRemastering::MeNormalizeClick() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        state_.RedrawWave =
            engine_->Normalize(state_.Wave, c_->SpNormal->value(), c_->ChExtDynEq->isChecked());
        c_->PaintBox1->update();
        Available(state_.WaveLoaded);
    });
}

void TRemastering::MeRemNoiseClick() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        if (RunRemoveNoise(*engine_, state_.Wave, ReadSettings(), state_.Spectra)) state_.RedrawWave = true;
        c_->PaintBox1->update();
        Available(state_.WaveLoaded);
    });
}

void TRemastering::MeRemPeekClick() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        state_.RedrawWave = engine_->FitPeaks(state_.Wave, c_->SpPeekDown->value(), state_.PeakBlockSize);
        c_->PaintBox1->update();
        Available(state_.WaveLoaded);
    });
}

void TRemastering::MeRemasterClick() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        state_.RedrawWave = RunRemasterIt(*engine_, state_.Wave, ReadSettings(), state_.Spectra);
        c_->PaintBox1->update();
        Available(state_.WaveLoaded);
    });
}

void TRemastering::MeDetectClick() {
    RunCommand([this] {
        if (!state_.WaveLoaded) return;
        if (RunDetect(*engine_, *state_.Wave, state_.BandLevelMode, state_.Spectra)) {
            c_->ComboBox->setEditText(QString());
            state_.Spectra.Target = state_.Spectra.Example;
            c_->RaDetect->setChecked(true);
            c_->PaintBox2->update();
        }
        Available(state_.WaveLoaded);
    });
}

}  // namespace sv
