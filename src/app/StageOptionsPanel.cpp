#include "app/StageOptionsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>

#include "app/Anchors.h"
#include "app/ControlFactory.h"
#include "app/QtText.h"
#include "dsp/RemasterChain.h"
#include "dsp/StageSettings.h"
#include "text/Language.h"

namespace sv {

StageOptionsPanel::StageOptionsPanel(QObject* owner)
    : QObject(owner), otherNormalizeValue_(int(LoudnessNamed("normalizeLufs").Default)) {}

QSpinBox* StageOptionsPanel::MakeSettingSpin(QWidget* parent, int RemasterSettings::*member,
                                             QRect r) {
    const IntSetting& setting = SettingOf(member);
    const std::string name = std::string(setting.Name) + "Spin";
    QSpinBox* spin = MakeSpin(parent, name.c_str(), setting.Min, setting.Max, setting.Default, r);
    settingSpins_.emplace_back(&setting, spin);
    return spin;
}

QCheckBox* StageOptionsPanel::MakeSettingCheck(QWidget* parent, bool RemasterSettings::*member,
                                               QRect r) {
    const SwitchSetting& setting = SettingOf(member);
    const std::string name = std::string(setting.Name) + "Check";
    const auto text = [](std::string_view key) {
        const std::string* found = Texts().Find(key);
        return found ? *found : std::string();
    };
    QCheckBox* check =
        MakeCheck(parent, name.c_str(), text(setting.CaptionKey), text(setting.HintKey), r);
    check->setChecked(setting.Default);
    settingChecks_.emplace_back(&setting, check);
    return check;
}

QLabel* StageOptionsPanel::MakeSettingUnit(QWidget* parent, int RemasterSettings::*member,
                                           QPoint at) {
    const IntSetting& setting = SettingOf(member);
    const std::string* caption = setting.UnitKey.empty() ? nullptr : Texts().Find(setting.UnitKey);
    const std::string name = std::string(setting.Name) + "Unit";
    return MakeLabel(parent, name.c_str(), Q(caption ? *caption : std::string(setting.Unit)), at);
}

void StageOptionsPanel::BuildStagesGroup(QWidget* client, Anchors& anchors) {
    const auto& t = Texts();
    stagesGroup_ = new QGroupBox(Q(t.AdditionalSettingsCaption), client);
    stagesGroup_->setObjectName("stagesGroup");
    stagesGroup_->setToolTip(Q(t.AdditionalSettingsHint));
    anchors.Add(stagesGroup_, {168, 332, 336, 163}, AnchorLeft | AnchorBottom);
    BuildNoiseAndPeaks();
    BuildLevellingAndNormalizing();
    ConnectControls();
    EnablePassControls();  // levelling starts off
}

void StageOptionsPanel::BuildBandsGroup(QWidget* client, Anchors& anchors) {
    const auto& t = Texts();
    bandsGroup_ = new QGroupBox(client);
    bandsGroup_->setObjectName("bandsGroup");
    anchors.Add(bandsGroup_, {504, 48, 168, 47}, AnchorTop | AnchorRight);
    MakeLabel(bandsGroup_, "bandsCaption", Q(t.PrecisionLabel), {6, 7});
    bandsSpin_ = MakeSettingSpin(bandsGroup_, &RemasterSettings::Bands, {66, 3, 50, 20});
    MakeSettingUnit(bandsGroup_, &RemasterSettings::Bands, {120, 7});
    MakeLabel(bandsGroup_, "limitCaption", Q(t.LimitationLabel), {6, 27});
    limitSpin_ = MakeSettingSpin(bandsGroup_, &RemasterSettings::Limit, {66, 24, 50, 20});
    MakeSettingUnit(bandsGroup_, &RemasterSettings::Limit, {120, 27});
}

void StageOptionsPanel::BuildNoiseAndPeaks() {
    const auto& t = Texts();
    QWidget* g = stagesGroup_;
    removeNoiseCheck_ = MakeSettingCheck(g, &RemasterSettings::RemoveNoise, {6, 15, 140, 18});
    noisePartsSpin_ = MakeSettingSpin(g, &RemasterSettings::NoiseParts, {16, 35, 46, 20});
    MakeSettingUnit(g, &RemasterSettings::NoiseParts, {66, 38});
    noisePercentSpin_ = MakeSettingSpin(g, &RemasterSettings::NoisePercent, {16, 57, 46, 20});
    MakeSettingUnit(g, &RemasterSettings::NoisePercent, {66, 60});
    MakeSettingCheck(g, &RemasterSettings::SmoothNoise, {84, 58, 62, 18});
    noiseSecondsSpin_ = MakeSettingSpin(g, &RemasterSettings::NoiseSeconds, {16, 79, 46, 20});
    MakeSettingUnit(g, &RemasterSettings::NoiseSeconds, {66, 82});
    fitPeaksCheck_ = MakeSettingCheck(g, &RemasterSettings::FitPeaks, {6, 101, 140, 18});
    peakCountSpin_ = MakeSettingSpin(g, &RemasterSettings::PeakCount, {16, 121, 46, 20});
    MakeSettingUnit(g, &RemasterSettings::PeakCount, {66, 124});
    MakeLabel(g, "peakBlockSizeCaption", Q(t.BorderSizeLabel + ":"), {6, 145});
    peakBlockSizeCombo_ = MakeControl<QComboBox>(g, "peakBlockSizeCombo", {66, 141, 53, 20});
    const IntSetting& blockSize = SettingOf(&RemasterSettings::PeakBlockSize);
    for (int size = blockSize.Min; size <= blockSize.Max; size *= 2)
        peakBlockSizeCombo_->addItem(QString::number(size));
    peakBlockSizeCombo_->setCurrentText(QString::number(blockSize.Default));
    MakeSettingUnit(g, &RemasterSettings::PeakBlockSize, {121, 145});
}

void StageOptionsPanel::BuildLevellingAndNormalizing() {
    const auto& t = Texts();
    QWidget* g = stagesGroup_;
    levellingCheck_ = MakeSettingCheck(g, &RemasterSettings::Levelling, {150, 15, 184, 18});
    highPassCheck_ = MakeSettingCheck(g, &RemasterSettings::HighPass, {160, 36, 78, 18});
    highPassSpin_ = MakeSettingSpin(g, &RemasterSettings::HighPassHz, {240, 35, 46, 20});
    passUnits_[0] = MakeSettingUnit(g, &RemasterSettings::HighPassHz, {290, 38});
    highPassSlopeSpin_ = MakeSettingSpin(g, &RemasterSettings::HighPassSlope, {240, 57, 46, 20});
    passUnits_[1] = MakeSettingUnit(g, &RemasterSettings::HighPassSlope, {290, 60});
    lowPassCheck_ = MakeSettingCheck(g, &RemasterSettings::LowPass, {160, 80, 78, 18});
    lowPassSpin_ = MakeSettingSpin(g, &RemasterSettings::LowPassKHz, {240, 79, 46, 20});
    passUnits_[2] = MakeSettingUnit(g, &RemasterSettings::LowPassKHz, {290, 82});
    lowPassSlopeSpin_ = MakeSettingSpin(g, &RemasterSettings::LowPassSlope, {240, 101, 46, 20});
    passUnits_[3] = MakeSettingUnit(g, &RemasterSettings::LowPassSlope, {290, 104});
    normalizeCheck_ = MakeSettingCheck(g, &RemasterSettings::Normalize, {150, 124, 88, 18});
    normalizeSpin_ = MakeSettingSpin(g, &RemasterSettings::NormalizeDb, {240, 123, 46, 20});
    normalizeUnitCombo_ = MakeControl<QComboBox>(g, "normalizeUnitCombo", {288, 123, 46, 20});
    normalizeUnitCombo_->addItems({QStringLiteral("dB"), QStringLiteral("LUFS")});
    normalizeUnitCombo_->setToolTip(Q(t.NormalizeUnitHint));
    perChannelCheck_ = MakeSettingCheck(g, &RemasterSettings::PerChannel, {160, 143, 170, 18});
    truePeakCaption_ = MakeLabel(g, "truePeakCaption", Q(t.TruePeakCaption), {176, 146});
    const LoudnessSetting& ceiling = LoudnessNamed("truePeak");
    truePeakSpin_ = MakeSpin(g, (std::string(ceiling.Name) + "Spin").c_str(), int(ceiling.Min),
                             int(ceiling.Max), int(ceiling.Default), {240, 143, 46, 20});
    truePeakSpin_->setToolTip(Q(t.TruePeakHint));
    truePeakUnit_ = MakeLabel(g, "truePeakUnit", QStringLiteral("dBTP"), {290, 146});
    // Only the box fits beside the ceiling; its caption is clipped and its hint names it.
    limiterCheck_ = MakeSettingCheck(g, &RemasterSettings::Limiter, {318, 145, 16, 18});
    for (QWidget* w : std::initializer_list<QWidget*>{truePeakCaption_, truePeakSpin_,
                                                      truePeakUnit_, limiterCheck_})
        w->hide();
}

void StageOptionsPanel::ConnectControls() {
    for (QSpinBox* spin : {noisePartsSpin_, peakCountSpin_, noisePercentSpin_, noiseSecondsSpin_,
                           normalizeSpin_, limitSpin_, bandsSpin_, lowPassSpin_, highPassSpin_,
                           lowPassSlopeSpin_, highPassSlopeSpin_, truePeakSpin_})
        spin->installEventFilter(this);
    for (QSpinBox* spin : {lowPassSpin_, highPassSpin_, lowPassSlopeSpin_, highPassSlopeSpin_})
        connect(spin, &QSpinBox::valueChanged, this, &StageOptionsPanel::passSettingsChanged);
    for (QCheckBox* check : {highPassCheck_, lowPassCheck_})
        connect(check, &QCheckBox::toggled, this, &StageOptionsPanel::passSettingsChanged);
    connect(peakBlockSizeCombo_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        bool ok = false;
        const int size = text.toInt(&ok);
        if (ok) emit peakBlockSizeChanged(size);
    });
    connect(levellingCheck_, &QCheckBox::toggled, this, [this] { EnablePassControls(); });
    connect(normalizeUnitCombo_, &QComboBox::currentIndexChanged, this,
            [this] { SwitchNormalizeUnit(); });
}

// The pass filters belong to levelling.
void StageOptionsPanel::EnablePassControls() {
    const bool on = levellingCheck_->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{highPassCheck_, highPassSpin_, highPassSlopeSpin_,
                                         lowPassCheck_, lowPassSpin_, lowPassSlopeSpin_})
        w->setEnabled(on);
    for (QLabel* unit : passUnits_) unit->setEnabled(on);
}

// The edits keep their values within their limits themselves (SpinEdit); entering one shows
// the target display with the current pass settings.
bool StageOptionsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) emit passSettingsChanged();
    return QObject::eventFilter(watched, event);
}

void StageOptionsPanel::Read(RemasterSettings& s) const {
    for (const auto& [setting, check] : settingChecks_) s.*setting->Member = check->isChecked();
    for (const auto& [setting, spin] : settingSpins_) s.*setting->Member = spin->value();
    s.NormalizeDb = NormalizeDb();  // the spin may show the loudness target instead
}

PassFilterSettings StageOptionsPanel::PassSettings() const {
    PassFilterSettings pass;
    pass.highPassOn = highPassCheck_->isChecked();
    pass.highPassHz = highPassSpin_->value();
    pass.highPassOrder = highPassSlopeSpin_->value();
    pass.lowPassOn = lowPassCheck_->isChecked();
    pass.lowPassKHz = lowPassSpin_->value();
    pass.lowPassOrder = lowPassSlopeSpin_->value();
    return pass;
}

// Each unit has its range from the tables and keeps its value.
void StageOptionsPanel::SwitchNormalizeUnit() {
    const int shown = normalizeSpin_->value();
    const LoudnessSetting& target = LoudnessNamed("normalizeLufs");
    if (NormalizeByLoudness())
        normalizeSpin_->setRange(int(target.Min), int(target.Max));
    else
        normalizeSpin_->setRange(SettingOf(&RemasterSettings::NormalizeDb).Min,
                                 SettingOf(&RemasterSettings::NormalizeDb).Max);
    normalizeSpin_->setValue(otherNormalizeValue_);
    otherNormalizeValue_ = shown;
    const bool loudness = NormalizeByLoudness();
    perChannelCheck_->setVisible(!loudness);
    for (QWidget* w : std::initializer_list<QWidget*>{truePeakCaption_, truePeakSpin_,
                                                      truePeakUnit_, limiterCheck_})
        w->setVisible(loudness);
}

int StageOptionsPanel::NormalizeDb() const {
    return NormalizeByLoudness() ? otherNormalizeValue_ : normalizeSpin_->value();
}

bool StageOptionsPanel::NormalizeByLoudness() const {
    return normalizeUnitCombo_->currentIndex() == 1;
}

int StageOptionsPanel::NormalizeLufs() const {
    return NormalizeByLoudness() ? normalizeSpin_->value() : otherNormalizeValue_;
}

int StageOptionsPanel::TruePeakMax() const { return truePeakSpin_->value(); }

bool StageOptionsPanel::NormalizePerChannel() const { return perChannelCheck_->isChecked(); }

int StageOptionsPanel::PeakCount() const { return peakCountSpin_->value(); }

void StageOptionsPanel::EnablePerChannel(bool enabled) { perChannelCheck_->setEnabled(enabled); }

}  // namespace sv
