// The option controls: the two mode bars with their radio buttons, the spin edits, the pass
// filter controls and the values the engine reads.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/wav_p.h"

namespace sv {

// A radio button of an exclusive group can only be cleared with the group's exclusivity off.
void TRemastering::ClearRadio(QAbstractButton* button) {
    QButtonGroup* group = button->group();
    if (group) group->setExclusive(false);
    button->setChecked(false);
    if (group) group->setExclusive(true);
}

void TRemastering::RaPrumClick() {
    state_.ChannelMode = 0;
    c_->TBarChanels->setValue(0);
}

void TRemastering::RaWeightClick() {
    state_.ChannelMode = 2;
    c_->TBarChanels->setValue(2);
}

void TRemastering::RaStereoClick() {
    state_.ChannelMode = 4;
    c_->TBarChanels->setValue(4);
}

void TRemastering::TBarChanelsChange() {
    auto& c = *c_;
    const int position = c.TBarChanels->value();
    state_.ChannelMode = position;
    switch (position) {
        case 0: c.RaPrum->setChecked(true); break;
        case 1: ClearRadio(c.RaPrum); ClearRadio(c.RaWeight); break;
        case 2: c.RaWeight->setChecked(true); break;
        case 3: ClearRadio(c.RaStereo); ClearRadio(c.RaWeight); break;
        case 4: c.RaStereo->setChecked(true); break;
        default: break;
    }
}

void TRemastering::RaStressClick() {
    state_.BandLevelMode = 0;
    c_->TBarWeig->setValue(0);
}

void TRemastering::RaMediClick() {
    state_.BandLevelMode = 2;
    c_->TBarWeig->setValue(2);
}

void TRemastering::RaPeekClick() {
    state_.BandLevelMode = 4;
    c_->TBarWeig->setValue(4);
}

void TRemastering::TBarWeigChange() {
    auto& c = *c_;
    const int position = c.TBarWeig->value();
    state_.BandLevelMode = position;
    switch (position) {
        case 0: c.RaStress->setChecked(true); break;
        case 1: ClearRadio(c.RaStress); ClearRadio(c.RaMedi); break;
        case 2: c.RaMedi->setChecked(true); break;
        case 3: ClearRadio(c.RaPeek); ClearRadio(c.RaMedi); break;
        case 4: c.RaPeek->setChecked(true); break;
        default: break;
    }
}

// The edits keep their values within their limits themselves (TSpinEdit); what is left is to
// show the target display with the current pass settings.
void TRemastering::SpChange(QObject*) { c_->PaintBox2->update(); }

void TRemastering::ChPassClick() { c_->PaintBox2->update(); }

void TRemastering::CbBlPeekChange() {
    bool ok = false;
    const int size = c_->CbBlPeek->currentText().toInt(&ok);
    if (ok) state_.PeakBlockSize = size;
}

void TRemastering::ChRemasteringClick() {
    auto& c = *c_;
    const bool on = c.ChRemastering->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{c.ChHiPass, c.SpHiPass, c.SpHiDrop, c.ChLoPass,
                                                      c.SpLoPass, c.SpLoDrop})
        w->setEnabled(on);
    for (QLabel* unit : c.PassUnits) unit->setEnabled(on);
}

TRemasterSettings TRemastering::ReadSettings() const {
    const auto& c = *c_;
    TRemasterSettings s;
    s.RemoveNoise = c.ChRemNoise->isChecked();
    s.Remastering = c.ChRemastering->isChecked();
    s.PeakDown = c.ChPeekDown->isChecked();
    s.Normalize = c.ChExtDyn->isChecked();
    s.NoiseParts = c.SpPocDil->value();
    s.NoiseSeconds = c.SpSec->value();
    s.NoisePercent = c.SpProcNois->value();
    s.Bands = c.SpPrecize->value();
    s.Limit = c.SpLimit->value();
    s.ChannelMode = state_.ChannelMode;
    s.BandLevelMode = state_.BandLevelMode;
    s.HighPass = c.ChHiPass->isChecked();
    s.HighPassHz = c.SpHiPass->value();
    s.HighPassSlope = c.SpHiDrop->value();
    s.LowPass = c.ChLoPass->isChecked();
    s.LowPassKHz = c.SpLoPass->value();
    s.LowPassSlope = c.SpLoDrop->value();
    s.PeakCount = c.SpPeekDown->value();
    s.PeakBlockSize = state_.PeakBlockSize;
    s.NormalizeDb = c.SpNormal->value();
    s.PerChannel = c.ChExtDynEq->isChecked();
    return s;
}

}  // namespace sv
