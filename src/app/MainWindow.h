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
#include "base/Progress.h"
#include "timbre/TimbreFolders.h"
#include "timbre/Timbres.h"
#include "view/ViewNavigation.h"

class QMenuBar;

namespace sv {

class ProgressWindow;
class WaveformRenderer;
struct MainWindowControls;
struct PassFilterSettings;
class Clock;
class Player;
class SoundOutput;
class TickTimer;

// What the window is started with. Empty members take the program's own choice.
struct MainWindowSetup {
    UserDialogs* dialogs = nullptr;                    // message boxes and the hourglass cursor
    FileChooser* files = nullptr;                      // file dialogs and the batch window
    ProgressFactory progress;                          // progress windows (ProgressWindow)
    std::filesystem::path workFolder;                  // ChooseWorkFolder()
    std::vector<std::filesystem::path> timbreFolders;  // DefaultTimbreFolders()
    std::string startFile;                             // opened at start when not empty
    SoundOutput* soundOutput = nullptr;                // null: the Qt sound output
};

class MainWindow final : public QMainWindow {
  public:
    explicit MainWindow(MainWindowSetup setup = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    AppState& State() { return state_; }
    const TimbreFolders& StoredTimbreFolders() const { return timbreFolders_; }
    bool CommandRunning() const { return commandRunning_; }

    void EnableCommands(bool enabled);
    void Activate();
    void Deactivate();

    // Transport.
    void Play();
    void Pause();
    void StopPlayback();
    void GoToStart();
    void StartRewinding();
    void StartFastForward();
    void StopFastForward();
    void MovePlayCursor();
    void TogglePlayback();
    bool PlayerActive() const;
    bool Paused() const { return paused_; }
    Player* CurrentPlayer() const { return player_.get(); }

    // Document commands.
    // True when the file became the document; otherwise the message is shown and the current
    // document stays as it was.
    bool OpenFile(const std::string& fileName);
    void SaveFile(const std::string& fileName);
    // Asks whether to save unsaved data. True when the caller may discard the document: it was
    // saved, or the user declined. False on Cancel and when Yes did not end in a saved file.
    bool AskToSave();
    void Open();
    void ReturnToSaved();
    void Save();
    void SaveAs();
    void Exit();

    // Processing commands.
    RemasterSettings ReadSettings() const;
    // After an operation: note a cancel, redraw and mark unsaved when it replaced the document.
    void OperationEnded(WalkResult result, bool replaced);
    void OperationEnded(WalkResult result);  // replaced when completed
    void RemoveNoise();
    void FitPeaks();
    void Normalize();
    void Remaster();
    void DetectTimbre();
    void ProcessBatch();
    // Measures the open document's loudness (with a progress window that may cancel) and shows
    // it in the status bar; without a document the panel shows its caption only.
    void ShowLoudness();
    // Normalizes the document to the LUFS setting when Normalize is in loudness mode; false when
    // cancelled (the document then stays as it was). Notes in the status bar when the true-peak
    // ceiling kept the loudness below its target.
    bool NormalizeToLoudness(std::unique_ptr<Wave>& document);
    std::string loudnessHeldNote_;  // shown after the loudness figures until the next command

    // Waveform view: drawing, zoom, scrolling, selection, block delete.
    void OnPaint();  // redraws the view (from the cache unless something changed) and the labels
    void Paint();    // rebuilds the overview for the visible span, then redraws
    // Moves the play cursor to the view state's PlayPosition (and the block-start marker),
    // touching only the columns they leave and enter.
    void RefreshCursors();
    void ZoomInHorizontally();
    void ZoomOutHorizontally();
    void ShowWholeWave();
    void ZoomInVertically();
    void ZoomOutVertically();
    void ResetVerticalZoom();
    void ScrollHorizontally();
    void ScrollVertically();
    void PressOnWave(double x, bool shift);
    void MoveOverWave(double x);
    void ReleaseOnWave();
    void DeleteSelectedBlock();
    ScrollBarState& HorizontalBar() { return horizontalBar_; }
    ScrollBarState& VerticalBar() { return verticalBar_; }
    const QImage& WaveImage() const { return waveImage_; }
    PassFilterSettings PassSettings() const;
    // Help menu.
    void ShowHelp();
    void ShowAbout();

    // Timbre controls.
    void SelectTimbre(BuiltInTimbre timbre);
    void SelectDetectedTimbre();
    void ListTimbres();
    void SaveStoredTimbre();
    void SelectStoredTimbre();
    void DeleteStoredTimbre();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class CommandScope;
    // Runs one command: none starts while another runs (a progress window dispatches events),
    // and an error ends it with a message instead of ending the program.
    void RunCommand(const std::function<void()>& body);
    void ReportError(const std::string& text);
    void Initialize(const std::string& startFile);
    bool Shutdown();  // false when the document must stay
    void BuildWindow();
    void BuildToolBar(QWidget* client);
    void BuildWavePanel(QWidget* client);
    void BuildZoomPanel(QWidget* client);
    void BuildTargetPanel(QWidget* client);
    void BuildStatusBar();
    void BuildMenus();
    void BuildFileMenus(QMenuBar* bar);
    void BuildEditMenu(QMenuBar* bar);
    void BuildFilterMenu(QMenuBar* bar);
    void BuildHelpMenu(QMenuBar* bar);
    void AssignTexts();
    void ConnectHandlers();
    void ConnectOptionPanels();
    void ConnectTimbrePanel();
    void SetChannelControls(bool stereo);
    void ShowDocumentInStatusBar(const std::string& fileName);
    void SetPanel(int panel, const std::string& text);
    std::unique_ptr<Progress> MakeProgress();
    void ConnectViewHandlers();
    void ConnectViewCommands();
    void ConnectScrollBars();
    void ConnectPainting();
    void ZoomStep(ZoomCommand command, bool horizontal);
    void ZoomAround(double x, ZoomCommand command);
    void DrawWaveImage();
    void UpdateBlockLabels();
    void ShowScrollBars();
    void ResetScrollBars();
    bool ViewEvent(QEvent* event);
    void ConnectTransport();
    void StopTransport();
    void NewPlayer();
    void ShowPlaybackUnavailable();

    AppState state_;
    MainWindowSetup setup_;
    std::unique_ptr<UserDialogs> ownDialogs_;
    std::unique_ptr<FileChooser> ownFiles_;
    TimbreFolders timbreFolders_;
    WaveEnvironment env_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<MainWindowControls> c_;
    std::unique_ptr<WaveformRenderer> renderer_;
    QImage waveImage_;  // the view's picture; the renderer draws into it, the widget shows it
    ScrollBarState horizontalBar_, verticalBar_;
    bool showingBars_ = false;  // scroll-bar changes made by the window itself
    QPointer<ProgressWindow> activeProgress_;
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
