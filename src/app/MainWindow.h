#pragma once
// The main window: the document, its commands, the option controls and the timbre controls.
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppPorts.h"
#include "app/AppState.h"
#include "base/Progress.h"
#include "base/Worker.h"
#include "timbre/TimbreFolders.h"
#include "timbre/Timbres.h"
#include "view/ViewNavigation.h"

class QMenuBar;

namespace sv {

class ProgressWindows;
class WaveformView;
struct MainWindowControls;
struct PassFilterSettings;
class Clock;
class Player;
class EditHistory;
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
    // A command may go on after its handler returned, while its operation works on the worker
    // thread; it has ended when this is false.
    bool CommandRunning() const { return commandRunning_; }
    ProgressWindows& OperationWindows() { return *progressWindows_; }

    void EnableCommands(bool enabled);

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
    void Open();
    void ReturnToSaved();
    void Save();
    void SaveAs();

    // Processing commands.
    RemasterSettings ReadSettings() const;
    void RemoveNoise();
    void FitPeaks();
    void Normalize();
    void Remaster();
    void DetectTimbre();
    void ProcessBatch();

    // Edit menu: takes back, or does again, a command that changed the document.
    void Undo();
    void Redo();
    // Notes, for the loudness figures, whether the true-peak ceiling held loudness normalizing.
    void NoteLoudness(const ChainOutcome& outcome, double ceilingDbtp);

    // Waveform view: drawing, zoom, scrolling, selection, block delete.
    void OnPaint();  // redraws the view (from the cache unless something changed) and the labels
    // Moves the play cursor to the view state's PlayPosition (and the block-start marker),
    // touching only the columns they leave and enter.
    void RefreshCursors();
    void ZoomInHorizontally();
    void ZoomInVertically();
    ScrollBarState& HorizontalBar();
    const QImage& WaveImage() const;

    // Timbre controls.
    void ListTimbres();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Handlers of the window's own controls and menus.
    const TimbreFolders& StoredTimbreFolders() const { return timbreFolders_; }
    void Activate();
    void Deactivate();
    void Exit();
    PassFilterSettings PassSettings() const;
    // Help menu.
    void ShowHelp();
    void ShowAbout();
    void SelectTimbre(BuiltInTimbre timbre);
    void SelectDetectedTimbre();
    void SaveStoredTimbre();
    void SelectStoredTimbre();
    void DeleteStoredTimbre();

    class CommandScope;
    // Held by a command and by every step that continues it; the command ends with the last.
    using Command = std::shared_ptr<CommandScope>;
    struct LentDocument;
    void DeleteSelectedBlock(const Command& command);
    void RemoveBlock(std::int64_t first, std::int64_t end);
    struct BatchRun;
    // Runs one command: none starts while another runs, and an error ends it with a message
    // instead of ending the program. The body may hand the command on to later steps.
    void RunCommand(const std::function<void(const Command&)>& body);
    void RunCommand(const std::function<void()>& body);
    void Guarded(const Command& command, const std::function<void()>& step);
    void ReportError(const std::string& text);
    void ReportError(std::exception_ptr error);
    // Runs work on the worker thread with the document and the spectra lent to it; then goes on
    // on the window's thread once they are back. The window does not touch them meanwhile.
    template <typename Work, typename Then>
    void RunOnDocument(const Command& command, Work work, Then then);
    template <typename Work, typename Then>
    void RunWork(const Command& command, Work work, Then then);
    void PrepareWork();
    void TakeBack(LentDocument& lent);

    // Document steps. then(true) when the file became the document; otherwise the message is
    // shown and the current document stays as it was. With a step name the document replaced
    // is kept as an undo step so named; without, the undo history starts anew.
    void OpenFile(const Command& command, const std::string& fileName,
                  std::function<void(bool)> then, const std::string& stepName = {});
    void InstallDocument(std::unique_ptr<Wave> document, const std::string& fileName,
                         const std::string& stepName);
    void SaveFile(const Command& command, const std::string& fileName, std::function<void()> then);
    // Asks whether to save unsaved data. then(true) when the caller may discard the document:
    // it was saved, or the user declined; false on Cancel and when Yes did not end in a saved
    // file.
    void AskToSave(const Command& command, std::function<void(bool)> then);
    // After an operation: note a cancel, redraw and mark unsaved when it replaced the document.
    void OperationEnded(const Command& command, WalkResult result, bool replaced);
    // Keeps previous, the document a command replaced or changed, as the step undo returns to.
    void RecordStep(const std::string& commandName, std::unique_ptr<Wave> previous);
    void StepThroughHistory(bool back);
    void ShowUndoItems();
    std::string historyNote_;  // steps a bound dropped, shown with the next loudness figures
    template <typename Stage>
    void RunStageCommand(const Command& command, const std::string& commandName, Stage stage);
    void RunChainCommand(const Command& command, const RemasterSettings& settings,
                         const std::string& commandName);
    // Measures the open document's loudness (with a progress window that may cancel) and shows
    // it in the status bar; without a document the panel shows its caption only.
    void ShowLoudness(const Command& command, std::function<void()> then = {});
    void NextBatchFile(const Command& command, const std::shared_ptr<BatchRun>& run);
    void ProcessBatchFile(const Command& command, const std::shared_ptr<BatchRun>& run,
                          const std::string& name);
    void EndBatch(const std::shared_ptr<BatchRun>& run);
    std::string loudnessHeldNote_;  // shown after the loudness figures until the next command
    void Initialize(const std::string& startFile);
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
    void ConnectViewHandlers();
    void ConnectViewCommands();
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
    std::unique_ptr<WaveformView> waveView_;
    std::unique_ptr<EditHistory> history_;  // its documents go before state_'s overview
    bool commandRunning_ = false;
    bool closeRequested_ = false;
    bool closeApproved_ = false;  // the document is dealt with: the next close goes through
    bool closing_ = false;        // inside closeEvent
    std::unique_ptr<UserDialogs> workerDialogs_;  // what the worker's operations show
    ProgressWindows* progressWindows_ = nullptr;  // a child of the window

    std::unique_ptr<Clock> playbackClock_;
    std::unique_ptr<SoundOutput> ownSound_;
    SoundOutput* sound_ = nullptr;
    std::unique_ptr<Player> player_;
    std::atomic<bool> playerActive_{false};
    bool paused_ = false;
    std::atomic<bool> viewTickPending_{false};
    std::unique_ptr<TickTimer> viewTimer_;
    // Last: joined before anything its work uses goes. Its ends are dropped with the window.
    Worker worker_{[this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    }};
};

}  // namespace sv
