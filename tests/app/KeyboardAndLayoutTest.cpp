// The main window from the keyboard and at its sizes.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "AppTestSupport.h"

using namespace sv;
using namespace sv::test;

namespace {

// The named control that holds the focus (a spin box for its line edit).
QString FocusedName(QWidget& window) {
    for (QWidget* w = QApplication::focusWidget(); w && w != &window; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_"))
            return w->objectName();
    return {};
}

}  // namespace

class KeyboardAndLayoutTest final : public QObject {
    Q_OBJECT

  private slots:
    void tabWalksEveryEnabledControlInReadingOrder() {
        TempDir dir;
        WindowRig rig(dir);
        rig.files.openNames = {MakeWav(dir, "song.wav", 2).string()};
        rig->Documents().Open();
        rig->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        rig->activateWindow();
        // The toolbar, the waveform, the right-hand column, then the groups below left to right.
        // Tab stops once in a group of radio buttons; the arrow keys move within it.
        const QStringList expected = {"openButton",
                                      "saveButton",
                                      "remasterButton",
                                      "batchButton",
                                      "detectButton",
                                      "removeNoiseButton",
                                      "fitPeaksButton",
                                      "normalizeButton",
                                      "compareButton",
                                      "waveView",
                                      "horizontalZoomInButton",
                                      "horizontalZoomOutButton",
                                      "horizontalZoomResetButton",
                                      "verticalZoomInButton",
                                      "verticalZoomOutButton",
                                      "verticalZoomResetButton",
                                      "deleteBlockButton",
                                      "bandsSpin",
                                      "limitSpin",
                                      "infoTabs",
                                      "bigRemasterButton",
                                      "playButton",
                                      "pauseButton",
                                      "stopButton",
                                      "toStartButton",
                                      "rewindButton",
                                      "fastForwardButton",
                                      "channelModeSlider",
                                      "bothChannelsRadio",
                                      "bandLevelSlider",
                                      "averageLevelRadio",
                                      "removeNoiseCheck",
                                      "noisePartsSpin",
                                      "noisePercentSpin",
                                      "smoothNoiseCheck",
                                      "noiseSecondsSpin",
                                      "fitPeaksCheck",
                                      "peakCountSpin",
                                      "peakBlockSizeCombo",
                                      "levellingCheck",
                                      "normalizeCheck",
                                      "normalizeSpin",
                                      "normalizeUnitCombo",
                                      "perChannelCheck",
                                      "clearTimbreRadio",
                                      "storedTimbreCombo",
                                      "saveTimbreButton",
                                      "deleteTimbreButton"};
        rig.get<QWidget>("openButton")->setFocus(Qt::TabFocusReason);
        QStringList walked = {FocusedName(*rig.window)};
        for (int step = 0; step < expected.size(); ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << FocusedName(*rig.window);
        }
        // After the last control Tab comes round to the first.
        QVERIFY2(walked == expected + QStringList{expected.front()}, qPrintable(walked.join(' ')));
        // Every other enabled control that takes Tab is a radio button beside one Tab reaches.
        for (QWidget* w : rig->findChildren<QWidget*>()) {
            const bool stop = (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
                              w->isVisibleTo(rig.window.get()) && !w->objectName().isEmpty() &&
                              !w->objectName().startsWith("qt_");
            if (!stop || walked.contains(w->objectName())) continue;
            const auto siblings = w->parentWidget()->findChildren<QRadioButton*>();
            const bool besideOne = qobject_cast<QRadioButton*>(w) &&
                                   std::any_of(siblings.begin(), siblings.end(), [&](auto* r) {
                                       return walked.contains(r->objectName());
                                   });
            QVERIFY2(besideOne, qPrintable(w->objectName()));
        }
    }

    void panelsFitAndTheTargetDisplayGrows_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("default") << QSize();
        QTest::newRow("maximised") << QSize(1600, 1000);
    }
    void panelsFitAndTheTargetDisplayGrows() {
        QFETCH(QSize, size);
        TempDir dir;
        WindowRig rig(dir);
        rig.files.openNames = {MakeWav(dir, "song.wav", 2).string()};
        rig->Documents().Open();
        auto* loudness = rig.get<QLabel>("StatusBarPanel5");
        loudness->setText("Loudness: -14.2 LUFS  LRA 5.1 LU  TP -1.3 dBTP");
        rig->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        auto* target = rig.get<QWidget>("targetView");
        const int targetHeight = target->height();
        const int windowHeight = rig->height();
        if (size.isValid()) rig->resize(size);
        QTRY_COMPARE(rig->size(), size.isValid() ? size : rig->minimumSize());
        // The target display takes the height the window gained; the button stays a button.
        QCOMPARE(target->height() - targetHeight, rig->height() - windowHeight);
        QVERIFY(rig.get<QPushButton>("bigRemasterButton")->height() <= 32);
        // Every status panel shows its figures whole beside the next; the loudness its LUFS.
        int right = 0;
        for (int i = 0; i < 6; ++i) {
            auto* panel = rig.get<QLabel>(qPrintable(QStringLiteral("StatusBarPanel%1").arg(i)));
            const QRect place(panel->mapTo(rig.window.get(), QPoint()), panel->size());
            QVERIFY2(place.left() >= right && place.right() < rig->width(),
                     qPrintable(panel->text()));
            right = place.right() + 1;
            const QString whole =
                i < 5 ? panel->text() : panel->text().section("LUFS", 0, 0) + "LUFS";
            QVERIFY2(panel->contentsRect().width() > panel->fontMetrics().horizontalAdvance(whole),
                     qPrintable(whole));
        }
        QCOMPARE(rig.get<QLabel>("StatusBarPanel4")->text(), QStringLiteral("Name: song.wav"));
    }
};

QTEST_MAIN(KeyboardAndLayoutTest)
#include "KeyboardAndLayoutTest.moc"
