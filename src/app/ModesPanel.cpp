#include "app/ModesPanel.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>

#include "app/Anchors.h"
#include "app/ControlFactory.h"
#include "app/QtText.h"
#include "dsp/StageSettings.h"
#include "text/Language.h"

namespace sv {

namespace {

// A radio button of an exclusive group can only be cleared with the group's exclusivity off.
void ClearRadio(QRadioButton* button) {
    QButtonGroup* group = button->group();
    if (group) group->setExclusive(false);
    button->setChecked(false);
    if (group) group->setExclusive(true);
}

}  // namespace

ModesPanel::ModesPanel(QWidget* client, Anchors& anchors) : QObject(client) {
    const auto& t = Texts();
    group_ = new QGroupBox(Q(t.RemasterTypeCaption), client);
    group_->setObjectName("modesGroup");
    group_->setToolTip(Q(t.RemasterTypeHint));
    anchors.Add(group_, {0, 332, 168, 163}, AnchorLeft | AnchorBottom);
    channel_ =
        BuildBar(ChoiceNamed("channelMode"),
                 {"channelModeBox",
                  {"bothChannelsRadio", "partialSeparationRadio", "separateChannelsRadio"}},
                 15,
                 {&t.BothChannelsCaption, &t.BothChannelsHint, &t.PartialSeparationCaption,
                  &t.PartialSeparationHint, &t.SeparateChannelsCaption, &t.SeparateChannelsHint});
    bandLevel_ =
        BuildBar(ChoiceNamed("bandLevel"),
                 {"bandLevelBox", {"averageLevelRadio", "mediumLevelRadio", "peakLevelRadio"}}, 88,
                 {&t.BandAverageCaption, &t.BandAverageHint, &t.BandMediumCaption,
                  &t.BandMediumHint, &t.BandPeakCaption, &t.BandPeakHint});
    ConnectBar(channel_, &ModesPanel::channelModeChanged);
    ConnectBar(bandLevel_, &ModesPanel::bandLevelModeChanged);
}

ModesPanel::ModeBar ModesPanel::BuildBar(const ChoiceSetting& setting, const BarNames& names,
                                         int top, std::array<const std::string*, 6> texts) {
    ModeBar bar;
    bar.setting = &setting;
    const std::string sliderName = std::string(setting.Name) + "Slider";
    bar.box = MakeControl<QGroupBox>(group_, names.box, {1, top, 166, 71});
    bar.box->setFlat(true);
    bar.slider = MakeControl<QSlider>(bar.box, sliderName.c_str(), {0, 2, 18, 67});
    bar.slider->setOrientation(Qt::Vertical);
    bar.slider->setInvertedAppearance(true);  // step 0 at the top, beside the first button
    bar.slider->setRange(setting.Min, setting.Max);
    bar.slider->setPageStep(1);
    bar.slider->setTickPosition(QSlider::TicksRight);
    bar.slider->setTickInterval(1);
    bar.slider->setToolTip(Q(Texts().ModeBarHint));
    // The handle and its ticks need the style's width, or they are cut off.
    const int barWidth = std::max(18, bar.slider->sizeHint().width());
    bar.slider->resize(barWidth, 67);
    bar.buttons = new QButtonGroup(bar.box);
    for (int i = 0; i < 3; ++i) {
        bar.radios[i] = MakeRadio(bar.box, names.radios[i], *texts[2 * i], *texts[2 * i + 1],
                                  {barWidth, 3 + 24 * i, 165 - barWidth, 18});
        bar.buttons->addButton(bar.radios[i]);
    }
    return bar;
}

void ModesPanel::ConnectBar(ModeBar& bar, void (ModesPanel::*changed)(int)) {
    for (int i = 0; i < 3; ++i)
        connect(bar.radios[i], &QRadioButton::toggled, this, [&bar, i](bool on) {
            if (on) bar.slider->setValue(2 * i);
        });
    connect(bar.slider, &QSlider::valueChanged, this, [this, &bar, changed](int step) {
        FollowStep(bar, step);
        emit(this->*changed)(step);
    });
}

// The radio button of a main step is checked; between two main steps neither is.
void ModesPanel::FollowStep(ModeBar& bar, int step) {
    switch (step) {
        case 0:
        case 2:
        case 4:
            bar.radios[step / 2]->setChecked(true);
            break;
        case 1:
            ClearRadio(bar.radios[0]);
            ClearRadio(bar.radios[1]);
            break;
        case 3:
            ClearRadio(bar.radios[2]);
            ClearRadio(bar.radios[1]);
            break;
        default:
            break;
    }
}

void ModesPanel::SetStep(ModeBar& bar, int step) {
    if (bar.slider->value() != step) {
        bar.slider->setValue(step);
    } else {
        emit bar.slider->valueChanged(step);
    }
}

void ModesPanel::SetChannelMode(int step) { SetStep(channel_, step); }

void ModesPanel::SetBandLevelMode(int step) { SetStep(bandLevel_, step); }

void ModesPanel::ResetToDefaults() {
    SetStep(channel_, channel_.setting->Default);
    SetStep(bandLevel_, bandLevel_.setting->Default);
}

void ModesPanel::EnableChannelChoice(bool enabled) {
    for (QRadioButton* radio : channel_.radios) radio->setEnabled(enabled);
}

}  // namespace sv
