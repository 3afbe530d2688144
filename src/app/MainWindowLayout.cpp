// The main window's controls: names, captions, hints, ranges, places and anchoring.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <optional>

#include "app/Anchors.h"
#include "app/BlockInfoPanel.h"
#include "app/CompactFont.h"
#include "app/ControlFactory.h"
#include "app/MainWindow.h"
#include "app/MainWindowControls.h"
#include "app/ModesPanel.h"
#include "app/PaintBox.h"
#include "app/QtText.h"
#include "app/StageOptionsPanel.h"
#include "app/TimbrePanel.h"
#include "app/TransportPanel.h"
#include "text/Language.h"

namespace sv {

namespace {

// The client area the layout was drawn for, without the status bar.
constexpr QSize DesignClient{672, 514 - 19};

// A short file name ("song.wav", with the space before it) fits the status bar at the window's
// smallest size together with the loudness.
constexpr int ShortNameLength = 9;

QToolButton* MakeToolButton(QToolBar* bar, const char* name, const std::string& caption,
                            const std::string& hint) {
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setText(Q(caption));
    button->setToolTip(Q(hint));
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addWidget(button);
    return button;
}

// The glyph of a view button: a short symbol, drawn once.
QIcon Glyph(const QString& symbol) {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    QFont font = p.font();
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0, 0, 128));
    p.drawText(pixmap.rect(), Qt::AlignCenter, symbol);
    return QIcon(pixmap);
}

QToolButton* MakeGlyphButton(QWidget* parent, const char* name, const QString& symbol,
                             const std::string& hint, int left) {
    auto* button = MakeControl<QToolButton>(parent, name, QRect(left, 0, 24, 24));
    button->setIcon(Glyph(symbol));
    button->setToolTip(Q(hint));
    button->setAutoRaise(true);
    return button;
}

QAction* MakeAction(QMainWindow* window, QMenu* menu, const char* name, const std::string& caption,
                    const std::string& hint, const QList<QKeySequence>& keys = {}) {
    auto* action = new QAction(Q(caption), window);
    action->setObjectName(name);
    action->setToolTip(Q(hint));
    action->setShortcuts(keys);
    menu->addAction(action);
    if (!keys.isEmpty()) window->addAction(action);  // shortcuts work with the menus closed
    return action;
}

// A status bar panel as wide as its text. When space is short a panel that may shrink keeps at
// least its caption and the part of the text it must show, and shortens the rest (in the middle,
// where file names differ least, or at the end) instead of running into the next panel. The
// whole text is its tooltip.
class StatusPanel final : public QLabel {
  public:
    // Fixed: always shown whole. Otherwise whole up to mustShow characters after the caption,
    // or up to the end of the first occurrence of mustShowThrough.
    struct Shrinking {
        Qt::TextElideMode elide = Qt::ElideRight;
        int mustShow = 0;
        QString mustShowThrough;
    };
    StatusPanel(QWidget* parent, std::optional<Shrinking> shrinking)
        : QLabel(parent), shrinking_(std::move(shrinking)) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (!shrinking_) setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override { return {Room(text()), QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override {
        if (!shrinking_) return sizeHint();
        const QString& shown = text();
        qsizetype end = shown.indexOf(QLatin1Char(':')) + 1 + shrinking_->mustShow;
        if (const qsizetype at = shrinking_->mustShowThrough.isEmpty()
                                     ? -1
                                     : shown.indexOf(shrinking_->mustShowThrough);
            at >= 0)
            end = at + shrinking_->mustShowThrough.size();
        return {Room(shown.left(end)), QLabel::minimumSizeHint().height()};
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        drawFrame(&painter);
        const QRect area = contentsRect().adjusted(Padding, 0, -Padding, 0);
        const auto elide = shrinking_ ? shrinking_->elide : Qt::ElideNone;
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), elide, area.width()));
    }

  private:
    static constexpr int Padding = 2;
    int Room(const QString& shown) const {
        return fontMetrics().horizontalAdvance(shown) + 2 * (frameWidth() + Padding);
    }
    std::optional<Shrinking> shrinking_;
};

// Captions placed in fixed pixels may be wider than their place with the platform's fonts or a
// translated language.ini: such a control gets a narrower face, then a smaller size, until its
// text fits.
void FitTexts(QWidget& root) {
    for (QWidget* w : root.findChildren<QWidget*>()) {
        const bool text = qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w) ||
                          qobject_cast<QRadioButton*>(w);
        if (!text || w->width() <= 0) continue;
        QFont font = w->font();
        for (const int stretch : {QFont::Condensed, QFont::ExtraCondensed, QFont::UltraCondensed}) {
            if (w->sizeHint().width() <= w->width()) break;
            font.setStretch(stretch);
            w->setFont(font);
        }
        for (int pixels = font.pixelSize() - 1; pixels >= 8 && w->sizeHint().width() > w->width();
             --pixels) {
            font.setPixelSize(pixels);
            w->setFont(font);
        }
    }
}

QMenu* MakeMenu(QMenuBar* bar, const char* name, const std::string& caption,
                const std::string& hint) {
    auto* menu = bar->addMenu(Q(caption));
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    menu->menuAction()->setToolTip(Q(hint));
    menu->setToolTipsVisible(true);
    return menu;
}

QKeySequence Ctrl(int key) { return QKeySequence(Qt::CTRL | key); }

}  // namespace

void MainWindow::BuildWindow() {
    auto& c = *c_;
    setFont(CompactFont(font()));
    auto* client = new QWidget(this);
    client->setObjectName("Client");
    setCentralWidget(client);
    client->resize(DesignClient);
    c.anchors = new Anchors(client, DesignClient);

    // Built in the focus order of the window.
    BuildToolBar(client);
    BuildWavePanel(client);
    BuildZoomPanel(client);
    c.stages = new StageOptionsPanel(this);
    c.stages->BuildBandsGroup(client, *c.anchors);
    c.blockInfo = new BlockInfoPanel(client, *c.anchors);
    BuildTargetPanel(client);
    c.transport = new TransportPanel(client, *c.anchors);
    c.modes = new ModesPanel(client, *c.anchors);
    c.stages->BuildStagesGroup(client, *c.anchors);
    c.timbre = new TimbrePanel(client, *c.anchors);
    BuildStatusBar();
    FitTexts(*client);
}

// Tab walks the window as it is read: the main toolbar, the waveform, the column at its right
// from top to bottom, then the groups below from left to right; each part keeps the order its
// controls were made in. Run once every control exists.
void MainWindow::OrderTabs() {
    auto& c = *c_;
    c.waveView->setFocusPolicy(Qt::StrongFocus);
    // Buttons a toolbar makes for its actions take no focus of their own.
    for (QToolButton* button : c.mainToolBar->findChildren<QToolButton*>())
        button->setFocusPolicy(Qt::TabFocus);
    QWidget* client = centralWidget();
    const QWidget* parts[] = {c.mainToolBar,
                              c.waveView,
                              c.zoomPanel,
                              client->findChild<QWidget*>("bandsGroup"),
                              client->findChild<QWidget*>("infoTabs"),
                              c.bigRemasterButton,
                              client->findChild<QWidget*>("playerToolBar"),
                              client->findChild<QWidget*>("modesGroup"),
                              client->findChild<QWidget*>("stagesGroup"),
                              client->findChild<QWidget*>("timbreGroup")};
    // The controls of each part in the focus chain's present (creation) order; the inner
    // widgets of a spin box or list go with it.
    std::vector<QWidget*> order;
    for (const QWidget* part : parts) {
        for (QWidget* w = client->nextInFocusChain(); w != client; w = w->nextInFocusChain()) {
            const bool inPart = w == part || part->isAncestorOf(w);
            const bool takesTab = (w->focusPolicy() & Qt::TabFocus) != 0;
            const bool inner =
                !order.empty() && std::any_of(order.begin(), order.end(),
                                              [w](QWidget* o) { return o->isAncestorOf(w); });
            if (inPart && takesTab && !inner) order.push_back(w);
        }
    }
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void MainWindow::BuildToolBar(QWidget* client) {
    auto& c = *c_;
    const auto& t = Texts();
    auto place = [&](QWidget* w, QRect r, int anchors) { c.anchors->Add(w, r, anchors); };
    // Main toolbar.
    c.mainToolBar = new QToolBar(client);
    c.mainToolBar->setObjectName("mainToolBar");
    c.mainToolBar->setMovable(false);
    c.mainToolBar->setIconSize(QSize(16, 16));
    c.openButton = MakeToolButton(c.mainToolBar, "openButton", t.OpenCaption, t.OpenHint);
    c.saveButton = MakeToolButton(c.mainToolBar, "saveButton", t.SaveCaption, t.SaveHint);
    c.mainToolBar->addSeparator();
    c.remasterButton =
        MakeToolButton(c.mainToolBar, "remasterButton", t.RemasterCaption, t.RemasterHint);
    c.batchButton = MakeToolButton(c.mainToolBar, "batchButton", t.BatchCaption, t.BatchHint);
    c.mainToolBar->addSeparator();
    c.detectButton = MakeToolButton(c.mainToolBar, "detectButton", t.DetectCaption, t.DetectHint);
    c.mainToolBar->addSeparator();
    c.removeNoiseButton =
        MakeToolButton(c.mainToolBar, "removeNoiseButton", t.RemoveNoiseCaption, t.RemoveNoiseHint);
    c.fitPeaksButton =
        MakeToolButton(c.mainToolBar, "fitPeaksButton", t.FitPeaksCaption, t.FitPeaksHint);
    c.normalizeButton =
        MakeToolButton(c.mainToolBar, "normalizeButton", t.NormalizeCaption, t.NormalizeHint);
    place(c.mainToolBar, {0, 0, 672, 24}, AnchorLeft | AnchorTop | AnchorRight);
}

void MainWindow::BuildWavePanel(QWidget* client) {
    auto& c = *c_;
    auto place = [&](QWidget* w, QRect r, int anchors) { c.anchors->Add(w, r, anchors); };
    // Waveform panel: the view over its dark green frame, and the two scroll bars.
    c.wavePanel = new QFrame(client);
    c.wavePanel->setObjectName("wavePanel");
    c.wavePanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    place(c.wavePanel, {0, 24, 504, 308}, AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
    auto* panel1 = new Anchors(c.wavePanel, {504, 308});
    c.waveBackground = new QFrame(c.wavePanel);
    c.waveBackground->setObjectName("waveBackground");
    c.waveBackground->setAutoFillBackground(true);
    QPalette green = c.waveBackground->palette();
    green.setColor(QPalette::Window, DarkGreen);
    c.waveBackground->setPalette(green);
    panel1->Add(c.waveBackground, {4, 4, 480, 284},
                AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
    c.waveView = new PaintBox(c.wavePanel);
    c.waveView->setObjectName("waveView");
    c.waveView->setContextMenuPolicy(Qt::CustomContextMenu);
    panel1->Add(c.waveView, {4, 4, 480, 284}, AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
    c.waveVerticalScroll = new QScrollBar(Qt::Vertical, c.wavePanel);
    c.waveVerticalScroll->setObjectName("waveVerticalScroll");
    panel1->Add(c.waveVerticalScroll, {486, 4, 16, 284}, AnchorTop | AnchorRight | AnchorBottom);
    c.waveHorizontalScroll = new QScrollBar(Qt::Horizontal, c.wavePanel);
    c.waveHorizontalScroll->setObjectName("waveHorizontalScroll");
    panel1->Add(c.waveHorizontalScroll, {4, 290, 480, 16}, AnchorLeft | AnchorRight | AnchorBottom);
    for (QScrollBar* bar : {c.waveVerticalScroll, c.waveHorizontalScroll}) {
        // Positions 1 .. 32767 with the whole span as one page: the thumb fills the track.
        bar->setRange(1, 1);
        bar->setPageStep(32767);
        bar->setValue(1);
    }
}

void MainWindow::BuildZoomPanel(QWidget* client) {
    auto& c = *c_;
    const auto& t = Texts();
    auto place = [&](QWidget* w, QRect r, int anchors) { c.anchors->Add(w, r, anchors); };
    // Zoom and delete buttons.
    c.zoomPanel = new QFrame(client);
    c.zoomPanel->setObjectName("zoomPanel");
    place(c.zoomPanel, {504, 24, 168, 24}, AnchorTop | AnchorRight);
    c.horizontalZoomInButton = MakeGlyphButton(c.zoomPanel, "horizontalZoomInButton",
                                               QStringLiteral("↔+"), t.HorizontalZoomInHint, 0);
    c.horizontalZoomOutButton = MakeGlyphButton(c.zoomPanel, "horizontalZoomOutButton",
                                                QStringLiteral("↔−"), t.HorizontalZoomOutHint, 24);
    c.horizontalZoomResetButton =
        MakeGlyphButton(c.zoomPanel, "horizontalZoomResetButton", QStringLiteral("↔"),
                        t.HorizontalZoomFullHint, 48);
    c.verticalZoomInButton = MakeGlyphButton(c.zoomPanel, "verticalZoomInButton",
                                             QStringLiteral("↕+"), t.VerticalZoomInHint, 72);
    c.verticalZoomOutButton = MakeGlyphButton(c.zoomPanel, "verticalZoomOutButton",
                                              QStringLiteral("↕−"), t.VerticalZoomOutHint, 96);
    c.verticalZoomResetButton = MakeGlyphButton(c.zoomPanel, "verticalZoomResetButton",
                                                QStringLiteral("↕"), t.VerticalZoomResetHint, 120);
    c.deleteBlockButton = MakeGlyphButton(c.zoomPanel, "deleteBlockButton", QStringLiteral("✕"),
                                          t.DeleteBlockHint, 144);
}

// The big remaster button and the target display under it.
void MainWindow::BuildTargetPanel(QWidget* client) {
    auto& c = *c_;
    const auto& t = Texts();
    auto place = [&](QWidget* w, QRect r, int anchors) { c.anchors->Add(w, r, anchors); };
    c.bigRemasterButton = MakeControl<QPushButton>(client, "bigRemasterButton", {});
    c.bigRemasterButton->setText(Q(t.RemasterCaption));
    c.bigRemasterButton->setToolTip(Q(t.RemasterHint));
    // A taller window gives its height to the target display, not to this button.
    place(c.bigRemasterButton, {504, 198, 168, 25}, AnchorTop | AnchorRight);

    // Target display.
    c.targetPanel = new QFrame(client);
    c.targetPanel->setObjectName("targetPanel");
    place(c.targetPanel, {504, 223, 168, 84}, AnchorTop | AnchorRight | AnchorBottom);
    auto* inside = new Anchors(c.targetPanel, {168, 84});
    c.targetCaption =
        MakeLabel(c.targetPanel, "targetCaption", Q(t.TargetSpectrumLabel + ":"), {4, 2});
    c.targetView = new PaintBox(c.targetPanel);
    c.targetView->setObjectName("targetView");
    inside->Add(c.targetView, {4, 18, 160, 62},
                AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
}

void MainWindow::BuildStatusBar() {
    auto& c = *c_;
    const auto& t = Texts();
    // Status bar: sample count, channels, rate, bits, name; loudness at the right. The first
    // four are as wide as their figures; the name and the loudness share the rest.
    statusBar()->setObjectName("StatusBar");
    statusBar()->setSizeGripEnabled(true);
    // One box for the five, closer together than the status bar spaces its own widgets.
    auto* panels = new QWidget(statusBar());
    auto* row = new QHBoxLayout(panels);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    statusBar()->addWidget(panels, 1);
    for (int i = 0; i < 5; ++i) {
        // A short file name is shown whole.
        const auto shrinking =
            i < 4 ? std::nullopt
                  : std::optional<StatusPanel::Shrinking>({Qt::ElideMiddle, ShortNameLength, {}});
        auto* panel = new StatusPanel(panels, shrinking);
        panel->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i));
        row->addWidget(panel, i < 4 ? 0 : 1);
        c.StatusPanels[i] = panel;
    }
    // The integrated loudness with its unit is shown whole; the range and peak may be shortened.
    auto* loudness =
        new StatusPanel(statusBar(), StatusPanel::Shrinking{Qt::ElideRight, 0, "LUFS"});
    loudness->setObjectName(QStringLiteral("StatusBarPanel5"));
    statusBar()->addPermanentWidget(loudness, 1);
    c.StatusPanels[5] = loudness;
    const std::string* panelCaptions[] = {&t.SampleCountPanel, &t.ChannelsPanel,
                                          &t.SampleRatePanel,  &t.BitsPerSamplePanel,
                                          &t.FileNamePanel,    &t.LoudnessCaption};
    for (int i = 0; i < 6; ++i) SetPanel(i, *panelCaptions[i] + ":");
}

void MainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu");
    BuildFileMenus(bar);
    BuildEditMenu(bar);
    BuildFilterMenu(bar);
    BuildHelpMenu(bar);
}

// The file menu and the batch menu.
void MainWindow::BuildFileMenus(QMenuBar* bar) {
    auto& c = *c_;
    const auto& t = Texts();
    c.fileMenu = MakeMenu(bar, "fileMenu", t.FileMenuCaption, t.FileMenuHint);
    c.openAction =
        MakeAction(this, c.fileMenu, "openAction", t.OpenCaption, t.OpenHint, {Ctrl(Qt::Key_O)});
    c.returnToSavedAction =
        MakeAction(this, c.fileMenu, "returnToSavedAction", t.ReturnToSavedCaption,
                   t.ReturnToSavedHint, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)});
    c.saveAction =
        MakeAction(this, c.fileMenu, "saveAction", t.SaveCaption, t.SaveHint, {Ctrl(Qt::Key_S)});
    c.saveAsAction = MakeAction(this, c.fileMenu, "saveAsAction", t.SaveAsCaption, t.SaveAsHint,
                                {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)});
    c.fileMenu->addSeparator();
    c.exitAction = MakeAction(this, c.fileMenu, "exitAction", t.ExitCaption, t.ExitHint,
                              {QKeySequence(Qt::ALT | Qt::Key_F4)});

    c.batchMenu = MakeMenu(bar, "batchMenu", t.BatchMenuCaption, t.BatchHint);
    c.batchAction = MakeAction(this, c.batchMenu, "batchAction", t.BatchCaption, t.BatchHint,
                               {Ctrl(Qt::Key_B)});
}

// The edit menu and the waveform view's context menu: the same view commands in both.
void MainWindow::BuildEditMenu(QMenuBar* bar) {
    auto& c = *c_;
    const auto& t = Texts();
    c.editMenu = MakeMenu(bar, "editMenu", t.EditMenuCaption, t.EditMenuHint);
    c.waveContextMenu = new QMenu(this);
    c.waveContextMenu->setObjectName("waveContextMenu");
    c.waveContextMenu->setToolTipsVisible(true);
    c.undoAction =
        MakeAction(this, c.editMenu, "undoAction", t.UndoCaption, t.UndoHint, {Ctrl(Qt::Key_Z)});
    c.redoAction = MakeAction(this, c.editMenu, "redoAction", t.RedoCaption, t.RedoHint,
                              {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), Ctrl(Qt::Key_Y)});
    c.undoAction->setEnabled(false);
    c.redoAction->setEnabled(false);
    c.undoStepsAction =
        MakeAction(this, c.editMenu, "undoStepsAction", t.UndoStepsCaption, t.UndoStepsHint, {});
    c.editMenu->addSeparator();
    // Each command's menu action is "<role>Action", its context-menu twin "<role>PopupAction".
    struct ViewItem {
        QAction** item;
        QAction** popupItem;
        const char* role;
        const std::string* caption;
        const std::string* hint;
        QList<QKeySequence> keys;
    };
    // clang-format off
    const ViewItem viewItems[] = {
        {&c.horizontalZoomInAction, &c.horizontalZoomInPopupAction, "horizontalZoomIn",
         &t.HorizontalZoomInCaption, &t.HorizontalZoomInHint, {Ctrl(Qt::Key_Right)}},
        {&c.horizontalZoomOutAction, &c.horizontalZoomOutPopupAction, "horizontalZoomOut",
         &t.HorizontalZoomOutCaption, &t.HorizontalZoomOutHint, {Ctrl(Qt::Key_Left)}},
        {&c.horizontalZoomResetAction, &c.horizontalZoomResetPopupAction, "horizontalZoomReset",
         &t.HorizontalZoomFullCaption, &t.HorizontalZoomFullHint, {}},
        {&c.verticalZoomInAction, &c.verticalZoomInPopupAction, "verticalZoomIn",
         &t.VerticalZoomInCaption, &t.VerticalZoomInHint, {Ctrl(Qt::Key_Up)}},
        {&c.verticalZoomOutAction, &c.verticalZoomOutPopupAction, "verticalZoomOut",
         &t.VerticalZoomOutCaption, &t.VerticalZoomOutHint, {Ctrl(Qt::Key_Down)}},
        {&c.verticalZoomResetAction, &c.verticalZoomResetPopupAction, "verticalZoomReset",
         &t.VerticalZoomResetCaption, &t.VerticalZoomResetHint, {}},
        {&c.deleteBlockAction, &c.deleteBlockPopupAction, "deleteBlock",
         &t.DeleteBlockCaption, &t.DeleteBlockHint, {Ctrl(Qt::Key_Delete), QKeySequence(Qt::Key_Delete)}},
    };
    // clang-format on
    for (const auto& item : viewItems) {
        if (item.item == &c.deleteBlockAction) {
            c.editMenu->addSeparator();
            c.waveContextMenu->addSeparator();
        }
        const std::string role = item.role;
        *item.item = MakeAction(this, c.editMenu, (role + "Action").c_str(), *item.caption,
                                *item.hint, item.keys);
        *item.popupItem = MakeAction(this, c.waveContextMenu, (role + "PopupAction").c_str(),
                                     *item.caption, *item.hint);
    }
}

void MainWindow::BuildFilterMenu(QMenuBar* bar) {
    auto& c = *c_;
    const auto& t = Texts();
    c.filterMenu = MakeMenu(bar, "filterMenu", t.FiltersMenuCaption, t.FiltersMenuHint);
    c.removeNoiseAction = MakeAction(this, c.filterMenu, "removeNoiseAction", t.RemoveNoiseCaption,
                                     t.RemoveNoiseHint, {Ctrl(Qt::Key_H)});
    c.fitPeaksAction = MakeAction(this, c.filterMenu, "fitPeaksAction", t.FitPeaksCaption,
                                  t.FitPeaksHint, {Ctrl(Qt::Key_F)});
    c.normalizeAction = MakeAction(this, c.filterMenu, "normalizeAction", t.NormalizeCaption,
                                   t.NormalizeHint, {Ctrl(Qt::Key_N)});
    c.remasterAction = MakeAction(this, c.filterMenu, "remasterAction", t.RemasterCaption,
                                  t.RemasterHint, {Ctrl(Qt::Key_Return), Ctrl(Qt::Key_Enter)});
    c.detectAction = MakeAction(this, c.filterMenu, "detectAction", t.DetectCaption, t.DetectHint,
                                {Ctrl(Qt::Key_D)});
}

void MainWindow::BuildHelpMenu(QMenuBar* bar) {
    auto& c = *c_;
    const auto& t = Texts();
    c.helpMenu = MakeMenu(bar, "helpMenu", t.HelpMenuCaption, std::string());
    c.helpTopicsAction = MakeAction(this, c.helpMenu, "helpTopicsAction", t.HelpCaption, t.HelpHint,
                                    {QKeySequence(Qt::Key_F1)});
    c.aboutAction = MakeAction(this, c.helpMenu, "aboutAction", t.AboutCaption, t.AboutHint,
                               {QKeySequence(Qt::SHIFT | Qt::Key_F1)});
}

void MainWindow::SetPanel(int panel, const std::string& text) {
    QLabel* label = c_->StatusPanels[static_cast<std::size_t>(panel)];
    label->setText(Q(text));
    label->setToolTip(Q(text));
}

}  // namespace sv
