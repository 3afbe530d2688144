#pragma once
// The transport tool bar: play, pause, stop, to the start, and rewind and fast forward that act
// while held. Its buttons reach the window by signal.
#include <QObject>

class QAction;
class QToolBar;
class QToolButton;
class QWidget;

namespace sv {

class Anchors;

class TransportPanel final : public QObject {
    Q_OBJECT

  public:
    TransportPanel(QWidget* client, Anchors& anchors);

    // An action elsewhere that is enabled with the transport buttons.
    void EnableTogether(QAction* action) { toggle_ = action; }
    void SetEnabled(bool enabled);
    bool Enabled() const;

  signals:
    void playClicked();
    void pauseClicked();
    void stopClicked();
    void toStartClicked();
    void rewindPressed();
    void fastForwardPressed();
    void scanReleased();  // rewind or fast forward let go

  private:
    QToolButton* MakeButton(const char* name, int icon);

    QToolBar* bar_ = nullptr;
    QToolButton *playButton_ = nullptr, *pauseButton_ = nullptr, *stopButton_ = nullptr,
                *toStartButton_ = nullptr, *rewindButton_ = nullptr, *fastForwardButton_ = nullptr;
    QAction* toggle_ = nullptr;
};

}  // namespace sv
