// The spectrum picture, pixel by pixel, its pixel font and its PNG file.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "picture/PixelFont.h"
#include "picture/PngFile.h"
#include "picture/RasterCanvas.h"
#include "picture/SpectrumPicture.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

constexpr int W = 300, H = 110;
constexpr RgbColour Area{42, 147, 128}, Background{0, 40, 0}, Grid{192, 220, 192};

// Flat curves: the spectrum and target show on 0 dB whatever their level, the gain at its own.
TEST(SpectrumPicture, CurvesLieWhereTheirLevelsSay) {
    auto spectrum = std::make_unique<BinSpectrum>(), target = std::make_unique<BinSpectrum>(),
         gain = std::make_unique<BinSpectrum>(), after = std::make_unique<BinSpectrum>();
    spectrum->fill(1000.0f);
    target->fill(3.0f);
    gain->fill(0.25f);     // -12.04 dB
    after->fill(4000.0f);  // +12.04 dB above the spectrum before
    struct Case {
        bool withAfter;
        const char* firstWord;
    };
    for (const Case c : {Case{false, "spectrum"}, Case{true, "before"}}) {
        RasterCanvas canvas(W, H, RgbColour{1, 2, 3});
        SpectrumPictureCurves curves;
        curves.SampleRate = 48000;
        curves.Spectrum = spectrum.get();
        curves.Target = target.get();
        curves.Gains = {gain.get(), nullptr};
        curves.After = c.withAfter ? after.get() : nullptr;
        DrawSpectrumPicture(canvas, W, H, curves);
        const int zero = PictureRow(0, H), minus12 = PictureRow(-12.04, H),
                  plus12 = PictureRow(12.04, H);
        EXPECT_EQ(zero, 10 + 33);  // 98 rows for 72 dB
        for (const int x : {60, 150, 250}) {
            SCOPED_TRACE(x);
            EXPECT_EQ(canvas.Pixel(x, zero), colours::PictureTarget);
            EXPECT_EQ(canvas.Pixel(x, zero + 1), Area);
            EXPECT_EQ(canvas.Pixel(x, H - 2), Area);
            EXPECT_EQ(canvas.Pixel(x, H - 1), Background);
            EXPECT_EQ(canvas.Pixel(x, minus12), colours::PictureGain);
            // +12 dB lies on the grid line.
            EXPECT_EQ(canvas.Pixel(x, plus12), c.withAfter ? colours::PictureAfter : Grid);
        }
        // The legend is written from its right end.
        const auto& texts = canvas.Texts();
        EXPECT_EQ(texts.back().text, c.firstWord);
        EXPECT_EQ(texts[texts.size() - (c.withAfter ? 4 : 3)].text, c.withAfter ? "after" : "gain");
    }
}

TEST(SpectrumPicture, GridFollowsTheTargetDisplaysLabels) {
    RasterCanvas canvas(W, H);
    auto spectrum = std::make_unique<BinSpectrum>();
    spectrum->fill(1.0f);
    DrawSpectrumPicture(canvas, W, H, {.SampleRate = 22050, .Spectrum = spectrum.get()});
    std::vector<std::string> labels;
    for (const auto& text : canvas.Texts()) labels.push_back(text.text);
    // 20 kHz lies above the top of a 22050 Hz recording.
    const std::vector<std::string> expected = {"33Hz",   "100Hz", "330Hz", "1kHz",
                                               "3.3kHz", "10k",   "+12dB", "0dB",
                                               "-12dB",  "-24dB", "-36dB", "spectrum"};
    EXPECT_EQ(labels, expected);
    const int x = PictureColumn(1000, W, 22050);
    EXPECT_EQ(canvas.Pixel(x, 20), Grid);
    EXPECT_EQ(canvas.Pixel(x, PictureLabelRows - 3), Background);
}

TEST(SpectrumPicture, PixelFontAndPngFile) {
    RasterCanvas canvas(12, 8);
    canvas.SetFont("pixel", 7, RgbColour{255, 255, 255});
    canvas.TextOut(1, 1, "1z");
    RenderRecordedTexts(canvas, 1);
    // "1" is three columns wide, "z" a small letter five wide, one column after it.
    const char* expected[] = {"............", "..#.........", ".##.........", "..#..#####..",
                              "..#.....#...", "..#....#....", "..#...#.....", ".###.#####.."};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(canvas.Pixel(x, y) == (RgbColour{255, 255, 255}), expected[y][x] == '#')
                << x << "," << y;
    test::TempDir dir;
    SavePng(canvas, dir.path() / "p.png");
    std::ifstream in(dir.path() / "p.png", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    EXPECT_EQ(bytes[19], 12);  // width, big-endian
    EXPECT_EQ(bytes[23], 8);   // height
}

}  // namespace
}  // namespace sv
