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

class TAnchors;
class TPaintBox;

struct TControls {
    TAnchors* anchors = nullptr;

    QToolBar* ToolBarMain = nullptr;
    QToolButton *BtOpen = nullptr, *BtSave = nullptr, *BtRemaster = nullptr, *BtBatch = nullptr,
                *BtDetect = nullptr, *BtRemNoise = nullptr, *BtRemPeek = nullptr,
                *BtNormalize = nullptr;

    QFrame* Panel1 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    QFrame* Shape1 = nullptr;
    QScrollBar *SbVertikal = nullptr, *SbHorizontal = nullptr;

    QFrame* Panel3 = nullptr;
    QToolButton *BbLupHorPlus = nullptr, *BbLupHorMinus = nullptr, *BbLupHor = nullptr,
                *BbLupVerPlus = nullptr, *BbLupVerMinus = nullptr, *BbLupVer = nullptr,
                *BbDel = nullptr;

    QGroupBox* GrTool = nullptr;
    QSpinBox *SpPrecize = nullptr, *SpLimit = nullptr;

    QTabWidget* PageControl1 = nullptr;
    std::array<QLabel*, 8> BlockCaptions{};  // Label16 .. Label23
    std::array<QLabel*, 8> BlockValues{};    // Label24 .. Label31

    QPushButton* BigButton = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label15 = nullptr;
    TPaintBox* PaintBox2 = nullptr;

    QToolBar* ToolBarPlayer = nullptr;
    QToolButton *BtPlay = nullptr, *BtPause = nullptr, *BtStop = nullptr, *BtBeg = nullptr,
                *BtRew = nullptr, *BtFF = nullptr;

    QGroupBox *GrTypRemast = nullptr, *GrTypChan = nullptr, *GrTypPek = nullptr;
    QRadioButton *RaPrum = nullptr, *RaWeight = nullptr, *RaStereo = nullptr;
    QRadioButton *RaStress = nullptr, *RaMedi = nullptr, *RaPeek = nullptr;
    QButtonGroup *ChannelGroup = nullptr, *BandGroup = nullptr;
    QSlider *TBarChanels = nullptr, *TBarWeig = nullptr;

    QGroupBox* GrAditional = nullptr;
    QCheckBox *ChRemNoise = nullptr, *ChRemastering = nullptr, *ChHiPass = nullptr,
              *ChLoPass = nullptr, *ChPeekDown = nullptr, *ChExtDyn = nullptr,
              *ChExtDynEq = nullptr;
    QSpinBox *SpPocDil = nullptr, *SpProcNois = nullptr, *SpSec = nullptr, *SpHiPass = nullptr,
             *SpHiDrop = nullptr, *SpLoPass = nullptr, *SpLoDrop = nullptr,
             *SpPeekDown = nullptr, *SpNormal = nullptr;
    QComboBox* CbBlPeek = nullptr;
    std::array<QLabel*, 4> PassUnits{};  // Hz, dB/oct, kHz, dB/oct

    QGroupBox* GrColorNoise = nullptr;
    QRadioButton *RaClear = nullptr, *RaSplit = nullptr, *RaPremaster = nullptr, *RaDrum = nullptr,
                 *RaPop = nullptr, *RaDetect = nullptr;
    QButtonGroup* TimbreGroup = nullptr;
    QComboBox* ComboBox = nullptr;
    QToolButton *SavFreq = nullptr, *DelFreq = nullptr;

    std::array<QLabel*, 5> StatusPanels{};

    QMenu *MeFile = nullptr, *MeBatch = nullptr, *MeEdit = nullptr, *MeFilter = nullptr,
          *MeHelp = nullptr, *PopupMenu = nullptr;
    QAction *MeOpen = nullptr, *MeRevToSav = nullptr, *MeSave = nullptr, *MeSaveAs = nullptr,
            *MeEnd = nullptr, *MeBatch1 = nullptr;
    QAction *MeLupHorPlus = nullptr, *MeLupHorMinus = nullptr, *MeLupHor = nullptr,
            *MeLupVerPlus = nullptr, *MeLupVerMinus = nullptr, *MeLupVer = nullptr,
            *MeDelete = nullptr;
    QAction *MeRemNoise = nullptr, *MeRemPeek = nullptr, *MeNormalize = nullptr,
            *MeRemaster = nullptr, *MeDetect = nullptr;
    QAction *MeTopic = nullptr, *MeAbout = nullptr;
    QAction *MeLupHorPlusP = nullptr, *MeLupHorMinusP = nullptr, *MeLupHorP = nullptr,
            *MeLupVerPlusP = nullptr, *MeLupVerMinusP = nullptr, *MeLupVerP = nullptr,
            *MeDeleteP = nullptr;
};

}  // namespace sv
