#pragma once
// The main window: the document, its commands, the option controls and the timbre controls.
#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppPorts.h"
#include "app/AppState.h"
#include "app/TimbreFolders.h"
#include "base/Progress.h"

class QAbstractButton;

namespace sv {

class TProgFrm;
struct TControls;

// What the window is started with. Empty members take the program's own choice.
struct TWindowSetup {
    TUserDialogs* dialogs = nullptr;  // message boxes and the hourglass cursor
    TFileChooser* files = nullptr;    // file dialogs and the batch window
    ProgressFactory progress;         // progress windows (TProgFrm)
    std::filesystem::path workFolder;                 // ChooseWorkFolder()
    std::vector<std::filesystem::path> timbreFolders;  // DefaultTimbreFolders()
    std::string startFile;                            // opened at start when not empty
};

class TRemastering final : public QMainWindow {
public:
    explicit TRemastering(TWindowSetup setup = {}, QWidget* parent = nullptr);
    ~TRemastering() override;

    AppState& State() { return state_; }
    const TTimbreFolders& TimbreFolders() const { return timbreFolders_; }
    bool CommandRunning() const { return commandRunning_; }

    // Options and modes.
    void Available(bool enabled);
    void RaPrumClick();
    void RaWeightClick();
    void RaStereoClick();
    void TBarChanelsChange();
    void RaStressClick();
    void RaMediClick();
    void RaPeekClick();
    void TBarWeigChange();
    void SpChange(QObject* sender);
    void ChPassClick();
    void CbBlPeekChange();
    void ChRemasteringClick();
    void FormActivate();
    void FormDeactivate();
    void BtStopClick();

    // Document commands.
    void OpenFile(const std::string& fileName);
    void SaveFile(const std::string& fileName);
    void AskToSave();
    void MeOpenClick();
    void MeRevToSavClick();
    void MeSaveClick();
    void MeSaveAsClick();
    void MeEndClick();

    // Processing commands.
    TRemasterSettings ReadSettings() const;
    void MeRemNoiseClick();
    void MeRemPeekClick();
    void MeNormalizeClick();
    void MeRemasterClick();
    void MeDetectClick();
    void MeBatchClick();

    // Help menu.
    void MeTopicClick();
    void MeAboutClick();

    // Timbre controls.
    void TimbreClick(QObject* sender);
    void RaDetectClick();
    void ListTimbres();
    void SavFreqClick();
    void ComboBoxSelect();
    void DelFreqClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TCommandScope;
    // Runs one command: none starts while another runs (a progress window dispatches events),
    // and an error ends it with a message instead of ending the program.
    void RunCommand(const std::function<void()>& body);
    void ReportError(const std::string& text);
    void FormCreate(const std::string& startFile);
    void FormClose();
    void BuildWindow();
    void BuildMenus();
    void AssignTexts();
    void ConnectHandlers();
    void SetChannelControls(bool stereo);
    void ShowDocumentInStatusBar(const std::string& fileName);
    void SetPanel(int panel, const std::string& text);
    std::unique_ptr<TProgress> MakeProgress();
    void ClearRadio(QAbstractButton* radio);

    AppState state_;
    TWindowSetup setup_;
    std::unique_ptr<TUserDialogs> ownDialogs_;
    std::unique_ptr<TFileChooser> ownFiles_;
    TTimbreFolders timbreFolders_;
    TWaveEnv env_;
    std::unique_ptr<TFiltr> engine_;
    std::unique_ptr<TControls> c_;
    QPointer<TProgFrm> activeProgress_;
    bool commandRunning_ = false;
    bool closeRequested_ = false;
};

}  // namespace sv
