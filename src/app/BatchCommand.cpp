// Batch: the Remaster It chain applied to every WAV file of a folder, each result saved.
#include <QMenuBar>

#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/wav_p.h"
#include "dsp/RemasterChain.h"
#include "text/Language.h"

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

// Every message shown while a file is processed names that file, so a message in the middle
// of a long batch can be traced to its cause.
class TMessagesAboutFile final : public TUserDialogs {
public:
    explicit TMessagesAboutFile(TUserDialogs& inner) : inner_(inner) {}
    std::string file;
    void Message(const std::string& text) override {
        inner_.Message(file.empty() ? text : text + " (" + file + ")");
    }
    bool Question(const std::string& text) override { return inner_.Question(text); }
    void SetBusy(bool busy) override { inner_.SetBusy(busy); }

private:
    TUserDialogs& inner_;
};

// Puts a dialogs port in place of another for a scope.
class TDialogsSwap {
public:
    TDialogsSwap(TUserDialogs*& a, TUserDialogs*& b, TUserDialogs* with) : a_(a), b_(b), oldA_(a), oldB_(b) {
        a_ = with;
        b_ = with;
    }
    ~TDialogsSwap() {
        a_ = oldA_;
        b_ = oldB_;
    }
    TDialogsSwap(const TDialogsSwap&) = delete;
    TDialogsSwap& operator=(const TDialogsSwap&) = delete;

private:
    TUserDialogs*& a_;
    TUserDialogs*& b_;
    TUserDialogs* oldA_;
    TUserDialogs* oldB_;
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
            TMessagesAboutFile messages(*setup_.dialogs);
            TDialogsSwap swap(setup_.dialogs, env_.Ports.dialogs, &messages);
            for (const std::string& name : choice.SourceNames) {
                messages.file = name;
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
        // With no document left the status bar no longer speaks of the last file.
        if (!state_.Wave) {
            const auto& t = Texts();
            const std::string* captions[] = {&t.CaStatBar0, &t.CaStatBar1, &t.CaStatBar2, &t.CaStatBar3,
                                             &t.CaStatBar4};
            for (int i = 0; i < 5; ++i) SetPanel(i, *captions[i] + ":");
        }
        Available(state_.WaveLoaded);
        c_->PaintBox1->update();
    });
}

}  // namespace sv
