// Open, Return to saved, Save, Save As and the unsaved-data question.
#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>

#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/ModesPanel.h"
#include "app/PaintBox.h"
#include "app/StageOptionsPanel.h"
#include "audio/AudioFileFormats.h"
#include "audio/SoundFileExport.h"
#include "base/IoError.h"
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

bool MainWindow::OpenFile(const std::string& fileName) {
    const auto& t = Texts();
    if (!Exists(fileName)) {
        setup_.dialogs->Message(t.MissingFilePrefix + ":" + fileName + " " + t.MissingFileSuffix);
        return false;
    }
    // The new file is read in full beside the current document, which goes only once the new
    // one is there: a file that fails leaves the window as it was.
    LoadResult loaded;
    std::string failure;
    {
        // The load fills the overview for the view it sees: the whole length.
        const ViewPosition kept = state_.View.Position;
        state_.View.Position = ViewPosition{};
        try {
            loaded = OpenAudioFile(fileName, env_);
        } catch (const std::bad_alloc&) {
            failure = "Out of memory";
        } catch (const std::exception& error) {
            failure = error.what();
        }
        state_.View.Position = kept;
    }
    if (!loaded.Document) {
        if (failure.empty()) failure = LoadRefusalMessage(loaded, env_.WorkFolder);
        if (failure.find(fileName) == std::string::npos)
            failure += " (" + WithoutFolder(fileName) + ")";
        setup_.dialogs->Message(failure);
        return false;
    }
    StopPlayback();  // the player must not read a released document
    state_.Document = std::move(loaded.Document);
    state_.WaveLoaded = true;
    state_.Flags.DataSaved = true;
    state_.View.Reset();
    ResetScrollBars();
    // Loading keeps the overview of two channels only; more lanes need a full pass.
    if (state_.Document->Channels() > 2)
        state_.Document->BuildOverview(0, state_.Document->FrameCount());
    SetChannelControls(state_.Document->Channels() >= 2);
    ShowDocumentInStatusBar(fileName);
    return true;
}

void MainWindow::SaveFile(const std::string& fileName) {
    const auto& t = Texts();
    if (!state_.Document) return;
    if (Exists(fileName)) {
        if (IsWriteProtected(fileName)) {
            setup_.dialogs->Message(t.NamedFilePrefix + " " + fileName + " " +
                                    t.WriteProtectedSuffix);
            return;
        }
        if (!setup_.dialogs->Question(t.NamedFilePrefix + " " + fileName + " " +
                                      t.OverwriteQuestionSuffix))
            return;
    }
    const SaveResult result = SaveAudioFile(*state_.Document, fileName);
    state_.Flags.DataSaved = result.Saved();
    if (state_.Flags.DataSaved) return;
    // Other causes (a folder, a device, a missing folder, a name too long) are named as such.
    const int cause = result.Code();
    setup_.dialogs->Message(cause == 0 || IsFullOrProtectedMedium(cause) ? t.SaveFailedMessage
                                                                         : result.Reason());
}

bool MainWindow::AskToSave() {
    if (state_.Flags.DataSaved || !state_.Document) return true;
    switch (setup_.dialogs->QuestionOrCancel(Texts().SaveChangesQuestion)) {
        case Answer::No:
            // The mark stays until the document is really gone: the command may still fail.
            return true;
        case Answer::Cancel:
            return false;
        case Answer::Yes:
            break;
    }
    const auto name = setup_.files->ChooseSaveName(state_.SaveFileName);
    if (!name) return false;
    state_.SaveFileName = *name;
    SaveFile(*name);
    return state_.Flags.DataSaved;
}

void MainWindow::Open() {
    RunCommand([this] {
        StopPlayback();
        if (!AskToSave()) return;
        // A cancelled dialog keeps the current name, so Save and Return to saved still mean the
        // open document's file.
        const auto name = setup_.files->ChooseOpenName(state_.FileName);
        if (!name) return;
        if (OpenFile(*name)) {
            state_.FileName = *name;
            ShowLoudness();
        }
        state_.RedrawWave = true;
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
}

void MainWindow::ReturnToSaved() {
    RunCommand([this] {
        StopPlayback();
        if (!setup_.dialogs->Question(Texts().DiscardChangesQuestion)) return;
        if (OpenFile(state_.FileName)) ShowLoudness();
        state_.RedrawWave = true;
        c_->waveView->update();
        EnableCommands(state_.WaveLoaded);
    });
}

void MainWindow::Save() {
    RunCommand([this] { SaveFile(state_.FileName); });
}

void MainWindow::SaveAs() {
    RunCommand([this] {
        state_.SaveFileName = state_.FileName;
        const auto chosen = setup_.files->ChooseSaveName(state_.SaveFileName);
        if (!chosen) return;
        std::string name = *chosen;
        state_.SaveFileName = name;
        // A name without a dot and three letters at its end gets ".wav", unless it names one of
        // the other formats saved.
        if (!IsSoundFileExportExtension(name) && (name.size() < 4 || name[name.size() - 4] != '.'))
            name += ".wav";
        SaveFile(name);
        state_.FileName = name;
        SetPanel(4, Texts().FileNamePanel + ": " + WithoutFolder(name));
    });
}

}  // namespace sv
