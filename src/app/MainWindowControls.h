#pragma once
// The main window's controls, known to the window's own source files only.
#include <array>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSlider;
class QSpinBox;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace sv {

class Anchors;
class ModesPanel;
class PaintBox;
class StageOptionsPanel;
class TimbrePanel;

struct MainWindowControls {
    Anchors* anchors = nullptr;

    QToolBar* mainToolBar = nullptr;
    QToolButton *openButton = nullptr, *saveButton = nullptr, *remasterButton = nullptr,
                *batchButton = nullptr, *detectButton = nullptr, *removeNoiseButton = nullptr,
                *fitPeaksButton = nullptr, *normalizeButton = nullptr;

    QFrame* wavePanel = nullptr;
    PaintBox* waveView = nullptr;
    QFrame* waveBackground = nullptr;
    QScrollBar *waveVerticalScroll = nullptr, *waveHorizontalScroll = nullptr;

    QFrame* zoomPanel = nullptr;
    QToolButton *horizontalZoomInButton = nullptr, *horizontalZoomOutButton = nullptr,
                *horizontalZoomResetButton = nullptr, *verticalZoomInButton = nullptr,
                *verticalZoomOutButton = nullptr, *verticalZoomResetButton = nullptr,
                *deleteBlockButton = nullptr;

    StageOptionsPanel* stages = nullptr;
    ModesPanel* modes = nullptr;

    QTabWidget* infoTabs = nullptr;
    std::array<QLabel*, 8> BlockCaptions{};  // Label16 .. Label23
    std::array<QLabel*, 8> BlockValues{};    // Label24 .. Label31

    QPushButton* bigRemasterButton = nullptr;
    QFrame* targetPanel = nullptr;
    QLabel* targetCaption = nullptr;
    PaintBox* targetView = nullptr;

    QToolBar* playerToolBar = nullptr;
    QToolButton *playButton = nullptr, *pauseButton = nullptr, *stopButton = nullptr,
                *toStartButton = nullptr, *rewindButton = nullptr, *fastForwardButton = nullptr;

    TimbrePanel* timbre = nullptr;

    std::array<QLabel*, 5> StatusPanels{};

    QMenu *fileMenu = nullptr, *batchMenu = nullptr, *editMenu = nullptr, *filterMenu = nullptr,
          *helpMenu = nullptr, *waveContextMenu = nullptr;
    QAction *openAction = nullptr, *returnToSavedAction = nullptr, *saveAction = nullptr,
            *saveAsAction = nullptr, *exitAction = nullptr, *batchAction = nullptr;
    QAction *horizontalZoomInAction = nullptr, *horizontalZoomOutAction = nullptr,
            *horizontalZoomResetAction = nullptr, *verticalZoomInAction = nullptr,
            *verticalZoomOutAction = nullptr, *verticalZoomResetAction = nullptr,
            *deleteBlockAction = nullptr;
    QAction *removeNoiseAction = nullptr, *fitPeaksAction = nullptr, *normalizeAction = nullptr,
            *remasterAction = nullptr, *detectAction = nullptr;
    QAction *helpTopicsAction = nullptr, *aboutAction = nullptr;
    QAction *horizontalZoomInPopupAction = nullptr, *horizontalZoomOutPopupAction = nullptr,
            *horizontalZoomResetPopupAction = nullptr, *verticalZoomInPopupAction = nullptr,
            *verticalZoomOutPopupAction = nullptr, *verticalZoomResetPopupAction = nullptr,
            *deleteBlockPopupAction = nullptr;
};

}  // namespace sv
