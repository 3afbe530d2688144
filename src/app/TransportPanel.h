#pragma once
// The transport tool bar: play, pause, stop, to the start, rewind and fast forward that act
// while held, and the A/B toggle. Its buttons reach the window by signal.
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

    // A toggle shown after the transport buttons, enabled with them.
    void AddToggle(QAction* action);
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
