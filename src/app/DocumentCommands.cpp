// Open, Return to saved, Save, Save As, Delete block and the unsaved-data question.
#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <algorithm>
#include <utility>

#include "app/DocumentController.h"
#include "app/MainWindowControls.h"
#include "app/ModesPanel.h"
#include "app/PaintBox.h"
#include "app/StageOptionsPanel.h"
#include "app/WaveformView.h"
#include "audio/AudioFileFormats.h"
#include "audio/SoundFileExport.h"
#include "base/IoError.h"
#include "history/DocumentCopy.h"
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

DocumentController::DocumentController(CommandHost& host, DocumentState& state,
                                       WaveOverview& overview, const MainWindowControls& controls,
                                       Ports ports)
    : host_(host),
      state_(state),
      overview_(overview),
      c_(controls),
      ports_(ports),
      history_(std::make_unique<EditHistory>(ports.env.WorkFolder)) {}

DocumentController::~DocumentController() = default;

void DocumentController::ReleaseHistory() { history_.reset(); }

void DocumentController::RedrawSurface() { c_.waveView->update(); }

void DocumentController::ShowDocumentInStatusBar(const std::string& fileName) {
    const auto& t = Texts();
    const Wave& wave = *state_.Document;
    host_.SetPanel(0, t.SampleCountPanel + ": " + std::to_string(wave.FrameCount()));
    host_.SetPanel(1, t.ChannelsPanel + ": " + std::to_string(wave.Channels()));
    host_.SetPanel(2, t.SampleRatePanel + ": " + std::to_string(wave.SampleRate()) + " Hz");
    host_.SetPanel(3, t.BitsPerSamplePanel + ": " + std::to_string(wave.Format().BitsPerSample) +
                          " " + t.BitsUnit);
    host_.SetPanel(4, t.FileNamePanel + ": " + WithoutFolder(fileName));
}

void DocumentController::OpenFile(const Command& command, const std::string& fileName,
                                  std::function<void(bool)> then, const std::string& stepName) {
    const auto& t = Texts();
    if (!Exists(fileName)) {
        ports_.dialogs->Message(t.MissingFilePrefix + ":" + fileName + " " + t.MissingFileSuffix);
        return then(false);
    }
    // The new file is read in full beside the current document, which goes only once the new
    // one is there: a file that fails leaves the window as it was. The load fills the overview
    // for the view it sees: the whole length.
    const ViewPosition kept = host_.View().MoveTo(ViewPosition{});
    struct Outcome {
        LoadResult loaded;
        std::string failure;
    };
    host_.RunWork(
        command,
        [fileName, env = ports_.env] {
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
            host_.View().MoveTo(kept);
            if (!outcome.loaded.Document) {
                std::string failure = outcome.failure;
                if (failure.empty())
                    failure = LoadRefusalMessage(outcome.loaded.Outcome, outcome.loaded.Reason,
                                                 ports_.env.WorkFolder);
                if (failure.find(fileName) == std::string::npos)
                    failure += " (" + WithoutFolder(fileName) + ")";
                ports_.dialogs->Message(failure);
                return then(false);
            }
            InstallDocument(std::move(outcome.loaded.Document), fileName, stepName);
            then(true);
        });
}

void DocumentController::InstallDocument(std::unique_ptr<Wave> document,
                                         const std::string& fileName, const std::string& stepName) {
    host_.StopReadingDocument();
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
    host_.View().Reset();
    // Loading keeps the overview of two channels only; more lanes need a full pass.
    if (state_.Document->Channels() > 2)
        overview_.Build(*state_.Document, 0, state_.Document->FrameCount());
    host_.SetChannelControls(state_.Document->Channels() >= 2);
    ShowDocumentInStatusBar(fileName);
}

void DocumentController::SaveFile(const Command& command, const std::string& fileName,
                                  std::function<void()> then, bool askToReplace) {
    const auto& t = Texts();
    if (!state_.Document) return then();
    if (Exists(fileName)) {
        if (IsWriteProtected(fileName)) {
            ports_.dialogs->Message(t.NamedFilePrefix + " " + fileName + " " +
                                    t.WriteProtectedSuffix);
            return then();
        }
        if (askToReplace && !ports_.dialogs->Question(t.NamedFilePrefix + " " + fileName + " " +
                                                      t.OverwriteQuestionSuffix))
            return then();
    }
    host_.RunOnDocument(
        command, [fileName](LentDocument& lent) { return SaveAudioFile(*lent.Document, fileName); },
        [this, then = std::move(then)](const SaveResult& result) {
            state_.Flags.DataSaved = result.Saved();
            if (result.Saved()) history_->MarkSaved();
            if (!state_.Flags.DataSaved) {
                // Other causes (a folder, a device, a missing folder, a name too long) are named
                // as such.
                const auto& t = Texts();
                const int cause = result.Code();
                ports_.dialogs->Message(cause == 0 || IsFullOrProtectedMedium(cause)
                                            ? t.SaveFailedMessage
                                            : result.Reason());
            }
            then();
        });
}

void DocumentController::AskToSave(const Command& command, std::function<void(bool)> then) {
    if (state_.Flags.DataSaved || !state_.Document) return then(true);
    switch (ports_.dialogs->QuestionOrCancel(Texts().SaveChangesQuestion)) {
        case Answer::No:
            // The mark stays until the document is really gone: the command may still fail.
            return then(true);
        case Answer::Cancel:
            return then(false);
        case Answer::Yes:
            break;
    }
    const auto name = ports_.files.ChooseSaveName(state_.SaveFileName);
    if (!name) return then(false);
    state_.SaveFileName = *name;
    SaveFile(command, *name, [this, then = std::move(then)] { then(state_.Flags.DataSaved); });
}

void DocumentController::Open() {
    host_.RunCommand([this](const Command& command) {
        host_.StopPlayback();
        AskToSave(command, [this, command](bool discard) {
            if (!discard) return;
            // A cancelled dialog keeps the current name, so Save and Return to saved still mean
            // the open document's file.
            const auto name = ports_.files.ChooseOpenName(state_.FileName);
            if (name) OpenChosen(command, *name);
        });
    });
}

void DocumentController::OpenNamed(const std::string& fileName) {
    host_.RunCommand([this, fileName](const Command& command) {
        host_.StopPlayback();
        AskToSave(command, [this, command, fileName](bool discard) {
            if (discard) OpenChosen(command, fileName);
        });
    });
}

void DocumentController::OpenChosen(const Command& command, const std::string& name) {
    OpenFile(command, name, [this, name](bool opened) {
        if (opened) state_.FileName = name;
        state_.RedrawWave = true;
        RedrawSurface();
        if (!opened) return;
        if (onOpened) onOpened(name);
        host_.ShowLoudness();
    });
}

void DocumentController::ReturnToSaved() {
    host_.RunCommand([this](const Command& command) {
        host_.StopPlayback();
        if (!ports_.dialogs->Question(Texts().DiscardChangesQuestion)) return;
        OpenFile(
            command, state_.FileName,
            [this](bool opened) {
                state_.RedrawWave = true;
                RedrawSurface();
                if (opened) host_.ShowLoudness();
            },
            Texts().ReturnToSavedCaption);
    });
}

void DocumentController::Save() {
    host_.RunCommand([this](const Command& command) {
        SaveFile(
            command, state_.FileName, [] {}, false);
    });
}

void DocumentController::SaveAs() {
    host_.RunCommand([this](const Command& command) {
        state_.SaveFileName = state_.FileName;
        const auto chosen = ports_.files.ChooseSaveName(state_.SaveFileName);
        if (!chosen) return;
        std::string name = *chosen;
        state_.SaveFileName = name;
        // A name without a dot and three letters at its end gets ".wav", unless it names one of
        // the other formats saved.
        if (!IsSoundFileExportExtension(name) && (name.size() < 4 || name[name.size() - 4] != '.'))
            name += ".wav";
        state_.FileName = name;
        host_.SetPanel(4, Texts().FileNamePanel + ": " + WithoutFolder(name));
        SaveFile(command, name, [] {});
    });
}

void DocumentController::DeleteSelectedBlock(const Command& command) {
    if (!state_.Document) return;
    host_.StopPlayback();
    const auto [start, finish] = host_.View().SelectedFrames();
    const std::int64_t first = std::max<std::int64_t>(start, 0);
    const std::int64_t end = std::min(finish, state_.Document->FrameCount());
    if (end <= first) return RemoveBlock(first, end);
    // The block goes in place: the undo step is a copy taken first, on the worker.
    host_.RunOnDocument(
        command, [](LentDocument& lent) { return CopyDocument(*lent.Document); },
        [this, first, end](std::unique_ptr<Wave> copy) {
            RecordStep(Texts().DeleteBlockCaption, std::move(copy));
            RemoveBlock(first, end);
        });
}

void DocumentController::RemoveBlock(std::int64_t first, std::int64_t end) {
    host_.StopReadingDocument();
    Wave& wave = *state_.Document;
    DeleteBlock(wave, first, end);
    state_.WaveLoaded = wave.HasData();
    host_.EnableCommands(state_.WaveLoaded);
    host_.View().ClearSelection();
    host_.View().ScrollHorizontally();
    state_.Flags.DataSaved = false;
    // The status bar follows the document's new length; the loudness shown no longer holds.
    host_.SetPanel(0, Texts().SampleCountPanel + ": " + std::to_string(wave.FrameCount()));
    const std::string note = TakeHistoryNote();
    host_.SetPanel(5, Texts().LoudnessCaption + ":" + (note.empty() ? "" : " " + note));
}

}  // namespace sv
