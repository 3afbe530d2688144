// The transport: play, pause, stop, to the start, rewind and fast forward while held, and the
// view timer that moves the play cursor.
#include <QEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QStatusBar>
#include <QToolButton>
#include <functional>

#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/QtSoundOutput.h"
#include "app/wav_p.h"
#include "playback/Clock.h"
#include "playback/Player.h"
#include "playback/TickTimer.h"

namespace sv {
namespace {

constexpr std::int64_t ViewTimerIntervalMs = 80;
constexpr int ScanSpeed = 4;

// Rewind and fast forward act while a button is held, with any mouse button.
class HoldFilter final : public QObject {
  public:
    HoldFilter(QObject* parent, std::function<void()> press, std::function<void()> release)
        : QObject(parent), press_(std::move(press)), release_(std::move(release)) {}

    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                press_();
                break;
            case QEvent::MouseButtonRelease:
                release_();
                break;
            case QEvent::ContextMenu:
                // A right button held for scanning must not open the toolbar's menu, which
                // would take the release.
                return true;
            default:
                break;
        }
        return false;
    }

  private:
    std::function<void()> press_;
    std::function<void()> release_;
};

}  // namespace

void TRemastering::ConnectTransport() {
    auto& c = *c_;
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
                this, [this] { TimerTimer(); }, Qt::QueuedConnection);
    });

    connect(c.BtPlay, &QToolButton::clicked, this, [this] { BtPlayClick(); });
    connect(c.BtPause, &QToolButton::clicked, this, [this] { BtPauseClick(); });
    connect(c.BtBeg, &QToolButton::clicked, this, [this] { BtBegClick(); });
    c.BtRew->installEventFilter(new HoldFilter(
        c.BtRew, [this] { BtRewMouseDown(); }, [this] { BtFFMouseUp(); }));
    c.BtFF->installEventFilter(new HoldFilter(
        c.BtFF, [this] { BtFFMouseDown(); }, [this] { BtFFMouseUp(); }));
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    connect(space, &QShortcut::activated, this, [this] { TogglePlayback(); });
}

void TRemastering::StopTransport() {
    viewTimer_.reset();
    player_.reset();
    playerActive_ = false;
}

bool TRemastering::PlayerActive() const { return playerActive_; }

void TRemastering::NewPlayer() {
    player_.reset();
    player_ = std::make_unique<Player>(*state_.Wave, *sound_, *playbackClock_, playerActive_);
    playerActive_ = true;
}

void TRemastering::BtPlayClick() {
    // A running command owns the document; it may replace it under a player.
    if (commandRunning_ || !state_.WaveLoaded || !state_.Wave) return;
    if (!playerActive_) NewPlayer();
    paused_ = false;
    player_->PlayFrom(state_.View.BlockStart);
    viewTimer_->SetEnabled(isEnabled());
}

void TRemastering::BtPauseClick() {
    if (!playerActive_) return;
    if (paused_) {
        player_->PlayFrom(state_.View.PlayPosition);
        paused_ = false;
        viewTimer_->SetEnabled(true);
    } else {
        state_.View.PlayPosition = player_->Position();
        viewTimer_->SetEnabled(false);
        player_->Stop();
        paused_ = true;
    }
}

void TRemastering::BtStopClick() {
    if (!playerActive_) return;
    player_->Stop();
    player_.reset();
    playerActive_ = false;
    viewTimer_->SetEnabled(false);
    OnPaint();  // the whole view again, without the play cursor
}

void TRemastering::BtBegClick() {
    if (commandRunning_) return;
    state_.View.BlockStart = 0;
    state_.View.BlockEnd = 0;
    state_.View.PlayPosition = 0;
    OnPaint();
    if (!playerActive_ || !state_.Wave) return;
    player_->Stop();
    NewPlayer();
    paused_ = false;
    player_->PlayFrom(0);
    viewTimer_->SetEnabled(isEnabled());
}

void TRemastering::BtRewMouseDown() {
    if (playerActive_) player_->PlayBackward(ScanSpeed);
}

void TRemastering::BtFFMouseDown() {
    if (playerActive_) player_->PlayForward(ScanSpeed);
}

void TRemastering::BtFFMouseUp() {
    if (playerActive_) player_->PlayForward(1);
}

void TRemastering::TimerTimer() {
    viewTickPending_ = false;
    // A tick posted just before the timer was stopped finds nothing to move.
    if (!player_ || !viewTimer_->Enabled()) return;
    state_.View.PlayPosition = player_->Position();
    RefreshCursors();
    if (playerActive_) return;
    // The player came to the end by itself.
    player_.reset();
    OnPaint();
    viewTimer_->SetEnabled(false);
}

void TRemastering::TogglePlayback() {
    if (!c_->BtPlay->isEnabled()) return;
    if (playerActive_ && !paused_) {
        BtStopClick();
    } else if (playerActive_) {
        BtPauseClick();
    } else {
        BtPlayClick();
    }
}

void TRemastering::ShowPlaybackUnavailable() {
    statusBar()->showMessage(
        QStringLiteral("Playback unavailable: no sound output device or server; playing silently"),
        8000);
}

}  // namespace sv
