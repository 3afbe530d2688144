// The main window's life: creation, command running, activation, closing.
#include "app/MainWindow.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include "app/MainWindowControls.h"
#include "app/ModesPanel.h"
#include "app/PaintBox.h"
#include "app/ProgressWindow.h"
#include "app/QtDialogs.h"
#include "app/TransportPanel.h"
#include "base/WorkFolder.h"
#include "dsp/Engine.h"
#include "help/AboutBox.h"
#include "help/HelpWindow.h"
#include "playback/Clock.h"
#include "playback/Player.h"
#include "playback/TickTimer.h"
#include "timbre/Timbres.h"
#include "view/WaveformRenderer.h"

namespace sv {

class MainWindow::CommandScope {
  public:
    explicit CommandScope(MainWindow& window) : window_(window), entered_(!window.commandRunning_) {
        if (entered_) window_.commandRunning_ = true;
    }
    ~CommandScope() {
        if (!entered_) return;
        window_.commandRunning_ = false;
        if (window_.closeRequested_) {
            window_.closeRequested_ = false;
            QTimer::singleShot(0, &window_, [w = &window_] {
                if (w->isVisible()) w->close();
            });
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
        ownFiles_ = std::make_unique<QtFileChooser>(this);
        setup_.files = ownFiles_.get();
    }
    timbreFolders_ = setup_.timbreFolders.empty() ? DefaultTimbreFolders()
                                                  : TimbreFoldersOf(setup_.timbreFolders);
    BuildWindow();
    BuildMenus();
    ConnectHandlers();
    ConnectTransport();
    setMinimumSize(680, 563);
    resize(minimumSize());
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    Initialize(setup_.startFile);
}

MainWindow::~MainWindow() {
    // The controls go after this body; their last signals must not reach handlers that use them.
    for (QObject* child : findChildren<QObject*>()) child->blockSignals(true);
    StopTransport();  // the player reads the document
    state_.ReleaseDocument();
}

void MainWindow::Initialize(const std::string& startFile) {
    state_.WorkFolder = setup_.workFolder.empty() ? ChooseWorkFolder() : setup_.workFolder;
    env_.WorkFolder = state_.WorkFolder;
    env_.Ports.progress = [this] { return MakeProgress(); };
    env_.Ports.dialogs = setup_.dialogs;
    env_.View = &state_.View.Position;
    engine_ = std::make_unique<Engine>(env_.Ports);

    state_.WaveLoaded = false;
    EnableCommands(false);
    state_.SpectraShared.ExampleReady = false;
    state_.PeakBlockSize = DefaultOf(&RemasterSettings::PeakBlockSize);
    state_.View.Reset();

    c_->modes->ResetToDefaults();

    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Clear), state_.SpectraShared.Target);
    BandsToSpectrum(BuiltInTable(BuiltInTimbre::Clear), state_.FlatSpectrum);

    if (!startFile.empty()) {
        RunCommand([&] {
            state_.FileName = startFile;
            OpenFile(startFile);
            EnableCommands(state_.WaveLoaded);
        });
    }
    ListTimbres();
}

std::unique_ptr<Progress> MainWindow::MakeProgress() {
    StopPlayback();  // the operation may replace the document being played
    if (setup_.progress) return setup_.progress();
    auto window = std::make_unique<ProgressWindow>(this);
    activeProgress_ = window.get();
    return window;
}

void MainWindow::RunCommand(const std::function<void()>& body) {
    CommandScope scope(*this);
    if (!scope) return;
    try {
        body();
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
    auto onClick = [this](QToolButton* button, void (MainWindow::*handler)()) {
        connect(button, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    auto onTrigger = [this](QAction* action, void (MainWindow::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    onClick(c.openButton, &MainWindow::Open);
    onTrigger(c.openAction, &MainWindow::Open);
    onTrigger(c.returnToSavedAction, &MainWindow::ReturnToSaved);
    onTrigger(c.saveAction, &MainWindow::Save);
    onClick(c.saveButton, &MainWindow::SaveAs);
    onTrigger(c.saveAsAction, &MainWindow::SaveAs);
    onTrigger(c.exitAction, &MainWindow::Exit);
    onClick(c.batchButton, &MainWindow::ProcessBatch);
    onTrigger(c.batchAction, &MainWindow::ProcessBatch);
    onClick(c.removeNoiseButton, &MainWindow::RemoveNoise);
    onTrigger(c.removeNoiseAction, &MainWindow::RemoveNoise);
    onClick(c.fitPeaksButton, &MainWindow::FitPeaks);
    onTrigger(c.fitPeaksAction, &MainWindow::FitPeaks);
    onClick(c.normalizeButton, &MainWindow::Normalize);
    onTrigger(c.normalizeAction, &MainWindow::Normalize);
    onClick(c.remasterButton, &MainWindow::Remaster);
    onTrigger(c.remasterAction, &MainWindow::Remaster);
    connect(c.bigRemasterButton, &QPushButton::clicked, this, [this] { Remaster(); });
    onClick(c.detectButton, &MainWindow::DetectTimbre);
    onTrigger(c.detectAction, &MainWindow::DetectTimbre);
    onTrigger(c.helpTopicsAction, &MainWindow::ShowHelp);
    onTrigger(c.aboutAction, &MainWindow::ShowAbout);

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
    QCoreApplication::processEvents();
}

void MainWindow::Activate() {
    if (c_->waveView->isVisible()) c_->waveView->update();
}

void MainWindow::Deactivate() { StopPlayback(); }

bool MainWindow::Shutdown() {
    StopPlayback();
    if (!AskToSave()) return false;
    // Whatever the document holds, it goes now, and its swap file with it.
    state_.ReleaseDocument();
    return true;
}

void MainWindow::Exit() { close(); }

void MainWindow::ShowHelp() { ShowHelpWindow(this); }

void MainWindow::ShowAbout() { ShowAboutBox(this); }

void MainWindow::closeEvent(QCloseEvent* event) {
    if (commandRunning_) {
        // The running command owns the document: close once it has ended, and cancel what can
        // be cancelled so that this happens soon.
        closeRequested_ = true;
        if (activeProgress_ && activeProgress_->CancelButton()->isEnabled())
            activeProgress_->RequestCancel();
        event->ignore();
        return;
    }
    CommandScope scope(*this);
    bool closing = false;
    try {
        closing = Shutdown();
    } catch (const std::exception& error) {
        // Saving on the way out failed: the window stays, with its document.
        setup_.dialogs->Message(error.what());
    }
    if (closing) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow()) {
        Activate();
    } else {
        Deactivate();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (c_ && watched == c_->waveView && ViewEvent(event)) return true;
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace sv
