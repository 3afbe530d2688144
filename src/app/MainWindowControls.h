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
class BlockInfoPanel;
class ModesPanel;
class PaintBox;
class StageOptionsPanel;
class TimbrePanel;
class TransportPanel;

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

    QPushButton* bigRemasterButton = nullptr;
    QFrame* targetPanel = nullptr;
    QLabel* targetCaption = nullptr;
    PaintBox* targetView = nullptr;

    // The panels own their controls.
    StageOptionsPanel* stages = nullptr;
    ModesPanel* modes = nullptr;
    BlockInfoPanel* blockInfo = nullptr;
    TransportPanel* transport = nullptr;
    TimbrePanel* timbre = nullptr;

    std::array<QLabel*, 6> StatusPanels{};

    QMenu *fileMenu = nullptr, *batchMenu = nullptr, *editMenu = nullptr, *filterMenu = nullptr,
          *helpMenu = nullptr, *waveContextMenu = nullptr, *recentMenu = nullptr;
    QAction *openAction = nullptr, *returnToSavedAction = nullptr, *saveAction = nullptr,
            *saveAsAction = nullptr, *exitAction = nullptr, *batchAction = nullptr;
    QAction *undoAction = nullptr, *redoAction = nullptr, *undoStepsAction = nullptr;
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
