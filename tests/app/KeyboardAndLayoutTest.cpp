// The main window from the keyboard and at its sizes.
#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include "AppTestSupport.h"

using namespace sv;
using namespace sv::test;

class KeyboardAndLayoutTest final : public QObject {
    Q_OBJECT

  private slots:
    void tabOrderAndPanelsAtTheDefaultAndMaximisedSizes() {
        TempDir dir;
        WindowRig rig(dir);
        rig.files.openNames = {MakeWav(dir, "song.wav", 2).string()};
        rig->Documents().Open();
        rig.get<QLabel>("StatusBarPanel5")->setText("Loudness: -14.2 LUFS  LRA 5.1 LU  TP -1 dBTP");
        rig->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        // The toolbar, the waveform, the right-hand column, then the groups below left to right;
        // Tab stops once in a group of radio buttons (the arrow keys move within it).
        const QStringList expected =
            QStringLiteral(
                "openButton saveButton remasterButton batchButton detectButton removeNoiseButton "
                "fitPeaksButton normalizeButton compareButton waveView horizontalZoomInButton "
                "horizontalZoomOutButton horizontalZoomResetButton verticalZoomInButton "
                "verticalZoomOutButton verticalZoomResetButton deleteBlockButton bandsSpin "
                "limitSpin "
                "infoTabs bigRemasterButton playButton pauseButton stopButton toStartButton "
                "rewindButton fastForwardButton channelModeSlider bothChannelsRadio "
                "bandLevelSlider "
                "averageLevelRadio removeNoiseCheck noisePartsSpin noisePercentSpin "
                "smoothNoiseCheck "
                "noiseSecondsSpin fitPeaksCheck peakCountSpin peakBlockSizeCombo levellingCheck "
                "normalizeCheck normalizeSpin normalizeUnitCombo perChannelCheck clearTimbreRadio "
                "storedTimbreCombo saveTimbreButton deleteTimbreButton openButton")
                .split(' ');
        rig.get<QWidget>("openButton")->setFocus(Qt::TabFocusReason);
        QStringList walked;
        for (int step = 0; step < expected.size(); ++step) {
            QWidget* w = QApplication::focusWidget();
            while (w->objectName().startsWith("qt_")) w = w->parentWidget();  // a spin box's edit
            walked << w->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QVERIFY2(walked == expected, qPrintable(walked.join(' ')));
        // Any other enabled control that takes Tab is a radio button beside one Tab reaches.
        for (QWidget* w : rig->findChildren<QWidget*>()) {
            if (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() ||
                !w->isVisibleTo(rig.window.get()) || w->objectName().isEmpty() ||
                w->objectName().startsWith("qt_") || walked.contains(w->objectName()))
                continue;
            const auto group = w->parentWidget()->findChildren<QRadioButton*>();
            QVERIFY2(qobject_cast<QRadioButton*>(w) &&
                         std::any_of(group.begin(), group.end(),
                                     [&](auto* r) { return walked.contains(r->objectName()); }),
                     qPrintable(w->objectName()));
        }

        auto* target = rig.get<QWidget>("targetView");
        const int targetGrowth = rig->height() - target->height();
        for (const QSize size : {rig->minimumSize(), QSize(1600, 1000)}) {
            rig->resize(size);
            QTRY_COMPARE(rig->size(), size);
            // The target display takes the height the window gains; the button stays a button.
            QCOMPARE(rig->height() - target->height(), targetGrowth);
            QVERIFY(rig.get<QWidget>("bigRemasterButton")->height() <= 32);
            // Status panels show their figures whole side by side; the loudness shows its LUFS.
            int right = 0;
            for (int i = 0; i < 6; ++i) {
                auto* panel =
                    rig.get<QLabel>(qPrintable(QStringLiteral("StatusBarPanel%1").arg(i)));
                const int left = panel->mapTo(rig.window.get(), QPoint()).x();
                QVERIFY(left >= right && left + panel->width() <= rig->width());
                right = left + panel->width();
                const QString text = panel->text();
                const QString whole = i < 5 ? text : text.section("LUFS", 0, 0) + "LUFS";
                QVERIFY2(
                    panel->contentsRect().width() > panel->fontMetrics().horizontalAdvance(whole),
                    qPrintable(whole));
            }
        }
    }
};

QTEST_MAIN(KeyboardAndLayoutTest)
#include "KeyboardAndLayoutTest.moc"
