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

PassFilterSettings MainWindow::PassSettings() const { return c_->stages->PassSettings(); }

void MainWindow::SetChannelControls(bool stereo) {
    c_->stages->EnablePerChannel(stereo);
    c_->modes->EnableChannelChoice(stereo);
}

}  // namespace sv
