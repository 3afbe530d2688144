#include <gtest/gtest.h>

#include "timbre/Timbres.h"
#include "view/RasterCanvas.h"
#include "view/TargetSpectrumDisplay.h"
#include "view/WaveformRenderer.h"

namespace sv {
namespace {

constexpr int W = 160, H = 62;

struct Display {
    BinSpectrum target{}, flat{};
    PassFilterSettings pass;
    Display() {
        BandsToSpectrum(BuiltInTable(BuiltInTimbre::Clear), target);
        flat = target;
    }
    RasterCanvas Draw() const {
        RasterCanvas canvas(W, H, RgbColour{1, 2, 3});
        DrawTargetSpectrum(canvas, W, H, target, flat, pass);
        return canvas;
    }
};

// The first row of column x painted teal, scanning down from the top; H when none.
int AreaTop(const RasterCanvas& canvas, int x) {
    for (int y = 0; y < H; ++y)
        if (canvas.Pixel(x, y) == colours::SpectrumArea) return y;
    return H;
}

constexpr int GridColumns[] = {22, 45, 71, 94, 120, 143, 158};
constexpr int GridRows[] = {27, 41, 13, 55};

bool IsGridColumn(int x) {
    for (int g : GridColumns)
        if (g == x) return true;
    return false;
}

TEST(TargetSpectrumDisplay, ClearWithDefaultsIsFlatOnTheZeroLine) {
    const RasterCanvas canvas = Display().Draw();
    for (int x = 2; x <= 157; ++x) {
        if (IsGridColumn(x)) continue;
        SCOPED_TRACE(x);
        EXPECT_EQ(AreaTop(canvas, x), 28);
        EXPECT_EQ(canvas.Pixel(x, 60), colours::SpectrumArea);
        EXPECT_EQ(canvas.Pixel(x, 61), colours::Background);
        EXPECT_EQ(canvas.Pixel(x, 26), colours::Background);
    }
    // Column 1 repeats the bins below 12 Hz, lowered by the 5 Hz high-pass.
    EXPECT_EQ(AreaTop(canvas, 1), 38);
    EXPECT_EQ(canvas.Pixel(1, 37), colours::Background);
    // Neither column 0 nor column W - 1 carries the area.
    EXPECT_EQ(AreaTop(canvas, 0), H);
    EXPECT_EQ(AreaTop(canvas, W - 1), H);
}

TEST(TargetSpectrumDisplay, GridLinesAndLabels) {
    const RasterCanvas canvas = Display().Draw();
    for (int x : GridColumns) {
        SCOPED_TRACE(x);
        EXPECT_EQ(canvas.Pixel(x, 8), colours::SpectrumGrid);
        EXPECT_EQ(canvas.Pixel(x, H - 2), colours::SpectrumGrid);
        EXPECT_NE(canvas.Pixel(x, 7), colours::SpectrumGrid);
        EXPECT_NE(canvas.Pixel(x, H - 1), colours::SpectrumGrid);
    }
    for (int y : GridRows) {
        SCOPED_TRACE(y);
        EXPECT_EQ(canvas.Pixel(0, y), colours::SpectrumGrid);
        EXPECT_EQ(canvas.Pixel(W - 3, y), colours::SpectrumGrid);
        EXPECT_NE(canvas.Pixel(W - 1, y), colours::SpectrumGrid);
    }
    const std::vector<std::pair<std::string, std::pair<int, int>>> labels = {
        {"33Hz", {13, 0}},    {"100Hz", {34, 0}}, {"330Hz", {60, 0}}, {"1kHz", {85, 0}},
        {"3.3kHz", {106, 0}}, {"10k", {136, 0}},  {"20", {149, 0}},   {"0dB", {0, 19}},
        {"-12dB", {0, 33}},   {"+12dB", {0, 5}},  {"-24dB", {0, 47}},
    };
    const auto& texts = canvas.Texts();
    ASSERT_EQ(texts.size(), labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(texts[i].text, labels[i].first);
        EXPECT_EQ(std::make_pair(texts[i].x, texts[i].y), labels[i].second) << texts[i].text;
        EXPECT_EQ(texts[i].font, "Small Fonts");
        EXPECT_EQ(texts[i].pointSize, 5);
        EXPECT_EQ(texts[i].colour, colours::SpectrumGrid);
    }
}

TEST(TargetSpectrumDisplay, OnlyTheShapeRelativeToTheMeanIsShown) {
    Display clear;
    Display doubled;
    BandTable twos;
    twos.fill(2.0f);
    BandsToSpectrum(twos, doubled.target);
    const RasterCanvas a = clear.Draw(), b = doubled.Draw();
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) ASSERT_EQ(a.Pixel(x, y), b.Pixel(x, y)) << x << "," << y;
}

TEST(TargetSpectrumDisplay, SteepHighPassRaisesTheFlatPartAboveTheBox) {
    Display display;
    display.pass.highPassOn = true;
    display.pass.highPassHz = 250;
    display.pass.highPassOrder = 6;
    const RasterCanvas canvas = display.Draw();
    EXPECT_EQ(AreaTop(canvas, 100), 0);
    EXPECT_EQ(canvas.Pixel(100, 0), colours::SpectrumArea);
    EXPECT_EQ(AreaTop(canvas, 5),
              H - 2);  // the left end lies below the box: only the stroke start shows
    EXPECT_EQ(canvas.Pixel(22, 8), colours::SpectrumGrid);  // grid still on top
}

TEST(TargetSpectrumDisplay, ZeroOrNegativeValuesNeverBreakTheDrawing) {
    Display silent;
    silent.target.fill(0.0f);
    const RasterCanvas empty = silent.Draw();
    for (int x = 1; x < W - 1; ++x) ASSERT_EQ(AreaTop(empty, x), H) << x;
    EXPECT_EQ(empty.Pixel(22, 8), colours::SpectrumGrid);

    // Zeros in some bins are left out; the rest still shows the flat Clear picture.
    Display holes;
    for (int k = 3000; k < 3100; ++k) holes.target[k] = holes.target[16384 - k] = 0.0f;
    holes.flat[5000] = -1.0f;
    const RasterCanvas withHoles = holes.Draw();
    EXPECT_EQ(AreaTop(withHoles, 130), 28);
}

}  // namespace
}  // namespace sv
