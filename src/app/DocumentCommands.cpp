// Open, Return to saved, Save, Save As and the unsaved-data question.
#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <utility>

#include "app/MainWindowControls.h"
#include "app/MainWindowWork.h"
#include "app/ModesPanel.h"
#include "app/PaintBox.h"
#include "app/StageOptionsPanel.h"
#include "app/WaveformView.h"
#include "audio/AudioFileFormats.h"
#include "audio/SoundFileExport.h"
#include "base/IoError.h"
#include "history/EditHistory.h"
#include "text/FileMessages.h"
#include "text/Language.h"

namespace sv {

namespace {

bool Exists(const std::string& fileName) {
    std::error_code ec;
    return std::filesystem::exists(fileName, ec);
}

std::string WithoutFolder(const std::string& fileName) {
    return std::filesystem::path(fileName).filename().string();
}

}  // namespace

void MainWindow::SetChannelControls(bool stereo) {
    c_->stages->EnablePerChannel(stereo);
    c_->modes->EnableChannelChoice(stereo);
}

void MainWindow::ShowDocumentInStatusBar(const std::string& fileName) {
    const auto& t = Texts();
    const Wave& wave = *state_.Document;
    SetPanel(0, t.SampleCountPanel + ": " + std::to_string(wave.FrameCount()));
    SetPanel(1, t.ChannelsPanel + ": " + std::to_string(wave.Channels()));
    SetPanel(2, t.SampleRatePanel + ": " + std::to_string(wave.SampleRate()) + " Hz");
    SetPanel(3,
             t.BitsPerSamplePanel + ": " + std::to_string(wave.BitsPerSample()) + " " + t.BitsUnit);
    SetPanel(4, t.FileNamePanel + ": " + WithoutFolder(fileName));
}

void MainWindow::OpenFile(const Command& command, const std::string& fileName,
                          std::function<void(bool)> then, const std::string& stepName) {
    const auto& t = Texts();
    if (!Exists(fileName)) {
        setup_.dialogs->Message(t.MissingFilePrefix + ":" + fileName + " " + t.MissingFileSuffix);
        return then(false);
    }
    // The new file is read in full beside the current document, which goes only once the new
    // one is there: a file that fails leaves the window as it was. The load fills the overview
    // for the view it sees: the whole length.
    const ViewPosition kept = state_.View.Position;
    state_.View.Position = ViewPosition{};
    struct Outcome {
        LoadResult loaded;
        std::string failure;
    };
    RunWork(
        command,
        [fileName, env = env_] {
            Outcome outcome;
            try {
                outcome.loaded = OpenAudioFile(fileName, env);
            } catch (const std::bad_alloc&) {
                outcome.failure = "Out of memory";
            } catch (const std::exception& error) {
                outcome.failure = error.what();
            }
            return outcome;
        },
        [this, kept, fileName, stepName, then = std::move(then)](Outcome outcome) {
            state_.View.Position = kept;
            if (!outcome.loaded.Document) {
                std::string failure = outcome.failure;
                if (failure.empty())
                    failure = LoadRefusalMessage(outcome.loaded.Outcome, outcome.loaded.Reason,
                                                 env_.WorkFolder);
                if (failure.find(fileName) == std::string::npos)
                    failure += " (" + WithoutFolder(fileName) + ")";
                setup_.dialogs->Message(failure);
                return then(false);
            }
            InstallDocument(std::move(outcome.loaded.Document), fileName, stepName);
            then(true);
        });
}

void MainWindow::InstallDocument(std::unique_ptr<Wave> document, const std::string& fileName,
                                 const std::string& stepName) {
    StopPlayback();  // the player must not read a released document
    std::unique_ptr<Wave> previous = std::exchange(state_.Document, std::move(document));
    if (stepName.empty() || !previous) {
        previous.reset();
        history_->Clear();
    } else {
        RecordStep(stepName, std::move(previous));
        history_->MarkSaved();
    }
    ShowUndoItems();
    state_.WaveLoaded = true;
    state_.Flags.DataSaved = true;
    state_.View.Reset();
    waveView_->ResetScrollBars();
    // Loading keeps the overview of two channels only; more lanes need a full pass.
    if (state_.Document->Channels() > 2)
        state_.Overview.Build(*state_.Document, 0, state_.Document->FrameCount());
    SetChannelControls(state_.Document->Channels() >= 2);
    ShowDocumentInStatusBar(fileName);
}

void MainWindow::SaveFile(const Command& command, const std::string& fileName,
                          std::function<void()> then) {
    const auto& t = Texts();
    if (!state_.Document) return then();
    if (Exists(fileName)) {
        if (IsWriteProtected(fileName)) {
            setup_.dialogs->Message(t.NamedFilePrefix + " " + fileName + " " +
                                    t.WriteProtectedSuffix);
            return then();
        }
        if (!setup_.dialogs->Question(t.NamedFilePrefix + " " + fileName + " " +
                                      t.OverwriteQuestionSuffix))
            return then();
    }
    RunOnDocument(
        command, [fileName](LentDocument& lent) { return SaveAudioFile(*lent.Document, fileName); },
        [this, then = std::move(then)](const SaveResult& result) {
            state_.Flags.DataSaved = result.Saved();
            if (result.Saved()) history_->MarkSaved();
            if (!state_.Flags.DataSaved) {
                // Other causes (a folder, a device, a missing folder, a name too long) are named
                // as such.
                const auto& t = Texts();
                const int cause = result.Code();
                setup_.dialogs->Message(cause == 0 || IsFullOrProtectedMedium(cause)
                                            ? t.SaveFailedMessage
                                            : result.Reason());
            }
            then();
        });
}

void MainWindow::AskToSave(const Command& command, std::function<void(bool)> then) {
    if (state_.Flags.DataSaved || !state_.Document) return then(true);
    switch (setup_.dialogs->QuestionOrCancel(Texts().SaveChangesQuestion)) {
        case Answer::No:
            // The mark stays until the document is really gone: the command may still fail.
            return then(true);
        case Answer::Cancel:
            return then(false);
        case Answer::Yes:
            break;
    }
    const auto name = setup_.files->ChooseSaveName(state_.SaveFileName);
    if (!name) return then(false);
    state_.SaveFileName = *name;
    SaveFile(command, *name, [this, then = std::move(then)] { then(state_.Flags.DataSaved); });
}

void MainWindow::Open() {
    RunCommand([this](const Command& command) {
        StopPlayback();
        AskToSave(command, [this, command](bool discard) {
            if (!discard) return;
            // A cancelled dialog keeps the current name, so Save and Return to saved still mean
            // the open document's file.
            const auto name = setup_.files->ChooseOpenName(state_.FileName);
            if (!name) return;
            OpenFile(command, *name, [this, command, name = *name](bool opened) {
                if (opened) state_.FileName = name;
                state_.RedrawWave = true;
                c_->waveView->update();
                if (opened) ShowLoudness(command);
            });
        });
    });
}

void MainWindow::ReturnToSaved() {
    RunCommand([this](const Command& command) {
        StopPlayback();
        if (!setup_.dialogs->Question(Texts().DiscardChangesQuestion)) return;
        OpenFile(
            command, state_.FileName,
            [this, command](bool opened) {
                state_.RedrawWave = true;
                c_->waveView->update();
                if (opened) ShowLoudness(command);
            },
            Texts().ReturnToSavedCaption);
    });
}

void MainWindow::Save() {
    RunCommand([this](const Command& command) { SaveFile(command, state_.FileName, [] {}); });
}

void MainWindow::SaveAs() {
    RunCommand([this](const Command& command) {
        state_.SaveFileName = state_.FileName;
        const auto chosen = setup_.files->ChooseSaveName(state_.SaveFileName);
        if (!chosen) return;
        std::string name = *chosen;
        state_.SaveFileName = name;
        // A name without a dot and three letters at its end gets ".wav", unless it names one of
        // the other formats saved.
        if (!IsSoundFileExportExtension(name) && (name.size() < 4 || name[name.size() - 4] != '.'))
            name += ".wav";
        state_.FileName = name;
        SetPanel(4, Texts().FileNamePanel + ": " + WithoutFolder(name));
        SaveFile(command, name, [] {});
    });
}

}  // namespace sv
