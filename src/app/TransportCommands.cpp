// The transport: play, pause, stop, to the start, rewind and fast forward while held, and the
// view timer that moves the play cursor.
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>

#include "app/AbComparison.h"
#include "app/DocumentController.h"
#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/QtSoundOutput.h"
#include "app/TransportPanel.h"
#include "app/WaveformView.h"
#include "playback/Clock.h"
#include "playback/Player.h"
#include "playback/TickTimer.h"

namespace sv {
namespace {

constexpr std::int64_t ViewTimerIntervalMs = 80;
constexpr int ScanSpeed = 4;

}  // namespace

void MainWindow::ConnectTransport() {
    playbackClock_ = std::make_unique<SteadyClock>();
    if (setup_.soundOutput) {
        sound_ = setup_.soundOutput;
    } else {
        ownSound_ = std::make_unique<QtSoundOutput>([this] { ShowPlaybackUnavailable(); });
        sound_ = ownSound_.get();
    }
    // The timer thread only posts; the tick itself draws and frees the player on this thread.
    // Ticks that find one still waiting are dropped, so a busy window does not queue them up.
    viewTimer_ = std::make_unique<TickTimer>(*playbackClock_, ViewTimerIntervalMs, [this] {
        if (!viewTickPending_.exchange(true))
            QMetaObject::invokeMethod(
                this, [this] { MovePlayCursor(); }, Qt::QueuedConnection);
    });

    TransportPanel* panel = c_->transport;
    connect(panel, &TransportPanel::playClicked, this, [this] { Play(); });
    connect(panel, &TransportPanel::pauseClicked, this, [this] { Pause(); });
    connect(panel, &TransportPanel::stopClicked, this, [this] { StopPlayback(); });
    connect(panel, &TransportPanel::toStartClicked, this, [this] { GoToStart(); });
    connect(panel, &TransportPanel::rewindPressed, this, [this] { StartRewinding(); });
    connect(panel, &TransportPanel::fastForwardPressed, this, [this] { StartFastForward(); });
    connect(panel, &TransportPanel::scanReleased, this, [this] { StopFastForward(); });
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    connect(space, &QShortcut::activated, this, [this] { TogglePlayback(); });

    comparison_ = std::make_unique<AbComparison>(
        this, statusBar(), c_->waveView,
        AbComparison::Ports{[this] { return state_.Document.get(); },
                            [this] { return documents_ ? documents_->History() : nullptr; },
                            [this] { return player_.get(); }});
    // In the main tool bar: the transport bar has no room left for it.
    c_->mainToolBar->addSeparator();
    c_->mainToolBar->addAction(comparison_->Toggle());
    c_->mainToolBar->widgetForAction(comparison_->Toggle())->setObjectName("compareButton");
    panel->EnableTogether(comparison_->Toggle());
    c_->editMenu->addSeparator();
    c_->editMenu->addAction(comparison_->Toggle());
    c_->editMenu->addMenu(comparison_->ReferenceMenu());
    c_->editMenu->addAction(comparison_->MatchLoudness());
}

void MainWindow::NoteLoudness(const Wave& wave, double integratedLufs) {
    comparison_->NoteLoudness(wave, integratedLufs);
}

void MainWindow::NoteStepKept(const Wave* previous) { comparison_->NoteStepRecorded(previous); }

void MainWindow::StopTransport() {
    viewTimer_.reset();
    player_.reset();
    playerActive_ = false;
}

bool MainWindow::PlayerActive() const { return playerActive_; }

void MainWindow::NewPlayer() {
    player_.reset();
    player_ = std::make_unique<Player>(*state_.Document, *sound_, *playbackClock_, playerActive_);
    comparison_->Attach(*player_);
    playerActive_ = true;
}

void MainWindow::Play() {
    // A running command owns the document; it may replace it under a player.
    if (commandRunning_ || !state_.WaveLoaded || !state_.Document) return;
    // Play after Pause resumes where it paused; otherwise it plays from the selection.
    const bool resume = playerActive_ && paused_;
    if (!playerActive_) NewPlayer();
    paused_ = false;
    const WaveView shown = waveView_->Shown();
    player_->PlayFrom(resume ? shown.PlayPosition : shown.BlockStart);
    viewTimer_->SetEnabled(isEnabled());
}

void MainWindow::Pause() {
    if (!playerActive_) return;
    if (paused_) {
        player_->PlayFrom(waveView_->Shown().PlayPosition);
        paused_ = false;
        viewTimer_->SetEnabled(true);
    } else {
        waveView_->SetPlayPosition(player_->Position());
        viewTimer_->SetEnabled(false);
        player_->Stop();
        paused_ = true;
    }
}

void MainWindow::StopPlayback() {
    if (!playerActive_) return;
    player_->Stop();
    player_.reset();
    playerActive_ = false;
    paused_ = false;
    viewTimer_->SetEnabled(false);
    waveView_->OnPaint();  // the whole view again, without the play cursor
}

void MainWindow::GoToStart() {
    if (commandRunning_) return;
    waveView_->ReturnToStart();
    if (!playerActive_ || !state_.Document) return;
    player_->Stop();
    NewPlayer();
    paused_ = false;
    player_->PlayFrom(0);
    viewTimer_->SetEnabled(isEnabled());
}

// A scan is heard while its button is held, from where playing is or was paused (the player
// keeps a stopped run's position); the cursor follows it.
void MainWindow::StartRewinding() {
    if (!playerActive_) return;
    player_->PlayBackward(ScanSpeed);
    viewTimer_->SetEnabled(isEnabled());
}

void MainWindow::StartFastForward() {
    if (!playerActive_) return;
    player_->PlayForward(ScanSpeed);
    viewTimer_->SetEnabled(isEnabled());
}

// Released: playing goes on from where the scan reached, or, if paused, stays paused there.
void MainWindow::StopFastForward() {
    if (!playerActive_) return;
    if (!paused_) {
        player_->PlayForward(1);
        return;
    }
    player_->Stop();
    viewTimer_->SetEnabled(false);
    waveView_->SetPlayPosition(player_->Position());
    waveView_->RefreshCursors();
}

void MainWindow::MovePlayCursor() {
    viewTickPending_ = false;
    // A tick posted just before the timer was stopped finds nothing to move.
    if (!player_ || !viewTimer_->Enabled()) return;
    waveView_->SetPlayPosition(player_->Position());
    waveView_->RefreshCursors();
    if (playerActive_) return;
    // The player came to the end by itself.
    player_.reset();
    paused_ = false;
    waveView_->OnPaint();
    viewTimer_->SetEnabled(false);
}

void MainWindow::TogglePlayback() {
    if (!c_->transport->Enabled()) return;
    if (playerActive_ && !paused_) {
        StopPlayback();
    } else if (playerActive_) {
        Pause();
    } else {
        Play();
    }
}

void MainWindow::ShowPlaybackUnavailable() {
    statusBar()->showMessage(
        QStringLiteral("Playback unavailable: no sound output device or server; playing silently"),
        8000);
}

}  // namespace sv
