// The main window's controls: names, captions, hints, ranges, places and anchoring.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
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

#include "app/Anchors.h"
#include "app/CompactFont.h"
#include "app/MainWindowControls.h"
#include "app/PaintBox.h"
#include "app/SpinEdit.h"
#include "app/wav_p.h"
#include "text/Language.h"

namespace sv {

namespace {

// The client area the layout was drawn for, without the status bar.
constexpr QSize DesignClient{672, 514 - 19};

QString Q(const std::string& text) { return QString::fromStdString(text); }

template <typename W>
W* Make(QWidget* parent, const char* name, QRect geometry) {
    auto* w = new W(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    return w;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint at) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(at);
    label->adjustSize();
    return label;
}

QSpinBox* MakeSpin(QWidget* parent, const char* name, int min, int max, int value, QRect r) {
    auto* spin = Make<TSpinEdit>(parent, name, r);
    spin->setRange(min, max);
    spin->setValue(value);
    return spin;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const std::string& caption,
                     const std::string& hint, QRect r) {
    auto* check = Make<QCheckBox>(parent, name, r);
    check->setText(Q(caption));
    check->setToolTip(Q(hint));
    return check;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const std::string& caption,
                        const std::string& hint, QRect r) {
    auto* radio = Make<QRadioButton>(parent, name, r);
    radio->setText(Q(caption));
    radio->setToolTip(Q(hint));
    return radio;
}

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
    auto* button = Make<QToolButton>(parent, name, QRect(left, 0, 24, 24));
    button->setIcon(Glyph(symbol));
    button->setToolTip(Q(hint));
    button->setAutoRaise(true);
    return button;
}

QToolButton* MakePlayerButton(QToolBar* bar, const char* name, QStyle::StandardPixmap icon) {
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setIcon(bar->style()->standardIcon(icon));
    bar->addWidget(button);
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

// A status bar panel that shortens a text too long for it in the middle (where file names
// differ least) instead of cutting its end; the whole text is its tooltip.
class TElidedLabel final : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        drawFrame(&painter);
        const QRect area = contentsRect().adjusted(margin() + 2, 0, -margin() - 2, 0);
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

// Captions placed in fixed pixels may be wider than their place with the platform's fonts or a
// translated language.ini: such a control gets a narrower face, then a smaller size, until its
// text fits.
void FitTexts(QWidget& root) {
    for (QWidget* w : root.findChildren<QWidget*>()) {
        const bool text = qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
        if (!text || w->width() <= 0) continue;
        QFont font = w->font();
        for (const int stretch : {QFont::Condensed, QFont::ExtraCondensed, QFont::UltraCondensed}) {
            if (w->sizeHint().width() <= w->width()) break;
            font.setStretch(stretch);
            w->setFont(font);
        }
        for (int pixels = font.pixelSize() - 1; pixels >= 8 && w->sizeHint().width() > w->width(); --pixels) {
            font.setPixelSize(pixels);
            w->setFont(font);
        }
    }
}

QMenu* MakeMenu(QMenuBar* bar, const char* name, const std::string& caption, const std::string& hint) {
    auto* menu = bar->addMenu(Q(caption));
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    menu->menuAction()->setToolTip(Q(hint));
    menu->setToolTipsVisible(true);
    return menu;
}

QKeySequence Ctrl(int key) { return QKeySequence(Qt::CTRL | key); }

}  // namespace

void TRemastering::BuildWindow() {
    auto& c = *c_;
    const auto& t = Texts();
    setFont(CompactFont(font()));

    auto* client = new QWidget(this);
    client->setObjectName("Client");
    setCentralWidget(client);
    client->resize(DesignClient);
    c.anchors = new TAnchors(client, DesignClient);
    auto place = [&](QWidget* w, QRect r, int anchors) { c.anchors->Add(w, r, anchors); };

    // Main toolbar.
    c.ToolBarMain = new QToolBar(client);
    c.ToolBarMain->setObjectName("ToolBarMain");
    c.ToolBarMain->setMovable(false);
    c.ToolBarMain->setIconSize(QSize(16, 16));
    c.BtOpen = MakeToolButton(c.ToolBarMain, "BtOpen", t.CaOpen, t.HiOpen);
    c.BtSave = MakeToolButton(c.ToolBarMain, "BtSave", t.CaSave, t.HiSave);
    c.ToolBarMain->addSeparator();
    c.BtRemaster = MakeToolButton(c.ToolBarMain, "BtRemaster", t.CaRemaster, t.HiRemaster);
    c.BtBatch = MakeToolButton(c.ToolBarMain, "BtBatch", t.CaBatch, t.HiBatch);
    c.ToolBarMain->addSeparator();
    c.BtDetect = MakeToolButton(c.ToolBarMain, "BtDetect", t.CaDetekt, t.HiDetekt);
    c.ToolBarMain->addSeparator();
    c.BtRemNoise = MakeToolButton(c.ToolBarMain, "BtRemNoise", t.CaRemNoise, t.HiRemNoise);
    c.BtRemPeek = MakeToolButton(c.ToolBarMain, "BtRemPeek", t.CaRemPeek, t.HiRemPeek);
    c.BtNormalize = MakeToolButton(c.ToolBarMain, "BtNormalize", t.CaNormalize, t.HiNormalize);
    place(c.ToolBarMain, {0, 0, 672, 24}, akLeft | akTop | akRight);

    // Waveform panel: the view over its dark green frame, and the two scroll bars.
    c.Panel1 = new QFrame(client);
    c.Panel1->setObjectName("Panel1");
    c.Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    place(c.Panel1, {0, 24, 504, 308}, akLeft | akTop | akRight | akBottom);
    auto* panel1 = new TAnchors(c.Panel1, {504, 308});
    c.Shape1 = new QFrame(c.Panel1);
    c.Shape1->setObjectName("Shape1");
    c.Shape1->setAutoFillBackground(true);
    QPalette green = c.Shape1->palette();
    green.setColor(QPalette::Window, DarkGreen);
    c.Shape1->setPalette(green);
    panel1->Add(c.Shape1, {4, 4, 480, 284}, akLeft | akTop | akRight | akBottom);
    c.PaintBox1 = new TPaintBox(c.Panel1);
    c.PaintBox1->setObjectName("PaintBox1");
    c.PaintBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    panel1->Add(c.PaintBox1, {4, 4, 480, 284}, akLeft | akTop | akRight | akBottom);
    c.SbVertikal = new QScrollBar(Qt::Vertical, c.Panel1);
    c.SbVertikal->setObjectName("SbVertikal");
    panel1->Add(c.SbVertikal, {486, 4, 16, 284}, akTop | akRight | akBottom);
    c.SbHorizontal = new QScrollBar(Qt::Horizontal, c.Panel1);
    c.SbHorizontal->setObjectName("SbHorizontal");
    panel1->Add(c.SbHorizontal, {4, 290, 480, 16}, akLeft | akRight | akBottom);
    for (QScrollBar* bar : {c.SbVertikal, c.SbHorizontal}) {
        // Positions 1 .. 32767 with the whole span as one page: the thumb fills the track.
        bar->setRange(1, 1);
        bar->setPageStep(32767);
        bar->setValue(1);
    }

    // Zoom and delete buttons.
    c.Panel3 = new QFrame(client);
    c.Panel3->setObjectName("Panel3");
    place(c.Panel3, {504, 24, 168, 24}, akTop | akRight);
    c.BbLupHorPlus = MakeGlyphButton(c.Panel3, "BbLupHorPlus", QStringLiteral("↔+"), t.HiLupHorPlus, 0);
    c.BbLupHorMinus = MakeGlyphButton(c.Panel3, "BbLupHorMinus", QStringLiteral("↔−"), t.HiLupHorMinus, 24);
    c.BbLupHor = MakeGlyphButton(c.Panel3, "BbLupHor", QStringLiteral("↔"), t.HiLupHor, 48);
    c.BbLupVerPlus = MakeGlyphButton(c.Panel3, "BbLupVerPlus", QStringLiteral("↕+"), t.HiLupVerPlus, 72);
    c.BbLupVerMinus = MakeGlyphButton(c.Panel3, "BbLupVerMinus", QStringLiteral("↕−"), t.HiLupVerMinus, 96);
    c.BbLupVer = MakeGlyphButton(c.Panel3, "BbLupVer", QStringLiteral("↕"), t.HiLupVer, 120);
    c.BbDel = MakeGlyphButton(c.Panel3, "BbDel", QStringLiteral("✕"), t.HiDel, 144);

    // Precision and limitation.
    c.GrTool = new QGroupBox(client);
    c.GrTool->setObjectName("GrTool");
    place(c.GrTool, {504, 48, 168, 47}, akTop | akRight);
    MakeLabel(c.GrTool, "Label1", Q(t.CaL1), {6, 7});
    c.SpPrecize = MakeSpin(c.GrTool, "SpPrecize", 3, 255, 60, {66, 3, 50, 20});
    MakeLabel(c.GrTool, "Label8", Q(t.CaL8), {120, 7});
    MakeLabel(c.GrTool, "Label9", Q(t.CaL9), {6, 27});
    c.SpLimit = MakeSpin(c.GrTool, "SpLimit", 2, 128, 10, {66, 24, 50, 20});
    MakeLabel(c.GrTool, "Label10", Q(t.CaL10), {120, 27});

    // Block information in samples and in seconds.
    c.PageControl1 = new QTabWidget(client);
    c.PageControl1->setObjectName("PageControl1");
    place(c.PageControl1, {504, 95, 168, 103}, akTop | akRight);
    const std::string* rowCaptions[] = {&t.CaL16, &t.CaL17, &t.CaL18, &t.CaL19};
    for (int page = 0; page < 2; ++page) {
        auto* sheet = new QWidget;
        sheet->setObjectName(page == 0 ? "TabSheet1" : "TabSheet2");
        c.PageControl1->addTab(sheet, Q(page == 0 ? t.CaTab1 : t.CaTab2));
        for (int row = 0; row < 4; ++row) {
            const int i = page * 4 + row;
            const QByteArray captionName = "Label" + QByteArray::number(16 + i);
            const QByteArray valueName = "Label" + QByteArray::number(24 + i);
            c.BlockCaptions[i] = MakeLabel(sheet, captionName.constData(),
                                           Q(*rowCaptions[row] + ":"), {4, 3 + 17 * row});
            c.BlockValues[i] = Make<QLabel>(sheet, valueName.constData(), {78, 3 + 17 * row, 84, 14});
        }
    }
    c.PageControl1->setCurrentIndex(1);  // seconds are shown first

    c.BigButton = Make<QPushButton>(client, "BigButton", {});
    c.BigButton->setText(Q(t.CaRemaster));
    c.BigButton->setToolTip(Q(t.HiRemaster));
    place(c.BigButton, {504, 198, 168, 25}, akTop | akRight | akBottom);

    // Target display.
    c.Panel2 = new QFrame(client);
    c.Panel2->setObjectName("Panel2");
    place(c.Panel2, {504, 223, 168, 84}, akRight | akBottom);
    c.Label15 = MakeLabel(c.Panel2, "Label15", Q(t.CaL15 + ":"), {4, 2});
    c.PaintBox2 = Make<TPaintBox>(c.Panel2, "PaintBox2", {4, 18, 160, 62});

    // Transport.
    c.ToolBarPlayer = new QToolBar(client);
    c.ToolBarPlayer->setObjectName("ToolBarPlayer");
    c.ToolBarPlayer->setMovable(false);
    c.ToolBarPlayer->setIconSize(QSize(16, 16));
    c.BtPlay = MakePlayerButton(c.ToolBarPlayer, "BtPlay", QStyle::SP_MediaPlay);
    c.BtPause = MakePlayerButton(c.ToolBarPlayer, "BtPause", QStyle::SP_MediaPause);
    c.BtStop = MakePlayerButton(c.ToolBarPlayer, "BtStop", QStyle::SP_MediaStop);
    c.BtBeg = MakePlayerButton(c.ToolBarPlayer, "BtBeg", QStyle::SP_MediaSkipBackward);
    c.BtRew = MakePlayerButton(c.ToolBarPlayer, "BtRew", QStyle::SP_MediaSeekBackward);
    c.BtFF = MakePlayerButton(c.ToolBarPlayer, "BtFF", QStyle::SP_MediaSeekForward);
    place(c.ToolBarPlayer, {504, 307, 168, 25}, akRight | akBottom);

    // Type of remastering: channel mode and band-level mode, each a five-step bar with three
    // radio buttons beside its main steps.
    c.GrTypRemast = new QGroupBox(Q(t.CaTypRemast), client);
    c.GrTypRemast->setObjectName("GrTypRemast");
    c.GrTypRemast->setToolTip(Q(t.HiTypRemast));
    place(c.GrTypRemast, {0, 332, 168, 163}, akLeft | akBottom);
    auto modeGroup = [&](const char* name, int top, const char* bar, QSlider*& slider,
                         QButtonGroup*& group, std::array<QRadioButton**, 3> radios,
                         std::array<const char*, 3> names, std::array<const std::string*, 6> texts) {
        auto* box = Make<QGroupBox>(c.GrTypRemast, name, {1, top, 166, 71});
        box->setFlat(true);
        slider = Make<QSlider>(box, bar, {0, 2, 18, 67});
        slider->setOrientation(Qt::Vertical);
        slider->setInvertedAppearance(true);  // step 0 at the top, beside the first button
        slider->setRange(0, 4);
        slider->setPageStep(1);
        slider->setTickPosition(QSlider::TicksRight);
        slider->setTickInterval(1);
        slider->setToolTip(Q(t.HiTrack));
        // The handle and its ticks need the style's width, or they are cut off.
        const int barWidth = std::max(18, slider->sizeHint().width());
        slider->resize(barWidth, 67);
        group = new QButtonGroup(box);
        for (int i = 0; i < 3; ++i) {
            *radios[i] = MakeRadio(box, names[i], *texts[2 * i], *texts[2 * i + 1],
                                   {barWidth, 3 + 24 * i, 165 - barWidth, 18});
            group->addButton(*radios[i]);
        }
    };
    modeGroup("GrTypChan", 15, "TBarChanels", c.TBarChanels, c.ChannelGroup,
              {&c.RaPrum, &c.RaWeight, &c.RaStereo}, {"RaPrum", "RaWeight", "RaStereo"},
              {&t.CaPrum, &t.HiPrum, &t.CaWeight, &t.HiWeight, &t.CaStereo, &t.HiStereo});
    modeGroup("GrTypPek", 88, "TBarWeig", c.TBarWeig, c.BandGroup,
              {&c.RaStress, &c.RaMedi, &c.RaPeek}, {"RaStress", "RaMedi", "RaPeek"},
              {&t.CaStress, &t.HiStress, &t.CaMedi, &t.HiMedi, &t.CaPeek, &t.HiPeek});
    c.GrTypChan = c.GrTypRemast->findChild<QGroupBox*>("GrTypChan");
    c.GrTypPek = c.GrTypRemast->findChild<QGroupBox*>("GrTypPek");

    // Additional settings: the four stages with their values.
    c.GrAditional = new QGroupBox(Q(t.CaAditional), client);
    c.GrAditional->setObjectName("GrAditional");
    c.GrAditional->setToolTip(Q(t.HiAditional));
    place(c.GrAditional, {168, 332, 336, 163}, akLeft | akBottom);
    QWidget* g = c.GrAditional;
    c.ChRemNoise = MakeCheck(g, "ChRemNoise", t.CaRemNoise, t.HiRemNoise, {6, 15, 140, 18});
    c.SpPocDil = MakeSpin(g, "SpPocDil", 1, 64, 1, {16, 35, 46, 20});
    MakeLabel(g, "Label5", Q(t.CaL5), {66, 38});
    c.SpProcNois = MakeSpin(g, "SpProcNois", 0, 200, 100, {16, 57, 46, 20});
    MakeLabel(g, "Label2", QStringLiteral("%"), {66, 60});
    c.SpSec = MakeSpin(g, "SpSec", 1, 9, 1, {16, 79, 46, 20});
    MakeLabel(g, "Label7", Q(t.CaL7), {66, 82});
    c.ChPeekDown = MakeCheck(g, "ChPeekDown", t.CaRemPeek, t.HiRemPeek, {6, 101, 140, 18});
    c.SpPeekDown = MakeSpin(g, "SpPeekDown", 5, 999, 100, {16, 121, 46, 20});
    MakeLabel(g, "Label4", Q(t.CaL4), {66, 124});
    MakeLabel(g, "Label11", Q(t.CaL11 + ":"), {6, 145});
    c.CbBlPeek = Make<QComboBox>(g, "CbBlPeek", {66, 141, 53, 20});
    c.CbBlPeek->addItems({"512", "1024", "2048", "4096", "8192"});
    c.CbBlPeek->setCurrentText("4096");  // the size peak fitting starts with
    MakeLabel(g, "Label12", Q(t.CaL12), {121, 145});

    c.ChRemastering = MakeCheck(g, "ChRemastering", t.CaRemast, t.HiRemast, {150, 15, 184, 18});
    c.ChHiPass = MakeCheck(g, "ChHiPass", t.CaHiPass, t.HiHiPass, {160, 36, 78, 18});
    c.SpHiPass = MakeSpin(g, "SpHiPass", 16, 250, 20, {240, 35, 46, 20});
    c.PassUnits[0] = MakeLabel(g, "Label3", QStringLiteral("Hz"), {290, 38});
    c.SpHiDrop = MakeSpin(g, "SpHiDrop", 1, 64, 6, {240, 57, 46, 20});
    c.PassUnits[1] = MakeLabel(g, "Label6", QStringLiteral("dB/oct"), {290, 60});
    c.ChLoPass = MakeCheck(g, "ChLoPass", t.CaLoPass, t.HiLoPass, {160, 80, 78, 18});
    c.SpLoPass = MakeSpin(g, "SpLoPass", 8, 20, 16, {240, 79, 46, 20});
    c.PassUnits[2] = MakeLabel(g, "Label13", QStringLiteral("kHz"), {290, 82});
    c.SpLoDrop = MakeSpin(g, "SpLoDrop", 1, 64, 6, {240, 101, 46, 20});
    c.PassUnits[3] = MakeLabel(g, "Label14", QStringLiteral("dB/oct"), {290, 104});
    c.ChExtDyn = MakeCheck(g, "ChExtDyn", t.CaNormalize, t.HiNormalize, {150, 124, 88, 18});
    c.SpNormal = MakeSpin(g, "SpNormal", -48, 0, 0, {240, 123, 46, 20});
    MakeLabel(g, "Label32", QStringLiteral("dB"), {290, 126});
    c.ChExtDynEq = MakeCheck(g, "ChExtDynEq", t.CaStereo, t.HiStereo, {160, 143, 170, 18});

    // Sound timbre.
    c.GrColorNoise = new QGroupBox(Q(t.CaColorNoise), client);
    c.GrColorNoise->setObjectName("GrColorNoise");
    c.GrColorNoise->setToolTip(Q(t.HiColorNoise));
    place(c.GrColorNoise, {504, 332, 168, 163}, akLeft | akRight | akBottom);
    auto* timbre = new TAnchors(c.GrColorNoise, {168, 163});
    c.TimbreGroup = new QButtonGroup(c.GrColorNoise);
    const struct {
        QRadioButton** radio;
        const char* name;
        const std::string* caption;
        const std::string* hint;
    } timbres[] = {{&c.RaClear, "RaClear", &t.CaClear, &t.HiClear},
                   {&c.RaSplit, "RaSplit", &t.CaSplit, &t.HiSplit},
                   {&c.RaPremaster, "RaPremaster", &t.CaPremaster, &t.HiPremaster},
                   {&c.RaDrum, "RaDrum", &t.CaDrum, &t.HiDrum},
                   {&c.RaPop, "RaPop", &t.CaPop, &t.HiPop},
                   {&c.RaDetect, "RaDetect", &t.CaRaDetect, &t.HiRaDetect}};
    int row = 0;
    for (const auto& entry : timbres) {
        *entry.radio = MakeRadio(c.GrColorNoise, entry.name, *entry.caption, *entry.hint, {});
        timbre->Add(*entry.radio, {8, 15 + 19 * row++, 152, 18}, akLeft | akTop | akRight);
        c.TimbreGroup->addButton(*entry.radio);
    }
    c.RaClear->setChecked(true);
    c.ComboBox = new QComboBox(c.GrColorNoise);
    c.ComboBox->setObjectName("ComboBox");
    c.ComboBox->setEditable(true);
    c.ComboBox->setInsertPolicy(QComboBox::NoInsert);
    c.ComboBox->setCompleter(nullptr);
    timbre->Add(c.ComboBox, {6, 133, 106, 22}, akLeft | akTop | akRight);
    c.SavFreq = new QToolButton(c.GrColorNoise);
    c.SavFreq->setObjectName("SavFreq");
    c.SavFreq->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    c.SavFreq->setToolTip(Q(t.HiSaveFreq));
    timbre->Add(c.SavFreq, {116, 133, 22, 22}, akTop | akRight);
    c.DelFreq = new QToolButton(c.GrColorNoise);
    c.DelFreq->setObjectName("DelFreq");
    c.DelFreq->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    c.DelFreq->setToolTip(Q(t.HiDelFreq));
    timbre->Add(c.DelFreq, {140, 133, 22, 22}, akTop | akRight);

    // Status bar: sample count, channels, rate, bits, name.
    statusBar()->setObjectName("StatusBar");
    statusBar()->setSizeGripEnabled(true);
    const int widths[] = {150, 100, 145, 140, 50};
    for (int i = 0; i < 5; ++i) {
        auto* panel = new TElidedLabel(statusBar());
        panel->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i));
        panel->setMinimumWidth(widths[i]);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < 4) panel->setFixedWidth(widths[i]);
        statusBar()->addWidget(panel, i < 4 ? 0 : 1);
        c.StatusPanels[i] = panel;
    }
    const std::string* panelCaptions[] = {&t.CaStatBar0, &t.CaStatBar1, &t.CaStatBar2,
                                          &t.CaStatBar3, &t.CaStatBar4};
    for (int i = 0; i < 5; ++i) SetPanel(i, *panelCaptions[i] + ":");
    FitTexts(*client);
}

void TRemastering::BuildMenus() {
    auto& c = *c_;
    const auto& t = Texts();
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu");

    c.MeFile = MakeMenu(bar, "MeFile", t.CaFile, t.HiFile);
    c.MeOpen = MakeAction(this, c.MeFile, "MeOpen", t.CaOpen, t.HiOpen, {Ctrl(Qt::Key_O)});
    c.MeRevToSav = MakeAction(this, c.MeFile, "MeRevToSav", t.CaRevToSav, t.HiRevToSav,
                              {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)});
    c.MeSave = MakeAction(this, c.MeFile, "MeSave", t.CaSave, t.HiSave, {Ctrl(Qt::Key_S)});
    c.MeSaveAs = MakeAction(this, c.MeFile, "MeSaveAs", t.CaSaveAs, t.HiSaveAs,
                            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)});
    c.MeFile->addSeparator();
    c.MeEnd = MakeAction(this, c.MeFile, "MeEnd", t.CaEnd, t.HiEnd, {QKeySequence(Qt::ALT | Qt::Key_F4)});

    c.MeBatch = MakeMenu(bar, "MeBatch", t.CaBatch, t.HiBatch);
    c.MeBatch1 = MakeAction(this, c.MeBatch, "MeBatch1", t.CaBatch, t.HiBatch, {Ctrl(Qt::Key_B)});

    c.MeEdit = MakeMenu(bar, "MeEdit", t.CaEdit, t.HiEdit);
    c.PopupMenu = new QMenu(this);
    c.PopupMenu->setObjectName("PopupMenu");
    c.PopupMenu->setToolTipsVisible(true);
    struct TViewItem {
        QAction** item;
        QAction** popupItem;
        const char* name;
        const char* popupName;
        const std::string* caption;
        const std::string* hint;
        QList<QKeySequence> keys;
    };
    const TViewItem viewItems[] = {
        {&c.MeLupHorPlus, &c.MeLupHorPlusP, "MeLupHorPlus", "MeLupHorPlusP", &t.CaLupHorPlus, &t.HiLupHorPlus, {Ctrl(Qt::Key_Right)}},
        {&c.MeLupHorMinus, &c.MeLupHorMinusP, "MeLupHorMinus", "MeLupHorMinusP", &t.CaLupHorMinus, &t.HiLupHorMinus, {Ctrl(Qt::Key_Left)}},
        {&c.MeLupHor, &c.MeLupHorP, "MeLupHor", "MeLupHorP", &t.CaLupHor, &t.HiLupHor, {}},
        {&c.MeLupVerPlus, &c.MeLupVerPlusP, "MeLupVerPlus", "MeLupVerPlusP", &t.CaLupVerPlus, &t.HiLupVerPlus, {Ctrl(Qt::Key_Up)}},
        {&c.MeLupVerMinus, &c.MeLupVerMinusP, "MeLupVerMinus", "MeLupVerMinusP", &t.CaLupVerMinus, &t.HiLupVerMinus, {Ctrl(Qt::Key_Down)}},
        {&c.MeLupVer, &c.MeLupVerP, "MeLupVer", "MeLupVerP", &t.CaLupVer, &t.HiLupVer, {}},
        {&c.MeDelete, &c.MeDeleteP, "MeDelete", "MeDeleteP", &t.CaDel, &t.HiDel, {Ctrl(Qt::Key_Delete)}},
    };
    for (const auto& item : viewItems) {
        if (item.item == &c.MeDelete) {
            c.MeEdit->addSeparator();
            c.PopupMenu->addSeparator();
        }
        *item.item = MakeAction(this, c.MeEdit, item.name, *item.caption, *item.hint, item.keys);
        *item.popupItem = MakeAction(this, c.PopupMenu, item.popupName, *item.caption, *item.hint);
    }

    c.MeFilter = MakeMenu(bar, "MeFilter", t.CaFilter, t.HiFilter);
    c.MeRemNoise = MakeAction(this, c.MeFilter, "MeRemNoise", t.CaRemNoise, t.HiRemNoise, {Ctrl(Qt::Key_H)});
    c.MeRemPeek = MakeAction(this, c.MeFilter, "MeRemPeek", t.CaRemPeek, t.HiRemPeek, {Ctrl(Qt::Key_F)});
    c.MeNormalize = MakeAction(this, c.MeFilter, "MeNormalize", t.CaNormalize, t.HiNormalize, {Ctrl(Qt::Key_N)});
    c.MeRemaster = MakeAction(this, c.MeFilter, "MeRemaster", t.CaRemaster, t.HiRemaster,
                              {Ctrl(Qt::Key_Return), Ctrl(Qt::Key_Enter)});
    c.MeDetect = MakeAction(this, c.MeFilter, "MeDetect", t.CaDetekt, t.HiDetekt, {Ctrl(Qt::Key_D)});

    c.MeHelp = MakeMenu(bar, "MeHelp", t.CaHelp, std::string());
    c.MeTopic = MakeAction(this, c.MeHelp, "MeTopic", t.CaTopic, t.HiTopic, {QKeySequence(Qt::Key_F1)});
    c.MeAbout = MakeAction(this, c.MeHelp, "MeAbout", t.CaAbout, t.HiAbout,
                           {QKeySequence(Qt::SHIFT | Qt::Key_F1)});
}

void TRemastering::SetPanel(int panel, const std::string& text) {
    QLabel* label = c_->StatusPanels[static_cast<std::size_t>(panel)];
    label->setText(Q(text));
    label->setToolTip(Q(text));
}

}  // namespace sv
