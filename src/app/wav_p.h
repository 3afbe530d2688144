#pragma once
// The main window: the document, its commands, the option controls and the timbre controls.
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppPorts.h"
#include "app/AppState.h"
#include "app/TimbreFolders.h"
#include "base/Progress.h"
#include "view/ViewNavigation.h"

class QAbstractButton;

namespace sv {

class TProgFrm;
class TWaveformRenderer;
struct TControls;
struct TPassSettings;
class Clock;
class Player;
class SoundOutput;
class TickTimer;

// What the window is started with. Empty members take the program's own choice.
struct TWindowSetup {
    TUserDialogs* dialogs = nullptr;  // message boxes and the hourglass cursor
    TFileChooser* files = nullptr;    // file dialogs and the batch window
    ProgressFactory progress;         // progress windows (TProgFrm)
    std::filesystem::path workFolder;                 // ChooseWorkFolder()
    std::vector<std::filesystem::path> timbreFolders;  // DefaultTimbreFolders()
    std::string startFile;                            // opened at start when not empty
    SoundOutput* soundOutput = nullptr;               // null: the Qt sound output
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

    // Transport.
    void BtPlayClick();
    void BtPauseClick();
    void BtStopClick();
    void BtBegClick();
    void BtRewMouseDown();
    void BtFFMouseDown();
    void BtFFMouseUp();
    void TimerTimer();
    void TogglePlayback();
    bool PlayerActive() const;
    bool Paused() const { return paused_; }
    Player* CurrentPlayer() const { return player_.get(); }

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

    // Waveform view: drawing, zoom, scrolling, selection, block delete.
    void OnPaint();  // redraws the view (from the cache unless something changed) and the labels
    void Paint();    // rebuilds the overview for the visible span, then redraws
    // Moves the play cursor to the view state's PlayPosition (and the block-start marker),
    // touching only the columns they leave and enter.
    void RefreshCursors();
    void BbLupHorPlusClick();
    void BbLupHorMinusClick();
    void BbLupHorClick();
    void BbLupVerPlusClick();
    void BbLupVerMinusClick();
    void BbLupVerClick();
    void SbHorizontalChange();
    void SbVertikalChange();
    void PaintBox1MouseDown(double x, bool shift);
    void PaintBox1MouseMove(double x);
    void PaintBox1MouseUp();
    void BbDelClick();
    TScrollBarState& HorizontalBar() { return horizontalBar_; }
    TScrollBarState& VerticalBar() { return verticalBar_; }
    const QImage& WaveImage() const { return waveImage_; }
    TPassSettings PassSettings() const;
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
    void ConnectViewHandlers();
    void ZoomStep(TZoomCommand command, bool horizontal);
    void ZoomAround(double x, TZoomCommand command);
    void DrawWaveImage();
    void UpdateBlockLabels();
    void ShowScrollBars();
    void ResetScrollBars();
    bool ViewEvent(QEvent* event);
    void ClearRadio(QAbstractButton* radio);
    void ConnectTransport();
    void StopTransport();
    void NewPlayer();
    void ShowPlaybackUnavailable();

    AppState state_;
    TWindowSetup setup_;
    std::unique_ptr<TUserDialogs> ownDialogs_;
    std::unique_ptr<TFileChooser> ownFiles_;
    TTimbreFolders timbreFolders_;
    TWaveEnv env_;
    std::unique_ptr<TFiltr> engine_;
    std::unique_ptr<TControls> c_;
    std::unique_ptr<TWaveformRenderer> renderer_;
    QImage waveImage_;  // the view's picture; the renderer draws into it, the widget shows it
    TScrollBarState horizontalBar_, verticalBar_;
    bool showingBars_ = false;  // scroll-bar changes made by the window itself
    QPointer<TProgFrm> activeProgress_;
    bool commandRunning_ = false;
    bool closeRequested_ = false;

    std::unique_ptr<Clock> playbackClock_;
    std::unique_ptr<SoundOutput> ownSound_;
    SoundOutput* sound_ = nullptr;
    std::unique_ptr<Player> player_;
    std::atomic<bool> playerActive_{false};
    bool paused_ = false;
    std::atomic<bool> viewTickPending_{false};
    std::unique_ptr<TickTimer> viewTimer_;
};

}  // namespace sv
