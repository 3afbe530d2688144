// The main window's life: creation, command running, activation, closing.
#include "app/MainWindow.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>
#include <QWindow>

#include "app/AbComparison.h"
#include "app/BackgroundLoudness.h"
#include "app/DocumentController.h"
#include "app/FileDropTarget.h"
#include "app/MainWindowControls.h"
#include "app/ModesPanel.h"
#include "app/PaintBox.h"
#include "app/ProcessingController.h"
#include "app/ProgressWindow.h"
#include "app/QtDialogs.h"
#include "app/QtText.h"
#include "app/RecentFilesMenu.h"
#include "app/SpectrumController.h"
#include "app/TransportPanel.h"
#include "app/WaveformView.h"
#include "app/WindowThreadDialogs.h"
#include "base/WorkFolder.h"
#include "dsp/Engine.h"
#include "help/AboutBox.h"
#include "help/HelpWindow.h"
#include "history/EditHistory.h"
#include "playback/Clock.h"
#include "playback/Player.h"
#include "playback/TickTimer.h"
#include "text/FileMessages.h"
#include "text/Language.h"
#include "text/StepCaptions.h"
#include "timbre/Timbres.h"
#include "view/WaveformRenderer.h"

namespace sv {

class CommandScope {
  public:
    explicit CommandScope(MainWindow& window) : window_(window), entered_(!window.commandRunning_) {
        if (entered_) window_.commandRunning_ = true;
    }
    ~CommandScope() {
        if (!entered_) return;
        window_.commandRunning_ = false;
        window_.EnableCommands(window_.state_.WaveLoaded);
        // A close asked for during the command, or approved by it, comes now; inside the close
        // handler itself the handler goes on.
        if (window_.closeRequested_ && !window_.closing_) {
            window_.closeRequested_ = false;
            if (window_.isVisible()) window_.close();
        }
    }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;
    explicit operator bool() const { return entered_; }

  private:
    MainWindow& window_;
    bool entered_;
};

MainWindow::MainWindow(MainWindowSetup setup, QWidget* parent)
    : QMainWindow(parent), setup_(std::move(setup)), c_(std::make_unique<MainWindowControls>()) {
    setObjectName("mainWindow");
    setWindowTitle(QStringLiteral("Sonivar"));
    if (!setup_.dialogs) {
        ownDialogs_ = std::make_unique<QtUserDialogs>(this);
        setup_.dialogs = ownDialogs_.get();
    }
    if (!setup_.files) {
        ownFiles_ = std::make_unique<QtFileChooser>(this, setup_.remembered);
        setup_.files = ownFiles_.get();
    }
    workerDialogs_ = std::make_unique<WindowThreadDialogs>(this, &setup_.dialogs);
    progressWindows_ = new ProgressWindows(this);
    timbreFolders_ = setup_.timbreFolders.empty() ? DefaultTimbreFolders()
                                                  : TimbreFoldersOf(setup_.timbreFolders);
    BuildWindow();
    BuildMenus();
    ConnectHandlers();
    ConnectTransport();
    OrderTabs();
    setMinimumSize(680, 563);
    resize(minimumSize());
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    Initialize(setup_.startFile);
    // Another window of this program becoming active (a message box, a progress or batch
    // window) stops playback; another application becoming active does not.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* now) {
        if (now && !isActiveWindow()) StopPlayback();
    });
    RestoreRemembered();
}

MainWindow::~MainWindow() {
    // The controls go after this body; their last signals must not reach handlers that use them.
    for (QObject* child : findChildren<QObject*>()) child->blockSignals(true);
    // A command still going on ends here, with the document given back, not in a half-gone
    // window.
    worker_.Join();
    if (loudness_) loudness_->Stop();
    closeRequested_ = false;
    QCoreApplication::removePostedEvents(this);
    StopTransport();  // the player reads the document
    state_.ReleaseDocument();
    if (documents_) documents_->ReleaseHistory();
}

void MainWindow::Initialize(const std::string& startFile) {
    state_.WorkFolder = setup_.workFolder.empty() ? ChooseWorkFolder() : setup_.workFolder;
    env_.WorkFolder = state_.WorkFolder;
    // The ports are used on the worker thread.
    env_.Ports.progress = setup_.progress ? setup_.progress : progressWindows_->Factory();
    env_.Ports.dialogs = workerDialogs_.get();
    env_.WriteListener = &state_.Overview;
    env_.SamplesStayInSourceFile = true;  // a long file shows at once
    env_.ReadingCaption = ReadingCaption();
    env_.SavingCaption = SavingCaption();
    env_.StoreWindowValues = setup_.storeWindowValues;
    engine_ = std::make_unique<Engine>(env_.Ports, EngineOptions{.Caption = StepCaption});
    CommandHost& host = *this;
    loudness_ = std::make_unique<BackgroundLoudness>(
        [this](std::function<void()> call) {
            QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
        },
        [this](std::exception_ptr error) { ReportError(error); });
    documents_ = std::make_unique<DocumentController>(
        host, state_, state_.Overview, *c_,
        DocumentController::Ports{setup_.dialogs, *setup_.files, env_});
    processing_ = std::make_unique<ProcessingController>(
        host, state_, *c_,
        ProcessingController::Parts{*this, setup_.dialogs, *setup_.files, *engine_, *documents_,
                                    *loudness_, state_, state_.SpectraShared});
    spectrum_ = std::make_unique<SpectrumController>(
        host, state_, state_.SpectraShared,
        SpectrumController::Parts{*this, *c_->filterMenu, *engine_,
                                  [this] { return processing_->ReadSettings(); }});

    state_.WaveLoaded = false;
    EnableCommands(false);
    state_.SpectraShared.ExampleReady = false;
    state_.PeakBlockSize = DefaultOf(&RemasterSettings::PeakBlockSize);

    c_->modes->ResetToDefaults();

    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Clear), state_.SpectraShared.Target);
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Clear), state_.FlatSpectrum);

    if (!startFile.empty()) {
        RunCommand([&](const Command& command) {
            state_.FileName = startFile;
            documents_->OpenFile(command, startFile, [this, startFile](bool opened) {
                if (!opened) return;
                setup_.remembered.AddRecentFile(startFile);
                ShowLoudness();
            });
        });
    }
    ListTimbres();
}

void MainWindow::PrepareWork() {
    StopPlayback();  // the operation may replace the document being played
    progressWindows_->Reset();
}

void MainWindow::TakeBack(LentDocument& lent) {
    state_.Document = std::move(lent.Document);
    state_.SpectraShared = lent.Spectra;
    loudness_->Resume(state_.Document.get());  // after work that left the document as it was
    c_->waveView->update();                    // a paint meanwhile had only the old picture to show
}

void MainWindow::StartWork(const Command& command, std::function<void()> work,
                           std::function<void()> then) {
    PrepareWork();
    worker_.Start(std::move(work),
                  [this, command, then = std::move(then)](std::exception_ptr error) {
                      if (error) return ReportError(error);
                      Guarded(command, then);
                  });
}

void MainWindow::StartOnDocument(const Command& command, std::function<void(LentDocument&)> work,
                                 std::function<void()> then) {
    PrepareWork();
    loudness_->Stop();  // until the document is back
    auto lent = std::make_shared<LentDocument>(
        LentDocument{std::move(state_.Document), state_.SpectraShared});
    worker_.Start([lent, work = std::move(work)] { work(*lent); },
                  [this, command, lent, then = std::move(then)](std::exception_ptr error) {
                      TakeBack(*lent);
                      if (error) return ReportError(error);
                      Guarded(command, then);
                  });
}

void MainWindow::BeginProgressSeries(std::function<std::string(const std::string&)> title) {
    progressWindows_->BeginSeries(std::move(title));
}

void MainWindow::EndProgressSeries() { progressWindows_->EndSeries(); }

void MainWindow::ShowLoudness() { processing_->ShowLoudness(); }

bool MainWindow::MeasuringLoudness() const { return loudness_->Running(); }

void MainWindow::StopReadingDocument() {
    StopPlayback();
    if (!loudness_->Running()) return;
    loudness_->Stop();
    loudness_->Resume(nullptr);  // the figures would be of a document that is gone
    SetPanel(5, Texts().LoudnessCaption + ":");
}

void MainWindow::RunCommand(const std::function<void(const Command&)>& body) {
    if (commandRunning_) return;
    const auto command = std::make_shared<CommandScope>(*this);
    Guarded(command, [&] { body(command); });
}

void MainWindow::RunCommand(const std::function<void()>& body) {
    RunCommand([&](const Command&) { body(); });
}

void MainWindow::Guarded(const Command&, const std::function<void()>& step) {
    try {
        step();
    } catch (...) {
        ReportError(std::current_exception());
    }
}

void MainWindow::ReportError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        ReportError("Out of memory");
    } catch (const std::exception& error) {
        ReportError(error.what());
    }
}

void MainWindow::ReportError(const std::string& text) {
    setup_.dialogs->Message(text);
    EnableCommands(state_.WaveLoaded);
}

void MainWindow::ConnectHandlers() {
    auto& c = *c_;
    auto onClick = [this](QToolButton* button, auto handler) {
        connect(button, &QToolButton::clicked, this, handler);
    };
    auto onTrigger = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this, handler);
    };
    auto documents = [this](void (DocumentController::*command)()) {
        return [this, command] { (documents_.get()->*command)(); };
    };
    auto processing = [this](void (ProcessingController::*command)()) {
        return [this, command] { (processing_.get()->*command)(); };
    };
    onClick(c.openButton, documents(&DocumentController::Open));
    onTrigger(c.openAction, documents(&DocumentController::Open));
    onTrigger(c.returnToSavedAction, documents(&DocumentController::ReturnToSaved));
    onTrigger(c.saveAction, documents(&DocumentController::Save));
    onClick(c.saveButton, documents(&DocumentController::SaveAs));
    onTrigger(c.saveAsAction, documents(&DocumentController::SaveAs));
    onTrigger(c.exitAction, [this] { Exit(); });
    onClick(c.batchButton, processing(&ProcessingController::ProcessBatch));
    onTrigger(c.batchAction, processing(&ProcessingController::ProcessBatch));
    onClick(c.removeNoiseButton, processing(&ProcessingController::RemoveNoise));
    onTrigger(c.removeNoiseAction, processing(&ProcessingController::RemoveNoise));
    onClick(c.fitPeaksButton, processing(&ProcessingController::FitPeaks));
    onTrigger(c.fitPeaksAction, processing(&ProcessingController::FitPeaks));
    onClick(c.normalizeButton, processing(&ProcessingController::Normalize));
    onTrigger(c.normalizeAction, processing(&ProcessingController::Normalize));
    onClick(c.remasterButton, processing(&ProcessingController::Remaster));
    onTrigger(c.remasterAction, processing(&ProcessingController::Remaster));
    connect(c.bigRemasterButton, &QPushButton::clicked, this,
            processing(&ProcessingController::Remaster));
    onClick(c.detectButton, processing(&ProcessingController::DetectTimbre));
    onTrigger(c.detectAction, processing(&ProcessingController::DetectTimbre));
    onTrigger(c.undoAction, documents(&DocumentController::Undo));
    onTrigger(c.redoAction, documents(&DocumentController::Redo));
    onTrigger(c.helpTopicsAction, [this] { ShowHelp(); });
    onTrigger(c.aboutAction, [this] { ShowAbout(); });

    ConnectOptionPanels();

    ConnectTimbrePanel();

    ConnectViewHandlers();
    connect(c.waveView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        c_->waveContextMenu->popup(c_->waveView->mapToGlobal(at));
    });
}

void MainWindow::EnableCommands(bool enabled) {
    auto& c = *c_;
    for (QWidget* w : std::initializer_list<QWidget*>{
             c.saveButton, c.normalizeButton, c.remasterButton, c.detectButton, c.removeNoiseButton,
             c.fitPeaksButton, c.verticalZoomInButton, c.verticalZoomOutButton,
             c.horizontalZoomInButton, c.horizontalZoomOutButton, c.horizontalZoomResetButton,
             c.verticalZoomResetButton, c.deleteBlockButton})
        w->setEnabled(enabled);
    for (QAction* a :
         {c.returnToSavedAction, c.saveAction, c.saveAsAction, c.normalizeAction, c.remasterAction,
          c.detectAction, c.removeNoiseAction, c.fitPeaksAction, c.deleteBlockAction,
          c.verticalZoomInAction, c.verticalZoomOutAction, c.horizontalZoomInAction,
          c.horizontalZoomOutAction, c.horizontalZoomResetAction, c.verticalZoomResetAction})
        a->setEnabled(enabled);
    c.waveView->setEnabled(enabled);
    c.waveBackground->setVisible(!enabled);
    c.transport->SetEnabled(enabled);
    c.bigRemasterButton->setEnabled(enabled);
    if (documents_) documents_->ShowUndoItems();
    if (comparison_) comparison_->Refresh();
    ShowTitle();
}

void MainWindow::Activate() {
    if (c_->waveView->isVisible()) c_->waveView->update();
}

// The file name with the desktop's unsaved mark ("name.wav* — Sonivar").
void MainWindow::ShowTitle() {
    const bool named = state_.Document && !state_.FileName.empty();
    const QString name = Q(std::filesystem::path(state_.FileName).filename().string());
    setWindowTitle(named ? name + QString::fromUtf8("[*] \u2014 Sonivar")
                         : QStringLiteral("Sonivar"));
    setWindowModified(named && !state_.Flags.DataSaved);
}

void MainWindow::Exit() { close(); }

void MainWindow::ShowHelp() { ShowHelpWindow(this); }

void MainWindow::ShowAbout() { ShowAboutBox(this); }

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (commandRunning_) {
        // The running command owns the document: close once it has ended, and cancel what can
        // be cancelled so that this happens soon.
        closeRequested_ = true;
        progressWindows_->CancelRunning();
        return;
    }
    if (!closeApproved_) {
        // Asking may save first; the window closes once that has ended well.
        closing_ = true;
        RunCommand([this](const Command& command) {
            StopPlayback();
            documents_->AskToSave(command, [this](bool discard) {
                if (!discard) return;
                // Whatever the document holds, it goes now, and its swap file with it.
                StopReadingDocument();
                state_.ReleaseDocument();
                closeApproved_ = true;
                closeRequested_ = true;
            });
        });
        closing_ = false;
        if (!closeApproved_) return;
        closeRequested_ = false;
    }
    closeApproved_ = false;
    // The timbre from an example is not kept: it needs its recording.
    setup_.remembered.StoreControls(*this, {"detectedTimbreRadio"});
    setup_.remembered.StoreGeometry(*this);
    event->accept();
}

void MainWindow::RestoreRemembered() {
    setup_.remembered.RestoreControls(*this);
    setup_.remembered.RestoreGeometry(*this);
    c_->recentMenu = new QMenu(Q(Texts().RecentFilesCaption), this);
    c_->recentMenu->setObjectName("recentFilesMenu");
    c_->fileMenu->insertMenu(c_->exitAction, c_->recentMenu);
    documents_->onOpened = [this](const std::string& fileName) {
        setup_.remembered.AddRecentFile(fileName);
        ShowRecentFiles();
    };
    ShowRecentFiles();
    constexpr const char* UndoStepsKey = "history/steps";
    documents_->SetUndoSteps(setup_.remembered.Number(UndoStepsKey, EditHistory::DefaultStepLimit));
    connect(c_->undoStepsAction, &QAction::triggered, this, [this, UndoStepsKey] {
        bool ok = false;
        const int steps = QInputDialog::getInt(this, Q(Texts().UndoStepsCaption).remove('&'),
                                               Q(Texts().UndoStepsHint),
                                               documents_->History()->StepLimit(), 1, 100, 1, &ok);
        if (!ok) return;
        if (documents_->SetUndoSteps(steps))
            statusBar()->showMessage(Q(Texts().UndoStepsDroppedNote), 5000);
        setup_.remembered.KeepNumber(UndoStepsKey, steps);
    });
    new FileDropTarget(*this, [this](const std::string& file) { documents_->OpenNamed(file); });
}

void MainWindow::ShowRecentFiles() {
    FillRecentFilesMenu(*c_->recentMenu, setup_.remembered.RecentFiles(),
                        [this](const std::string& file) { documents_->OpenNamed(file); });
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow()) Activate();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (waveView_ && watched == c_->waveView && waveView_->HandleEvent(event)) return true;
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace sv
