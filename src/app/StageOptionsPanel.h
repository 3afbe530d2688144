#pragma once
// The stage options: precision and limitation of the levelling bands, and the four stages (noise
// removal, levelling with its pass filters, peak fitting, normalizing) with their values.
#include <QObject>
#include <QRect>
#include <array>
#include <utility>
#include <vector>

#include "view/TargetSpectrumDisplay.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSpinBox;
class QWidget;

namespace sv {

class Anchors;
struct IntSetting;
struct SwitchSetting;
struct RemasterSettings;

class StageOptionsPanel final : public QObject {
    Q_OBJECT

  public:
    explicit StageOptionsPanel(QObject* owner);
    // Two groups in two places of the window, built where they stand in its focus order.
    void BuildBandsGroup(QWidget* client, Anchors& anchors);
    void BuildStagesGroup(QWidget* client, Anchors& anchors);

    // Fills the stage switches and values; the modes and the block size are the window's.
    void Read(RemasterSettings& settings) const;
    PassFilterSettings PassSettings() const;
    int NormalizeDb() const;
    // Normalize's unit is LUFS: integrated loudness instead of the highest peak.
    bool NormalizeByLoudness() const;
    int NormalizeLufs() const;
    // The true-peak ceiling of loudness normalizing, in dBTP.
    int TruePeakMax() const;
    bool NormalizePerChannel() const;
    int PeakCount() const;
    // Mono documents have no channels to normalize apart.
    void EnablePerChannel(bool enabled);

  signals:
    // A pass filter value changed or a value edit was entered: the target display may differ.
    void passSettingsChanged();
    void peakBlockSizeChanged(int size);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // A control of a setting of the table, with its range, start value, name and unit.
    QSpinBox* MakeSettingSpin(QWidget* parent, int RemasterSettings::*member, QRect r);
    QCheckBox* MakeSettingCheck(QWidget* parent, bool RemasterSettings::*member, QRect r);
    static QLabel* MakeSettingUnit(QWidget* parent, int RemasterSettings::*member, QPoint at);
    void BuildNoiseAndPeaks();
    void BuildLevellingAndNormalizing();
    void ConnectControls();
    void EnablePassControls();
    void SwitchNormalizeUnit();

    QGroupBox* bandsGroup_ = nullptr;
    QSpinBox *bandsSpin_ = nullptr, *limitSpin_ = nullptr;
    QGroupBox* stagesGroup_ = nullptr;
    QCheckBox *removeNoiseCheck_ = nullptr, *levellingCheck_ = nullptr, *highPassCheck_ = nullptr,
              *lowPassCheck_ = nullptr, *fitPeaksCheck_ = nullptr, *normalizeCheck_ = nullptr,
              *perChannelCheck_ = nullptr;
    QSpinBox *noisePartsSpin_ = nullptr, *noisePercentSpin_ = nullptr, *noiseSecondsSpin_ = nullptr,
             *highPassSpin_ = nullptr, *highPassSlopeSpin_ = nullptr, *lowPassSpin_ = nullptr,
             *lowPassSlopeSpin_ = nullptr, *peakCountSpin_ = nullptr, *normalizeSpin_ = nullptr;
    QComboBox *peakBlockSizeCombo_ = nullptr, *normalizeUnitCombo_ = nullptr;
    // The value of the mode not shown, restored when the unit switches back.
    int otherNormalizeValue_;
    // Shown in place of the per-channel check in LUFS mode (loudness normalizing is linked).
    QLabel *truePeakCaption_ = nullptr, *truePeakUnit_ = nullptr;
    QSpinBox* truePeakSpin_ = nullptr;
    QCheckBox* limiterCheck_ = nullptr;   // beside the ceiling: reach the target through a limiter
    std::array<QLabel*, 4> passUnits_{};  // Hz, dB/oct, kHz, dB/oct
    // The spin boxes that show a setting of the table as it is.
    std::vector<std::pair<const IntSetting*, QSpinBox*>> settingSpins_;
    std::vector<std::pair<const SwitchSetting*, QCheckBox*>> settingChecks_;
};

}  // namespace sv
