#include "app/TransportPanel.h"

#include <QAction>
#include <QEvent>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <functional>

#include "app/Anchors.h"

namespace sv {

namespace {

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

TransportPanel::TransportPanel(QWidget* client, Anchors& anchors) : QObject(client) {
    bar_ = new QToolBar(client);
    bar_->setObjectName("playerToolBar");
    bar_->setMovable(false);
    bar_->setIconSize(QSize(16, 16));
    playButton_ = MakeButton("playButton", QStyle::SP_MediaPlay);
    pauseButton_ = MakeButton("pauseButton", QStyle::SP_MediaPause);
    stopButton_ = MakeButton("stopButton", QStyle::SP_MediaStop);
    toStartButton_ = MakeButton("toStartButton", QStyle::SP_MediaSkipBackward);
    rewindButton_ = MakeButton("rewindButton", QStyle::SP_MediaSeekBackward);
    fastForwardButton_ = MakeButton("fastForwardButton", QStyle::SP_MediaSeekForward);
    anchors.Add(bar_, {504, 307, 168, 25}, AnchorRight | AnchorBottom);

    connect(playButton_, &QToolButton::clicked, this, &TransportPanel::playClicked);
    connect(pauseButton_, &QToolButton::clicked, this, &TransportPanel::pauseClicked);
    connect(stopButton_, &QToolButton::clicked, this, &TransportPanel::stopClicked);
    connect(toStartButton_, &QToolButton::clicked, this, &TransportPanel::toStartClicked);
    rewindButton_->installEventFilter(new HoldFilter(
        rewindButton_, [this] { emit rewindPressed(); }, [this] { emit scanReleased(); }));
    fastForwardButton_->installEventFilter(new HoldFilter(
        fastForwardButton_, [this] { emit fastForwardPressed(); },
        [this] { emit scanReleased(); }));
}

QToolButton* TransportPanel::MakeButton(const char* name, int icon) {
    auto* button = new QToolButton(bar_);
    button->setObjectName(name);
    button->setIcon(bar_->style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    bar_->addWidget(button);
    return button;
}

void TransportPanel::SetEnabled(bool enabled) {
    if (toggle_) toggle_->setEnabled(enabled);
    for (QToolButton* button : {playButton_, pauseButton_, stopButton_, rewindButton_,
                                fastForwardButton_, toStartButton_})
        button->setEnabled(enabled);
}

bool TransportPanel::Enabled() const { return playButton_->isEnabled(); }

}  // namespace sv
