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
#include "app/CommandHost.h"
#include "app/RememberedSettings.h"
#include "base/Progress.h"
#include "base/Worker.h"
#include "timbre/TimbreFolders.h"
#include "timbre/Timbres.h"
#include "view/ViewNavigation.h"

class QMenuBar;

namespace sv {
namespace test {
class WindowProbe;
}

class AbComparison;
class BackgroundLoudness;
class DocumentController;
class ProcessingController;
class SpectrumController;
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
    RememberedSettings remembered;                     // none: nothing kept between runs
    // Processing keeps two windows busy (the document it reads, the one it writes): half the
    // largest window each saves the window 4 MiB, and still holds a hop's channel threads, whose
    // leads stay within a quarter of it. Tests: a small one.
    std::int64_t storeWindowValues = FileMemory::HalfWindow;
};

class MainWindow final : public QMainWindow, private CommandHost {
  public:
    explicit MainWindow(MainWindowSetup setup = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // A command may go on after its handler returned, while its operation works on the worker
    // thread; it has ended when this is false.
    bool CommandRunning() const { return commandRunning_; }
    ProgressWindows& OperationWindows() { return *progressWindows_; }
    // The loudness of the document is being measured beside the window.
    bool MeasuringLoudness() const;

    void EnableCommands(bool enabled) override;

    DocumentController& Documents() { return *documents_; }
    ProcessingController& Processing() { return *processing_; }
    WaveformView& View() override { return *waveView_; }

    // Transport.
    void Play();
    void Pause();
    void StopPlayback() override;
    void GoToStart();
    void StartRewinding();
    void StartFastForward();
    void StopFastForward();
    void MovePlayCursor();
    void TogglePlayback();
    bool PlayerActive() const;
    bool Paused() const { return paused_; }
    Player* CurrentPlayer() const { return player_.get(); }
    void NoteLoudness(const Wave& wave, double integratedLufs) override;
    void NoteStepKept(const Wave* previous) override;

    // Timbre controls.
    void ListTimbres();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Tests read the state through it, and set the few scenes that no command reaches.
    friend class test::WindowProbe;

    // Handlers of the window's own controls and menus.
    const TimbreFolders& StoredTimbreFolders() const { return timbreFolders_; }
    void Activate();
    void ShowTitle();
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

    friend class CommandScope;
    void RunCommand(const std::function<void(const Command&)>& body) override;
    void RunCommand(const std::function<void()>& body);
    void Guarded(const Command& command, const std::function<void()>& step);
    void ReportError(const std::string& text);
    void ReportError(std::exception_ptr error);
    void StartWork(const Command& command, std::function<void()> work,
                   std::function<void()> then) override;
    void StartOnDocument(const Command& command, std::function<void(LentDocument&)> work,
                         std::function<void()> then) override;
    void ShowLoudness() override;
    void StopReadingDocument() override;
    void BeginProgressSeries(std::function<std::string(const std::string&)> title) override;
    void EndProgressSeries() override;
    void PrepareWork();
    void TakeBack(LentDocument& lent);

    void Initialize(const std::string& startFile);
    // Settings kept between runs, the recent files and file drops.
    void RestoreRemembered();
    void ShowRecentFiles();
    void BuildWindow();
    void BuildToolBar(QWidget* client);
    void BuildWavePanel(QWidget* client);
    void BuildZoomPanel(QWidget* client);
    void BuildTargetPanel(QWidget* client);
    void BuildStatusBar();
    void OrderTabs();
    void BuildMenus();
    void BuildFileMenus(QMenuBar* bar);
    void BuildEditMenu(QMenuBar* bar);
    void BuildFilterMenu(QMenuBar* bar);
    void BuildHelpMenu(QMenuBar* bar);
    void AssignTexts();
    void ConnectHandlers();
    void ConnectOptionPanels();
    void ConnectTimbrePanel();
    void SetChannelControls(bool stereo) override;
    void SetPanel(int panel, const std::string& text) override;
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
    std::unique_ptr<BackgroundLoudness> loudness_;   // reads the document: goes before it
    std::unique_ptr<DocumentController> documents_;  // its history goes before the overview
    std::unique_ptr<ProcessingController> processing_;
    std::unique_ptr<SpectrumController> spectrum_;
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
    std::unique_ptr<AbComparison> comparison_;  // A/B: hears an earlier step instead
    // Last: joined before anything its work uses goes. Its ends are dropped with the window.
    Worker worker_{[this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    }};
};

}  // namespace sv
