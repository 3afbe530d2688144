// Batch: the Remaster It chain applied to every sound file of a folder, each result saved.
#include <QMenuBar>

#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/StageOptionsPanel.h"
#include "audio/AudioFileFormats.h"
#include "dsp/RemasterChain.h"
#include "text/Language.h"

namespace sv {

namespace {

// The window shows each file while the batch works on it but takes no command meanwhile.
class InputBlocked {
  public:
    explicit InputBlocked(QMainWindow& window) : window_(window) {
        window_.centralWidget()->setEnabled(false);
        window_.menuBar()->setEnabled(false);
    }
    ~InputBlocked() {
        window_.centralWidget()->setEnabled(true);
        window_.menuBar()->setEnabled(true);
    }
    InputBlocked(const InputBlocked&) = delete;
    InputBlocked& operator=(const InputBlocked&) = delete;

  private:
    QMainWindow& window_;
};

// Every message shown while a file is processed names that file, so a message in the middle
// of a long batch can be traced to its cause.
class MessagesAboutFile final : public UserDialogs {
  public:
    explicit MessagesAboutFile(UserDialogs& inner) : inner_(inner) {}
    std::string file;
    void Message(const std::string& text) override {
        const bool named = file.empty() || text.find(file) != std::string::npos;
        inner_.Message(named ? text : text + " (" + file + ")");
    }
    bool Question(const std::string& text) override { return inner_.Question(text); }
    Answer QuestionOrCancel(const std::string& text) override {
        return inner_.QuestionOrCancel(text);
    }
    void SetBusy(bool busy) override { inner_.SetBusy(busy); }

  private:
    UserDialogs& inner_;
};

// Puts a dialogs port in place of another for a scope.
class DialogsSwap {
  public:
    DialogsSwap(UserDialogs*& a, UserDialogs*& b, UserDialogs* with)
        : a_(a), b_(b), oldA_(a), oldB_(b) {
        a_ = with;
        b_ = with;
    }
    ~DialogsSwap() {
        a_ = oldA_;
        b_ = oldB_;
    }
    DialogsSwap(const DialogsSwap&) = delete;
    DialogsSwap& operator=(const DialogsSwap&) = delete;

  private:
    UserDialogs*& a_;
    UserDialogs*& b_;
    UserDialogs* oldA_;
    UserDialogs* oldB_;
};

}  // namespace

void MainWindow::ProcessBatch() {
    RunCommand([this] {
        StopPlayback();
        InputBlocked blocked(*this);
        const BatchChoice choice = setup_.files->ChooseBatch();
        // The first file takes the open document's place.
        const bool started = choice.StartBatch && !choice.SourceNames.empty() && AskToSave();
        if (started) {
            state_.Flags.Cancelled = false;
            RemasterSettings settings = ReadSettings();
            // Loudness normalizing runs after the chain, in place of its peak normalizing.
            const bool byLoudness = settings.Normalize && c_->stages->NormalizeByLoudness();
            if (byLoudness) settings.Normalize = false;
            MessagesAboutFile messages(*setup_.dialogs);
            DialogsSwap swap(setup_.dialogs, env_.Ports.dialogs, &messages);
            for (const std::string& name : choice.SourceNames) {
                messages.file = name;
                const std::string source = (choice.SourceFolder / name).string();
                if (!OpenFile(source)) continue;
                state_.RedrawWave = true;
                c_->waveView->repaint();
                const StagesOutcome outcome =
                    RunBatchStages(*engine_, state_.Document, settings, state_.SpectraShared);
                if (outcome.Replaced) state_.Flags.DataSaved = false;
                state_.Flags.Cancelled = outcome.Result == WalkResult::Cancelled;
                if (!state_.Flags.Cancelled && byLoudness) {
                    state_.Flags.Cancelled = !NormalizeToLoudness(state_.Document);
                    if (!state_.Flags.Cancelled) state_.Flags.DataSaved = false;
                }
                if (state_.Flags.Cancelled) {
                    // The cancelled file stays open unsaved; Save and Return to saved mean it.
                    state_.FileName = source;
                    break;
                }
                const std::string target =
                    (choice.DestinationFolder / SavableName((choice.Overwrite ? "" : "_") + name))
                        .string();
                SaveFile(target);
                state_.ReleaseDocument();
            }
        }
        // A cancelled file stays open, unmeasured after its processing.
        if (started && state_.Flags.Cancelled) SetPanel(5, Texts().LoudnessCaption + ":");
        // With no document left the status bar no longer speaks of the last file.
        if (!state_.Document) {
            const auto& t = Texts();
            const std::string* captions[] = {&t.SampleCountPanel, &t.ChannelsPanel,
                                             &t.SampleRatePanel,  &t.BitsPerSamplePanel,
                                             &t.FileNamePanel,    &t.LoudnessCaption};
            for (int i = 0; i < 6; ++i) SetPanel(i, *captions[i] + ":");
        }
        EnableCommands(state_.WaveLoaded);
        c_->waveView->update();
    });
}

}  // namespace sv
