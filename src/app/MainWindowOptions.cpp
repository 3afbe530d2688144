// The option panels' news reaches the window here: modes, block size, pass filters, and the
// settings the engine reads.
#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/ModesPanel.h"
#include "app/PaintBox.h"
#include "app/StageOptionsPanel.h"

namespace sv {

void MainWindow::ConnectOptionPanels() {
    auto& c = *c_;
    connect(c.modes, &ModesPanel::channelModeChanged, this,
            [this](int step) { state_.ChannelMode = static_cast<ChannelMode>(step); });
    connect(c.modes, &ModesPanel::bandLevelModeChanged, this,
            [this](int step) { state_.BandLevelMode = static_cast<BandLevelMode>(step); });
    connect(c.stages, &StageOptionsPanel::peakBlockSizeChanged, this,
            [this](int size) { state_.PeakBlockSize = size; });
    connect(c.stages, &StageOptionsPanel::passSettingsChanged, c.targetView,
            [this] { c_->targetView->update(); });
}

RemasterSettings MainWindow::ReadSettings() const {
    RemasterSettings s;
    c_->stages->Read(s);
    s.ChannelMode = state_.ChannelMode;
    s.BandLevelMode = state_.BandLevelMode;
    s.PeakBlockSize = state_.PeakBlockSize;
    // Normalizing by loudness takes the place of normalizing by peak.
    if (s.Normalize && c_->stages->NormalizeByLoudness()) {
        s.Normalize = false;
        s.Loudness = LoudnessTarget{static_cast<double>(c_->stages->NormalizeLufs()),
                                    static_cast<double>(c_->stages->TruePeakMax())};
    }
    return s;
}

PassFilterSettings MainWindow::PassSettings() const { return c_->stages->PassSettings(); }

}  // namespace sv
