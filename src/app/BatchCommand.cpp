// Batch: the Remaster It chain applied to every sound file of a folder, each result saved.
#include <QMainWindow>
#include <QMenuBar>
#include <utility>

#include "app/DocumentController.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/ProcessingController.h"
#include "app/QtText.h"
#include "app/StageOptionsPanel.h"
#include "audio/AudioFileFormats.h"
#include "dsp/RemasterChain.h"
#include "dsp/StageLength.h"
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

// Messages about the batch's files are gathered and shown once, in one list at the end, so a
// refused file does not halt a long batch; each row names its file.
class MessagesAboutFile final : public UserDialogs {
  public:
    explicit MessagesAboutFile(UserDialogs& inner) : inner_(inner) {}
    std::string file;
    void Message(const std::string& text) override {
        if (file.empty()) return inner_.Message(text);
        gathered_.push_back({file, text});
    }
    bool Question(const std::string& text) override { return inner_.Question(text); }
    Answer QuestionOrCancel(const std::string& text) override {
        return inner_.QuestionOrCancel(text);
    }
    void SetBusy(bool busy) override { inner_.SetBusy(busy); }
    std::vector<FileProblem> TakeGathered() { return std::exchange(gathered_, {}); }

  private:
    UserDialogs& inner_;
    std::vector<FileProblem> gathered_;
};

// Puts a dialogs port in place of another for a scope.
class DialogsSwap {
  public:
    DialogsSwap(UserDialogs*& slot, UserDialogs* with) : slot_(slot), old_(slot) { slot_ = with; }
    ~DialogsSwap() { slot_ = old_; }
    DialogsSwap(const DialogsSwap&) = delete;
    DialogsSwap& operator=(const DialogsSwap&) = delete;

  private:
    UserDialogs*& slot_;
    UserDialogs* old_;
};

}  // namespace

// One batch from its window to its last file; it ends when the last step lets go of it.
struct ProcessingController::BatchRun {
    BatchRun(QMainWindow& window, UserDialogs*& dialogs)
        : blocked(window), messages(*dialogs), swap(dialogs, &messages) {}
    InputBlocked blocked;
    MessagesAboutFile messages;
    DialogsSwap swap;
    BatchChoice choice;
    RemasterSettings settings;
    std::size_t next = 0;
    bool started = false;
};

void ProcessingController::ProcessBatch() {
    host_.RunCommand([this](const Command& command) {
        host_.StopPlayback();
        auto run = std::make_shared<BatchRun>(parts_.window, parts_.dialogs);
        run->choice = parts_.files.ChooseBatch();
        if (!run->choice.StartBatch || run->choice.SourceNames.empty()) return EndBatch(run);
        // The first file takes the open document's place.
        parts_.documents.AskToSave(command, [this, command, run](bool discard) {
            run->started = discard;
            if (!discard) return EndBatch(run);
            state_.Flags.Cancelled = false;
            run->settings = ReadSettings();
            // One progress window for the whole batch, its title naming the file.
            host_.BeginProgressSeries([run](const std::string& caption) {
                return caption + " \u2014 " +
                       Q(Texts().FileOfTitle)
                           .arg(run->next)
                           .arg(run->choice.SourceNames.size())
                           .toStdString();
            });
            NextBatchFile(command, run);
        });
    });
}

void ProcessingController::NextBatchFile(const Command& command,
                                         const std::shared_ptr<BatchRun>& run) {
    if (run->next == run->choice.SourceNames.size()) return EndBatch(run);
    const std::string name = run->choice.SourceNames[run->next++];
    run->messages.file = name;
    const std::string source = (run->choice.SourceFolder / name).string();
    parts_.documents.OpenFile(command, source, [this, command, run, name](bool opened) {
        if (!opened) return NextBatchFile(command, run);
        state_.RedrawWave = true;
        c_.waveView->update();
        ProcessBatchFile(command, run, name);
    });
}

void ProcessingController::ProcessBatchFile(const Command& command,
                                            const std::shared_ptr<BatchRun>& run,
                                            const std::string& name) {
    // Refused for a stage it is too short for: nothing is saved, the batch goes on.
    if (const auto shortfall = FirstTooShortStage(run->settings, *state_.Document)) {
        run->messages.Message(
            TooShortMessage(shortfall->MinimumFrames, state_.Document->SampleRate()));
        state_.ReleaseDocument();
        return NextBatchFile(command, run);
    }
    host_.RunOnDocument(
        command,
        [this, settings = run->settings](LentDocument& lent) {
            return RunChain(parts_.engine, lent.Document, settings, lent.Spectra);
        },
        [this, command, run, name](const ChainOutcome& outcome) {
            if (outcome.Replaced) state_.Flags.DataSaved = false;
            state_.Flags.Cancelled = outcome.Result == WalkResult::Cancelled;
            if (state_.Flags.Cancelled) {
                // The cancelled file stays open unsaved; Save and Return to saved mean it.
                state_.FileName = (run->choice.SourceFolder / name).string();
                return EndBatch(run);
            }
            const std::string target = (run->choice.DestinationFolder /
                                        SavableName((run->choice.Overwrite ? "" : "_") + name))
                                           .string();
            parts_.documents.SaveFile(command, target, [this, command, run] {
                state_.ReleaseDocument();
                NextBatchFile(command, run);
            });
        });
}

void ProcessingController::EndBatch(const std::shared_ptr<BatchRun>& run) {
    if (run->started) host_.EndProgressSeries();
    if (auto problems = run->messages.TakeGathered(); !problems.empty())
        parts_.files.ReportBatch(problems);
    // A cancelled file stays open, unmeasured after its processing.
    if (run->started && state_.Flags.Cancelled) host_.SetPanel(5, Texts().LoudnessCaption + ":");
    // With no document left the status bar no longer speaks of the last file.
    if (!state_.Document) {
        const auto& t = Texts();
        const std::string* captions[] = {&t.SampleCountPanel, &t.ChannelsPanel,
                                         &t.SampleRatePanel,  &t.BitsPerSamplePanel,
                                         &t.FileNamePanel,    &t.LoudnessCaption};
        for (int i = 0; i < 6; ++i) host_.SetPanel(i, *captions[i] + ":");
    }
    c_.waveView->update();
}

}  // namespace sv
