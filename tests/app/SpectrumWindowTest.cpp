// The spectrum window: the same pixels as the core's picture, redrawn when the settings or the
// target change, and before and after a processing command.
#include <QEvent>
#include <QImage>
#include <QTest>
#include <cmath>

#include "app/SpectrumWindow.h"
#include "picture/RasterCanvas.h"
#include "picture/SpectrumPicture.h"
#include "timbre/Timbres.h"

using namespace sv;

namespace {

std::shared_ptr<LongTermSpectrum> MadeSpectrum(int channels, float tilt) {
    auto spectrum = std::make_shared<LongTermSpectrum>();
    spectrum->Hops = 10;
    spectrum->SampleRate = 44100;
    spectrum->Channels = channels;
    for (int c = 0; c < 2; ++c)
        for (int k = 1; k < SpectrumBins; ++k) {
            const int bin = k <= SpectrumBins / 2 ? k : SpectrumBins - k;
            spectrum->Sums[c][k] = 1e6f / std::pow(static_cast<float>(bin), tilt) * (1 + c);
            spectrum->Peaks[c][k] = 3 * spectrum->Sums[c][k] / 22;
        }
    return spectrum;
}

// Where no text lies: below the label rows, right of the level labels, left of the legend.
bool SameOutsideTexts(const QImage& shown, const RasterCanvas& expected) {
    for (int y = 25; y < expected.Height(); ++y)
        for (int x = 50; x < expected.Width() / 2; ++x) {
            const RgbColour c = expected.Pixel(x, y);
            if (shown.pixel(x, y) != qRgb(c.r, c.g, c.b)) {
                qWarning("pixel %d,%d differs", x, y);
                return false;
            }
        }
    return true;
}

struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

}  // namespace

class SpectrumWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void showsThePictureOfTheCurrentSettingsAndFollowsThem() {
        RemasterSettings settings;
        auto target = std::make_unique<BinSpectrum>();
        BandsToSpectrum(BuiltInTable(BuiltInTimbre::Pop), *target);
        // No document to follow: the spectra are handed in below.
        SpectrumWindow window(
            nullptr,
            {[&] { return settings; }, [&]() -> const BinSpectrum& { return *target; }, {}, {}});
        const auto before = MadeSpectrum(2, 0.5f), after = MadeSpectrum(2, 0.2f);
        window.Show(before);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* view = window.findChild<QWidget*>("spectrumView");
        QVERIFY(view);

        // What the core draws for the same figures.
        auto expected = [&](bool change) {
            const auto preview = std::make_unique<LevellingPreview>(
                PreviewLevelling(change ? *after : *before, *target, settings));
            auto shown = std::make_unique<std::array<BinSpectrum, 2>>();
            auto now = std::make_unique<BinSpectrum>(ChannelMean(preview->Measured, 2));
            MixLongTermSpectrum(*before, settings.BandLevelMode, (*shown)[0], (*shown)[1]);
            auto old = std::make_unique<BinSpectrum>(ChannelMean(*shown, 2));
            RasterCanvas canvas(view->width(), view->height());
            SpectrumPictureCurves curves;
            curves.Spectrum = change ? old.get() : now.get();
            curves.After = change ? now.get() : nullptr;
            curves.Target = target.get();
            curves.Gains = {&preview->Gains[0], &preview->Gains[1]};
            DrawSpectrumPicture(canvas, view->width(), view->height(), curves);
            return canvas;
        };
        QVERIFY(SameOutsideTexts(view->grab().toImage(), expected(false)));

        // Settings and target are followed without being told.
        struct Change {
            std::function<void()> apply;
        };
        const Change changes[] = {
            {[&] { settings.Bands = 5; }},
            {[&] {
                settings.HighPass = true;
                settings.HighPassHz = 250;
            }},
            {[&] { settings.BandLevelMode = BandLevelMode::Peak; }},
            {[&] { BandsToSpectrum(BuiltInTable(BuiltInTimbre::Drum), *target); }},
        };
        PaintCounter paints;
        view->installEventFilter(&paints);
        QTest::qWait(500);
        QCOMPARE(paints.count, 0);  // nothing changed: nothing drawn
        for (const Change& change : changes) {
            const int count = paints.count;
            change.apply();
            QTRY_VERIFY_WITH_TIMEOUT(paints.count > count, 2000);
            QVERIFY(SameOutsideTexts(view->grab().toImage(), expected(false)));
        }

        window.ShowChange(before, after);
        QVERIFY(SameOutsideTexts(view->grab().toImage(), expected(true)));
    }
};

QTEST_MAIN(SpectrumWindowTest)
#include "SpectrumWindowTest.moc"
