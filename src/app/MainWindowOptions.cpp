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

#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"

namespace sv {

// A radio button of an exclusive group can only be cleared with the group's exclusivity off.
void MainWindow::ClearRadio(QAbstractButton* button) {
    QButtonGroup* group = button->group();
    if (group) group->setExclusive(false);
    button->setChecked(false);
    if (group) group->setExclusive(true);
}

void MainWindow::SelectBothChannels() {
    state_.ChannelMode = 0;
    c_->channelModeSlider->setValue(0);
}

void MainWindow::SelectPartialSeparation() {
    state_.ChannelMode = 2;
    c_->channelModeSlider->setValue(2);
}

void MainWindow::SelectSeparateChannels() {
    state_.ChannelMode = 4;
    c_->channelModeSlider->setValue(4);
}

void MainWindow::ChangeChannelMode() {
    auto& c = *c_;
    const int position = c.channelModeSlider->value();
    state_.ChannelMode = position;
    switch (position) {
        case 0:
            c.bothChannelsRadio->setChecked(true);
            break;
        case 1:
            ClearRadio(c.bothChannelsRadio);
            ClearRadio(c.partialSeparationRadio);
            break;
        case 2:
            c.partialSeparationRadio->setChecked(true);
            break;
        case 3:
            ClearRadio(c.separateChannelsRadio);
            ClearRadio(c.partialSeparationRadio);
            break;
        case 4:
            c.separateChannelsRadio->setChecked(true);
            break;
        default:
            break;
    }
}

void MainWindow::SelectAverageLevel() {
    state_.BandLevelMode = 0;
    c_->bandLevelSlider->setValue(0);
}

void MainWindow::SelectMediumLevel() {
    state_.BandLevelMode = 2;
    c_->bandLevelSlider->setValue(2);
}

void MainWindow::SelectPeakLevel() {
    state_.BandLevelMode = 4;
    c_->bandLevelSlider->setValue(4);
}

void MainWindow::ChangeBandLevelMode() {
    auto& c = *c_;
    const int position = c.bandLevelSlider->value();
    state_.BandLevelMode = position;
    switch (position) {
        case 0:
            c.averageLevelRadio->setChecked(true);
            break;
        case 1:
            ClearRadio(c.averageLevelRadio);
            ClearRadio(c.mediumLevelRadio);
            break;
        case 2:
            c.mediumLevelRadio->setChecked(true);
            break;
        case 3:
            ClearRadio(c.peakLevelRadio);
            ClearRadio(c.mediumLevelRadio);
            break;
        case 4:
            c.peakLevelRadio->setChecked(true);
            break;
        default:
            break;
    }
}

// The edits keep their values within their limits themselves (SpinEdit); what is left is to
// show the target display with the current pass settings.
void MainWindow::ChangeOption(QObject*) { c_->targetView->update(); }

void MainWindow::TogglePassFilters() { c_->targetView->update(); }

void MainWindow::ChangePeakBlockSize() {
    bool ok = false;
    const int size = c_->peakBlockSizeCombo->currentText().toInt(&ok);
    if (ok) state_.PeakBlockSize = size;
}

void MainWindow::ToggleLevelling() {
    auto& c = *c_;
    const bool on = c.levellingCheck->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{c.highPassCheck, c.highPassSpin, c.highPassSlopeSpin,
                                         c.lowPassCheck, c.lowPassSpin, c.lowPassSlopeSpin})
        w->setEnabled(on);
    for (QLabel* unit : c.PassUnits) unit->setEnabled(on);
}

RemasterSettings MainWindow::ReadSettings() const {
    const auto& c = *c_;
    RemasterSettings s;
    s.RemoveNoise = c.removeNoiseCheck->isChecked();
    s.Levelling = c.levellingCheck->isChecked();
    s.FitPeaks = c.fitPeaksCheck->isChecked();
    s.Normalize = c.normalizeCheck->isChecked();
    s.NoiseParts = c.noisePartsSpin->value();
    s.NoiseSeconds = c.noiseSecondsSpin->value();
    s.NoisePercent = c.noisePercentSpin->value();
    s.Bands = c.bandsSpin->value();
    s.Limit = c.limitSpin->value();
    s.ChannelMode = state_.ChannelMode;
    s.BandLevelMode = state_.BandLevelMode;
    s.HighPass = c.highPassCheck->isChecked();
    s.HighPassHz = c.highPassSpin->value();
    s.HighPassSlope = c.highPassSlopeSpin->value();
    s.LowPass = c.lowPassCheck->isChecked();
    s.LowPassKHz = c.lowPassSpin->value();
    s.LowPassSlope = c.lowPassSlopeSpin->value();
    s.PeakCount = c.peakCountSpin->value();
    s.PeakBlockSize = state_.PeakBlockSize;
    s.NormalizeDb = c.normalizeSpin->value();
    s.PerChannel = c.perChannelCheck->isChecked();
    return s;
}

}  // namespace sv
