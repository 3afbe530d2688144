// The main window's life: creation, command running, activation, closing.
#include "app/wav_p.h"

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
#include "app/PaintBox.h"
#include "app/ProGrs.h"
#include "app/QtDialogs.h"
#include "base/WorkFolder.h"
#include "dsp/filters.h"
#include "playback/Clock.h"
#include "playback/Player.h"
#include "playback/TickTimer.h"
#include "help/AboutBox.h"
#include "help/HelpWindow.h"
#include "view/Timbres.h"
#include "view/WaveformRenderer.h"

namespace sv {

class TRemastering::TCommandScope {
public:
    explicit TCommandScope(TRemastering& window) : window_(window), entered_(!window.commandRunning_) {
        if (entered_) window_.commandRunning_ = true;
    }
    ~TCommandScope() {
        if (!entered_) return;
        window_.commandRunning_ = false;
        if (window_.closeRequested_) {
            window_.closeRequested_ = false;
            QTimer::singleShot(0, &window_, [w = &window_] {
                if (w->isVisible()) w->close();
            });
        }
    }
    TCommandScope(const TCommandScope&) = delete;
    TCommandScope& operator=(const TCommandScope&) = delete;
    explicit operator bool() const { return entered_; }

private:
    TRemastering& window_;
    bool entered_;
};

TRemastering::TRemastering(TWindowSetup setup, QWidget* parent)
    : QMainWindow(parent), setup_(std::move(setup)), c_(std::make_unique<TControls>()) {
    setObjectName("Remastering");
    setWindowTitle(QStringLiteral("Sonivar"));
    if (!setup_.dialogs) {
        ownDialogs_ = std::make_unique<TQtUserDialogs>(this);
        setup_.dialogs = ownDialogs_.get();
    }
    if (!setup_.files) {
        ownFiles_ = std::make_unique<TQtFileChooser>(this);
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
    FormCreate(setup_.startFile);
}

TRemastering::~TRemastering() {
    // The controls go after this body; their last signals must not reach handlers that use them.
    for (QObject* child : findChildren<QObject*>()) child->blockSignals(true);
    StopTransport();  // the player reads the document
    state_.ReleaseDocument();
}

void TRemastering::FormCreate(const std::string& startFile) {
    state_.WorkFolder = setup_.workFolder.empty() ? ChooseWorkFolder() : setup_.workFolder;
    env_.WorkFolder = state_.WorkFolder;
    env_.Ports.progress = [this] { return MakeProgress(); };
    env_.Ports.dialogs = setup_.dialogs;
    env_.View = &state_.View.Position;
    engine_ = std::make_unique<TFiltr>(state_.Flags, env_.Ports);
    ChRemasteringClick();  // the pass controls start disabled

    state_.WaveLoaded = false;
    Available(false);
    state_.Spectra.ExampleReady = false;
    state_.PeakBlockSize = 4096;
    state_.View.Reset();

    c_->TBarChanels->setValue(3);
    c_->TBarWeig->setValue(1);
    TBarChanelsChange();
    TBarWeigChange();

    BandsToSpectrum(BuiltInTable(TTimbre::Clear), state_.Spectra.Target);
    BandsToSpectrum(BuiltInTable(TTimbre::Clear), state_.FlatSpectrum);

    if (!startFile.empty()) {
        RunCommand([&] {
            state_.FileName = startFile;
            OpenFile(startFile);
            Available(state_.WaveLoaded);
        });
    }
    ListTimbres();
}

std::unique_ptr<TProgress> TRemastering::MakeProgress() {
    BtStopClick();  // the operation may replace the document being played
    if (setup_.progress) return setup_.progress();
    auto window = std::make_unique<TProgFrm>(this);
    activeProgress_ = window.get();
    return window;
}

void TRemastering::RunCommand(const std::function<void()>& body) {
    TCommandScope scope(*this);
    if (!scope) return;
    try {
        body();
    } catch (const std::bad_alloc&) {
        ReportError("Out of memory");
    } catch (const std::exception& error) {
        ReportError(error.what());
    }
}

void TRemastering::ReportError(const std::string& text) {
    setup_.dialogs->Message(text);
    Available(state_.WaveLoaded);
}

void TRemastering::ConnectHandlers() {
    auto& c = *c_;
    auto onClick = [this](QToolButton* button, void (TRemastering::*handler)()) {
        connect(button, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    auto onTrigger = [this](QAction* action, void (TRemastering::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    onClick(c.BtOpen, &TRemastering::MeOpenClick);
    onTrigger(c.MeOpen, &TRemastering::MeOpenClick);
    onTrigger(c.MeRevToSav, &TRemastering::MeRevToSavClick);
    onTrigger(c.MeSave, &TRemastering::MeSaveClick);
    onClick(c.BtSave, &TRemastering::MeSaveAsClick);
    onTrigger(c.MeSaveAs, &TRemastering::MeSaveAsClick);
    onTrigger(c.MeEnd, &TRemastering::MeEndClick);
    onClick(c.BtBatch, &TRemastering::MeBatchClick);
    onTrigger(c.MeBatch1, &TRemastering::MeBatchClick);
    onClick(c.BtRemNoise, &TRemastering::MeRemNoiseClick);
    onTrigger(c.MeRemNoise, &TRemastering::MeRemNoiseClick);
    onClick(c.BtRemPeek, &TRemastering::MeRemPeekClick);
    onTrigger(c.MeRemPeek, &TRemastering::MeRemPeekClick);
    onClick(c.BtNormalize, &TRemastering::MeNormalizeClick);
    onTrigger(c.MeNormalize, &TRemastering::MeNormalizeClick);
    onClick(c.BtRemaster, &TRemastering::MeRemasterClick);
    onTrigger(c.MeRemaster, &TRemastering::MeRemasterClick);
    connect(c.BigButton, &QPushButton::clicked, this, [this] { MeRemasterClick(); });
    onClick(c.BtDetect, &TRemastering::MeDetectClick);
    onTrigger(c.MeDetect, &TRemastering::MeDetectClick);
    onClick(c.BtStop, &TRemastering::BtStopClick);
    onTrigger(c.MeTopic, &TRemastering::MeTopicClick);
    onTrigger(c.MeAbout, &TRemastering::MeAboutClick);

    auto onChecked = [this](QRadioButton* radio, void (TRemastering::*handler)()) {
        connect(radio, &QRadioButton::toggled, this, [this, handler](bool on) {
            if (on) (this->*handler)();
        });
    };
    onChecked(c.RaPrum, &TRemastering::RaPrumClick);
    onChecked(c.RaWeight, &TRemastering::RaWeightClick);
    onChecked(c.RaStereo, &TRemastering::RaStereoClick);
    onChecked(c.RaStress, &TRemastering::RaStressClick);
    onChecked(c.RaMedi, &TRemastering::RaMediClick);
    onChecked(c.RaPeek, &TRemastering::RaPeekClick);
    connect(c.TBarChanels, &QSlider::valueChanged, this, [this] { TBarChanelsChange(); });
    connect(c.TBarWeig, &QSlider::valueChanged, this, [this] { TBarWeigChange(); });

    for (QSpinBox* spin : {c.SpPocDil, c.SpPeekDown, c.SpProcNois, c.SpSec, c.SpNormal, c.SpLimit,
                           c.SpPrecize, c.SpLoPass, c.SpHiPass, c.SpLoDrop, c.SpHiDrop})
        spin->installEventFilter(this);
    for (QSpinBox* spin : {c.SpLoPass, c.SpHiPass, c.SpLoDrop, c.SpHiDrop})
        connect(spin, &QSpinBox::valueChanged, this, [this, spin] { SpChange(spin); });
    for (QCheckBox* check : {c.ChHiPass, c.ChLoPass})
        connect(check, &QCheckBox::toggled, this, [this] { ChPassClick(); });
    connect(c.CbBlPeek, &QComboBox::currentTextChanged, this, [this] { CbBlPeekChange(); });
    connect(c.ChRemastering, &QCheckBox::toggled, this, [this] { ChRemasteringClick(); });

    for (QRadioButton* radio : {c.RaClear, c.RaSplit, c.RaPremaster, c.RaDrum, c.RaPop})
        connect(radio, &QRadioButton::toggled, this, [this, radio](bool on) {
            if (on) TimbreClick(radio);
        });
    onChecked(c.RaDetect, &TRemastering::RaDetectClick);
    connect(c.ComboBox, &QComboBox::activated, this, [this] { ComboBoxSelect(); });
    onClick(c.SavFreq, &TRemastering::SavFreqClick);
    onClick(c.DelFreq, &TRemastering::DelFreqClick);

    ConnectViewHandlers();
    connect(c.PaintBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        c_->PopupMenu->popup(c_->PaintBox1->mapToGlobal(at));
    });
}

void TRemastering::Available(bool enabled) {
    auto& c = *c_;
    for (QWidget* w : std::initializer_list<QWidget*>{
             c.BtSave, c.BtNormalize, c.BtRemaster, c.BtDetect, c.BtRemNoise, c.BtRemPeek,
             c.BbLupVerPlus, c.BbLupVerMinus, c.BbLupHorPlus, c.BbLupHorMinus, c.BbLupHor,
             c.BbLupVer, c.BbDel})
        w->setEnabled(enabled);
    for (QAction* a : {c.MeRevToSav, c.MeSave, c.MeSaveAs, c.MeNormalize, c.MeRemaster, c.MeDetect,
                       c.MeRemNoise, c.MeRemPeek, c.MeDelete, c.MeLupVerPlus, c.MeLupVerMinus,
                       c.MeLupHorPlus, c.MeLupHorMinus, c.MeLupHor, c.MeLupVer})
        a->setEnabled(enabled);
    c.PaintBox1->setEnabled(enabled);
    c.Shape1->setVisible(!enabled);
    for (QWidget* w : std::initializer_list<QWidget*>{c.BtPlay, c.BtPause, c.BtStop, c.BtRew,
                                                      c.BtFF, c.BtBeg, c.BigButton})
        w->setEnabled(enabled);
    QCoreApplication::processEvents();
}

void TRemastering::FormActivate() {
    if (c_->PaintBox1->isVisible()) c_->PaintBox1->update();
}

void TRemastering::FormDeactivate() { BtStopClick(); }

void TRemastering::FormClose() {
    BtStopClick();
    AskToSave();
    // Whatever the document holds, it goes now, and its swap file with it.
    state_.ReleaseDocument();
}

void TRemastering::MeEndClick() { close(); }

void TRemastering::MeTopicClick() { ShowHelpWindow(this); }

void TRemastering::MeAboutClick() { ShowAboutBox(this); }

void TRemastering::closeEvent(QCloseEvent* event) {
    if (commandRunning_) {
        // The running command owns the document: close once it has ended, and cancel what can
        // be cancelled so that this happens soon.
        closeRequested_ = true;
        if (activeProgress_ && activeProgress_->BtStorno()->isEnabled()) activeProgress_->BtStornoClick();
        event->ignore();
        return;
    }
    TCommandScope scope(*this);
    try {
        FormClose();
    } catch (const std::exception& error) {
        setup_.dialogs->Message(error.what());
        state_.ReleaseDocument();
    }
    event->accept();
}

void TRemastering::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow()) {
        FormActivate();
    } else {
        FormDeactivate();
    }
}

bool TRemastering::eventFilter(QObject* watched, QEvent* event) {
    if (c_ && watched == c_->PaintBox1 && ViewEvent(event)) return true;
    if (event->type() == QEvent::FocusIn && qobject_cast<QSpinBox*>(watched)) SpChange(watched);
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace sv
