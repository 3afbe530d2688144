#pragma once
// The type of remastering: channel mode and band-level mode, each a five-step bar with three radio
// buttons beside its main steps. The bar's step is the mode; the window hears it by signal.
#include <QObject>
#include <array>
#include <string>

class QButtonGroup;
class QGroupBox;
class QRadioButton;
class QSlider;
class QWidget;

namespace sv {

class Anchors;
struct ChoiceSetting;

class ModesPanel final : public QObject {
    Q_OBJECT

  public:
    ModesPanel(QWidget* client, Anchors& anchors);

    // Moves the bar to a step; the change signal follows even when the bar stood there already.
    void SetChannelMode(int step);
    void SetBandLevelMode(int step);
    // Both bars to their settings' start-up steps.
    void ResetToDefaults();
    // Mono documents have no channels to separate.
    void EnableChannelChoice(bool enabled);

  signals:
    void channelModeChanged(int step);
    void bandLevelModeChanged(int step);

  private:
    struct ModeBar {
        const ChoiceSetting* setting = nullptr;
        QGroupBox* box = nullptr;
        QSlider* slider = nullptr;
        QButtonGroup* buttons = nullptr;
        std::array<QRadioButton*, 3> radios{};  // beside steps 0, 2 and 4
    };
    struct BarNames {
        const char* box;
        std::array<const char*, 3> radios;
    };
    // The bar of a choice: its slider is named and ranged by the setting.
    ModeBar BuildBar(const ChoiceSetting& setting, const BarNames& names, int top,
                     std::array<const std::string*, 6> texts);
    void ConnectBar(ModeBar& bar, void (ModesPanel::*changed)(int));
    static void FollowStep(ModeBar& bar, int step);
    static void SetStep(ModeBar& bar, int step);

    QGroupBox* group_ = nullptr;
    ModeBar channel_;
    ModeBar bandLevel_;
};

}  // namespace sv
