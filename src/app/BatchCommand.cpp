// Batch: the Remaster It chain applied to every WAV file of a folder, each result saved.
#include <QMenuBar>

#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/wav_p.h"
#include "dsp/RemasterChain.h"

namespace sv {

namespace {

// The window shows each file while the batch works on it but takes no command meanwhile.
class TInputBlocked {
public:
    explicit TInputBlocked(QMainWindow& window) : window_(window) {
        window_.centralWidget()->setEnabled(false);
        window_.menuBar()->setEnabled(false);
    }
    ~TInputBlocked() {
        window_.centralWidget()->setEnabled(true);
        window_.menuBar()->setEnabled(true);
    }
    TInputBlocked(const TInputBlocked&) = delete;
    TInputBlocked& operator=(const TInputBlocked&) = delete;

private:
    QMainWindow& window_;
};

}  // namespace

void TRemastering::MeBatchClick() {
    RunCommand([this] {
        BtStopClick();
        TInputBlocked blocked(*this);
        const TBatchChoice choice = setup_.files->ChooseBatch();
        if (choice.StartBatch && !choice.SourceNames.empty()) {
            state_.Flags.StornoFlag = false;
            const TRemasterSettings settings = ReadSettings();
            for (const std::string& name : choice.SourceNames) {
                const std::string source = (choice.SourceFolder / name).string();
                OpenFile(source);
                if (!state_.WaveLoaded) continue;
                state_.RedrawWave = true;
                c_->PaintBox1->repaint();
                RunBatchStages(*engine_, state_.Wave, settings, state_.Spectra);
                if (state_.Flags.StornoFlag) {
                    // The cancelled file stays open unsaved; Save and Return to saved mean it.
                    state_.FileName = source;
                    break;
                }
                const std::string target =
                    (choice.DestinationFolder / ((choice.Overwrite ? "" : "_") + name)).string();
                SaveFile(target);
                state_.ReleaseDocument();
            }
        }
        Available(state_.WaveLoaded);
        c_->PaintBox1->update();
    });
}

}  // namespace sv
