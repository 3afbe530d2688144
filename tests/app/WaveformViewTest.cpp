// The waveform view in the main window: zoom and scroll bars, mouse selection, block labels,
// block delete, wide windows, cursor refresh and the target display.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "AppTestSupport.h"
#include "base/Time.h"
#include "text/Language.h"
#include "view/TargetSpectrumDisplay.h"
#include "view/WaveformRenderer.h"

using namespace sv;
using namespace sv::test;

namespace {

QRgb Rgb(RgbColour c) { return qRgb(c.r, c.g, c.b); }

QString LabelText(WindowRig& rig, const char* name) { return rig.get<QLabel>(name)->text(); }

// A window showing a stereo document.
struct ShownDocument {
    TempDir dir;
    WindowRig rig{dir};
    QWidget* view = nullptr;
    ShownDocument() {
        rig.files.openNames = {MakeWav(dir, "a.wav", 2).string()};
        rig->Documents().Open();
        rig->show();
        view = rig.get<QWidget>("waveView");
        QCoreApplication::processEvents();
    }
    std::int64_t Frames() { return rig.state().Document->FrameCount(); }
};

}  // namespace

class WaveformViewTest final : public QObject {
    Q_OBJECT

  private slots:
    void zoomCommandsResizeTheThumbAroundItsCentre() {
        ShownDocument doc;
        auto& rig = doc.rig;
        const int width = doc.view->width();
        rig.get<QToolButton>("horizontalZoomInButton")->click();
        const ScrollBarState& bar = rig->View().HorizontalBar();
        QCOMPARE(bar.PageSize, 16383);
        QCOMPARE(bar.LargeChange, 8191);
        QCOMPARE(bar.Position, 8193);
        QCOMPARE(bar.SmallChange, qRound(32766.0 / width / 2 + 0.5));
        auto* widget = rig.get<QScrollBar>("waveHorizontalScroll");
        QCOMPARE(widget->pageStep(), 16383);
        QCOMPARE(widget->value(), 8193);
        const std::int64_t n = doc.Frames();
        QCOMPARE(rig.shown().HorizontalZoom, 2);
        QCOMPARE(rig.shown().ViewStart, std::llround(n * 8192.0 / 32766.0));

        // The user drags the thumb to the end: the last n / 2 frames are shown.
        widget->setValue(widget->maximum());
        QCOMPARE(rig.shown().ViewStart + n / 2, n);
        // Whole length puts everything back.
        rig.get<QToolButton>("horizontalZoomResetButton")->click();
        QCOMPARE(rig.shown().ViewStart, std::int64_t{0});
        QCOMPARE(widget->value(), 1);

        // Vertical zoom keeps the thumb centred and the shift at 0.
        rig.get<QToolButton>("verticalZoomInButton")->click();
        QCOMPARE(rig.shown().VerticalZoom, 2);
        QCOMPARE(rig.shown().VerticalShift, 0);
    }

    void clickDragAndShiftSelectWithLabelsFollowing() {
        ShownDocument doc;
        auto& rig = doc.rig;
        const std::int64_t n = doc.Frames();
        const int rate = rig.state().Document->SampleRate();
        QTest::mouseClick(doc.view, Qt::LeftButton, {}, QPoint(0, 10));
        QCOMPARE(LabelText(rig, "lengthSamplesValue"), QString::number(n));
        QCOMPARE(LabelText(rig, "blockStartSamplesValue"), QStringLiteral("0"));
        QCOMPARE(LabelText(rig, "blockEndSamplesValue"), QStringLiteral("0"));
        QCOMPARE(LabelText(rig, "blockLengthSamplesValue"), QStringLiteral("0"));
        QCOMPARE(LabelText(rig, "blockStartSecondsValue"),
                 QString::fromStdString(DurationText(0, rate)));

        const int w = doc.view->width();
        QTest::mousePress(doc.view, Qt::LeftButton, {}, QPoint(w / 2, 10));
        QTest::mouseMove(doc.view, QPoint(w + 50, 10));  // past the document's end
        QTest::mouseRelease(doc.view, Qt::LeftButton, {}, QPoint(w + 50, 10));
        const std::int64_t start = rig.shown().BlockStart;
        QCOMPARE(rig.shown().BlockEnd, n);
        QCOMPARE(LabelText(rig, "blockLengthSamplesValue"), QString::number(n - start));
        QCOMPARE(LabelText(rig, "blockLengthSecondsValue"),
                 QString::fromStdString(DurationText(n - start, rate)));

        // Shift-click left of the block moves its start; dragging past the left edge stops at 0.
        QTest::mousePress(doc.view, Qt::LeftButton, Qt::ShiftModifier, QPoint(w / 4, 10));
        QVERIFY(rig.shown().BlockStart < start);
        QTest::mouseMove(doc.view, QPoint(-40, 10));
        QTest::mouseRelease(doc.view, Qt::LeftButton, {}, QPoint(-40, 10));
        QCOMPARE(rig.shown().BlockStart, std::int64_t{0});
        QCOMPARE(rig.shown().BlockEnd, n);
        QVERIFY(!rig->View().Dragging());
    }

    void deletingBlocksShortensOrEmptiesTheDocument() {
        ShownDocument doc;
        auto& rig = doc.rig;
        const std::int64_t n = doc.Frames();
        // An empty block removes nothing but marks the document changed.
        rig->View().Select(100, 100);
        rig.get<QToolButton>("deleteBlockButton")->click();
        QCOMPARE(doc.Frames(), n);
        QCOMPARE(rig.shown().BlockEnd, std::int64_t{0});
        QVERIFY(!rig.state().Flags.DataSaved);

        rig->View().Select(1000, 3000);
        rig.get<QToolButton>("deleteBlockButton")->click();
        rig.wait();  // the undo copy is taken on the worker first
        QCOMPARE(doc.Frames(), n - 2000);
        QCOMPARE(LabelText(rig, "lengthSamplesValue"), QString::number(n - 2000));
        QVERIFY(rig.get<QLabel>("StatusBarPanel0")->text().endsWith(QString::number(n - 2000)));
        // Undo brings the block back and leaves nothing selected.
        rig->View().Select(10, 20);
        rig.get<QAction>("undoAction")->trigger();
        rig.wait();
        QCOMPARE(doc.Frames(), n);
        QCOMPARE(rig.shown().BlockEnd, std::int64_t{0});

        rig->View().Select(0, n);
        rig.get<QToolButton>("deleteBlockButton")->click();
        rig.wait();
        QVERIFY(!rig.state().WaveLoaded);
        QVERIFY(!rig.get<QToolButton>("saveButton")->isEnabled());
        QVERIFY(!rig.get<QToolButton>("deleteBlockButton")->isEnabled());
        QVERIFY(rig.get<QWidget>("waveBackground")->isVisibleTo(rig.window.get()));
    }

    void wideViewsAreDrawnOverTheirWholeWidth() {
        ShownDocument doc;
        doc.rig->resize(2700, 700);
        QCoreApplication::processEvents();
        QVERIFY(doc.view->width() > 2400);
        doc.rig->View().OnPaint();
        const QImage& image = doc.rig->View().Image();
        QCOMPARE(image.width(), doc.view->width());
        const int lane = image.height() / 2;
        for (int x = 0; x < image.width(); ++x) {
            bool wave = false;
            for (int y = 0; y < lane && !wave; ++y)
                wave = image.pixel(x, y) == Rgb(colours::Wave0) ||
                       image.pixel(x, y) == Rgb(colours::BlockWave0);
            if (!wave)
                QVERIFY2(image.pixel(x, 0) == Rgb(colours::BlockMarker),
                         qPrintable(QString::number(x)));
        }
    }

    void refreshingTheCursorsDrawsThePlayPosition() {
        ShownDocument doc;
        doc.rig->View().OnPaint();
        doc.rig->View().SetPlayPosition(doc.Frames() / 2);
        doc.rig->View().RefreshCursors();
        const QImage& image = doc.rig->View().Image();
        const int x = static_cast<int>(600LL * image.width() / 1199);
        QCOMPARE(image.pixel(x, 0), Rgb(colours::PlayCursor));
        QCOMPARE(image.pixel(x, image.height() - 2), Rgb(colours::PlayCursor));
    }

    void targetDisplayFollowsThePassSettings() {
        TempDir dir;
        WindowRig rig(dir);
        rig->show();
        auto* box = rig.get<QWidget>("targetView");
        box->setFixedSize(160, 62);  // the size the pixels below were picked for; it grows
        const QImage clear = box->grab().toImage();
        QCOMPARE(clear.pixel(50, 28), Rgb(colours::SpectrumArea));
        QCOMPARE(clear.pixel(50, 26), Rgb(colours::Background));
        QCOMPARE(clear.pixel(22, 30), Rgb(colours::SpectrumGrid));
        // The pass controls are disabled (levelling unchecked) and still redraw the display.
        rig.get<QCheckBox>("highPassCheck")->setChecked(true);
        rig.get<QSpinBox>("highPassSpin")->setValue(250);
        const QImage steep = box->grab().toImage();
        QCOMPARE(steep.pixel(100, 0), Rgb(colours::SpectrumArea));
    }
};

QTEST_MAIN(WaveformViewTest)
#include "WaveformViewTest.moc"
