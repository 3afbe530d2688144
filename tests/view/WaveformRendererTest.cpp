#include <gtest/gtest.h>

#include "support/TestFiles.h"
#include "view/RasterCanvas.h"
#include "view/WaveformRenderer.h"

namespace sv {
namespace {

using test::MakeDocument;
using test::MakeEnv;
using test::TempDir;

constexpr std::int32_t FullPositive = 32767 * 256;
constexpr RgbColour Sentinel{1, 2, 3};

struct Scene {
    TempDir dir;
    ViewPosition position;
    WaveOverview overview{position};
    std::unique_ptr<Wave> wave;
    WaveView view;
    WaveformRenderer renderer{overview};

    // A document whose values are value(frame, channel), its overview built over the whole span.
    Scene(int channels, std::int64_t frames,
          const std::function<std::int32_t(std::int64_t, int)>& value) {
        wave = MakeDocument(MakeEnv(dir.path()), channels, 44100, frames, value);
        overview.Build(*wave, 0, frames);
    }
    RasterCanvas Draw(int width, int height) {
        RasterCanvas canvas(width, height, Sentinel);
        bool redraw = true;
        renderer.DrawWave(canvas, width, redraw, *wave, height, view);
        EXPECT_FALSE(redraw);
        return canvas;
    }
};

TEST(WaveformRenderer, StereoLanesCentreLinesAndFullScale) {
    Scene scene(2, 1200,
                [](std::int64_t, int c) { return c == 0 ? FullPositive : -FullPositive / 2; });
    scene.view.BlockStart = scene.view.BlockEnd = 1199;  // keep the block away from column 100
    const RasterCanvas canvas = scene.Draw(480, 284);
    const int x = 100;
    // Upper lane: rows 0..141, centre 71; full scale reaches row 0.
    EXPECT_EQ(canvas.Pixel(x, 0), colours::Wave0);
    EXPECT_EQ(canvas.Pixel(x, 70), colours::Wave0);
    EXPECT_EQ(canvas.Pixel(x, 71), colours::CentreLine);
    EXPECT_EQ(canvas.Pixel(x, 72), colours::Background);
    EXPECT_EQ(canvas.Pixel(x, 141), colours::Background);
    // Lower lane: rows 142..283, centre 213; half scale down reaches 213 + 35.
    EXPECT_EQ(canvas.Pixel(x, 142), colours::Background);
    EXPECT_EQ(canvas.Pixel(x, 212), colours::Background);
    EXPECT_EQ(canvas.Pixel(x, 213), colours::CentreLine);
    EXPECT_EQ(canvas.Pixel(x, 248), colours::Wave1);
    EXPECT_EQ(canvas.Pixel(x, 249), colours::Background);
    EXPECT_EQ(canvas.Pixel(x, 283), colours::Background);
}

TEST(WaveformRenderer, VerticalZoomCutsAtTheLaneEdge) {
    struct TableCase {
        int verZoom;
        std::int32_t value;
        int topRow;  // first waveform row of the 100-row mono lane (centre 50)
    };
    for (const TableCase& c :
         {TableCase{1, FullPositive, 0}, TableCase{1, 1 << 22, 25}, TableCase{2, 1 << 22, 0},
          TableCase{2, FullPositive, 0}, TableCase{4, -FullPositive, 50}}) {
        SCOPED_TRACE(c.verZoom);
        Scene scene(1, 1200, [&](std::int64_t, int) { return c.value; });
        scene.view.VerticalZoom = c.verZoom;
        scene.view.BlockStart = scene.view.BlockEnd = 1199;
        const RasterCanvas canvas = scene.Draw(300, 100);
        if (c.topRow > 0) {
            EXPECT_EQ(canvas.Pixel(10, c.topRow - 1), colours::Background);
        }
        EXPECT_EQ(canvas.Pixel(10, c.topRow == 50 ? 51 : c.topRow), colours::Wave0);
        // Cut at the edge, never wrapped to the other side.
        EXPECT_EQ(canvas.Pixel(10, c.value > 0 ? 51 : 49), colours::Background);
        EXPECT_EQ(canvas.Pixel(10, 99), c.value > 0 ? colours::Background : colours::Wave0);
    }
    EXPECT_EQ(WaveformRenderer::ClampPixel(10, 2.5), 2);
    EXPECT_EQ(WaveformRenderer::ClampPixel(10, 3.5), 4);
    EXPECT_EQ(WaveformRenderer::ClampPixel(10, -99), -10);
}

TEST(WaveformRenderer, EmptyBlockShowsItsMarkerAndBlockColumns) {
    Scene scene(1, 1199, [](std::int64_t, int) { return 1 << 20; });
    scene.view.BlockStart = scene.view.BlockEnd = 600;
    const int width = 1199;  // one pixel column per overview column
    const RasterCanvas canvas = scene.Draw(width, 40);
    const int column =
        static_cast<int>(WaveformRenderer::OverviewColumnOf(600, *scene.wave, scene.view));
    EXPECT_EQ(canvas.Pixel(column, 0), colours::BlockMarker);
    EXPECT_EQ(canvas.Pixel(column, 39), colours::BlockMarker);
    EXPECT_EQ(canvas.Pixel(column, 20), colours::CentreLine);
    EXPECT_EQ(canvas.Pixel(column - 1, 0), colours::Background);
    EXPECT_EQ(canvas.Pixel(column + 1, 0), colours::Background);

    // A real block: its columns get the block colours, and after the marker column has been
    // drawn red the cache still holds its own colours.
    scene.view.BlockStart = 100;
    scene.view.BlockEnd = 200;
    const RasterCanvas block = scene.Draw(width, 40);
    EXPECT_EQ(block.Pixel(150, 0), colours::BlockBackground);
    EXPECT_EQ(block.Pixel(150, 19), colours::BlockWave0);
    EXPECT_EQ(block.Pixel(250, 0), colours::Background);
    scene.view.BlockStart = 150;  // the marker moves; the cache is not rebuilt
    RasterCanvas again(width, 40, Sentinel);
    bool redraw = false;
    scene.renderer.DrawWave(again, width, redraw, *scene.wave, 40, scene.view);
    EXPECT_EQ(again.Pixel(100, 0), colours::BlockBackground);
    EXPECT_EQ(again.Pixel(150, 0), colours::BlockMarker);
}

TEST(WaveformRenderer, LongDocumentColumnMapping) {
    TempDir dir;
    const auto wave = Wave::CreateEmpty(1, 1, 44100, 16, 1200000, MakeEnv(dir.path()));
    WaveView view;
    view.BlockStart = view.BlockEnd = 600000;
    view.PlayPosition = 600000;
    EXPECT_EQ(WaveformRenderer::OverviewColumnOf(600000, *wave, view), 600);
    const ViewPosition position;
    const WaveOverview overview{position};
    WaveformRenderer renderer{overview};
    RasterCanvas canvas(480, 100, Sentinel);
    bool redraw = true;
    renderer.DrawWave(canvas, 480, redraw, *wave, 100, view);
    EXPECT_EQ(canvas.Pixel(240, 0), colours::BlockMarker);
    renderer.DrawCursors(canvas, 480, *wave, 100, view);
    EXPECT_EQ(renderer.CursorX(), 240);
    EXPECT_EQ(renderer.MarkX(), 240);
    EXPECT_EQ(canvas.Pixel(240, 0), colours::BlockMarker);  // drawn after the cursor

    // Outside the visible span both lie at column W.
    view.ViewStart = 700000;
    view.HorizontalZoom = 4;
    renderer.DrawCursors(canvas, 480, *wave, 100, view);
    EXPECT_EQ(renderer.CursorX(), 480);
    EXPECT_EQ(renderer.MarkX(), 480);
}

TEST(WaveformRenderer, CursorMovesRepairTheColumnsTheyLeave) {
    Scene scene(2, 2400, [](std::int64_t f, int c) {
        return static_cast<std::int32_t>((f * 997 + c * 31) % 4000000);
    });
    scene.view.BlockStart = scene.view.BlockEnd = 1200;
    const int width = 480, height = 200;
    const RasterCanvas reference = scene.Draw(width, height);

    RasterCanvas canvas = scene.Draw(width, height);
    scene.view.PlayPosition = 300;
    scene.renderer.DrawCursors(canvas, width, *scene.wave, height, scene.view);
    const int first = scene.renderer.CursorX();
    EXPECT_EQ(canvas.Pixel(first, 0), colours::PlayCursor);
    scene.view.PlayPosition = 900;
    scene.renderer.DrawCursors(canvas, width, *scene.wave, height, scene.view);
    const int second = scene.renderer.CursorX();
    ASSERT_NE(first, second);
    for (int y = 0; y < height; ++y) {
        ASSERT_EQ(canvas.Pixel(first, y), reference.Pixel(first, y)) << y;
        ASSERT_EQ(canvas.Pixel(0, y), reference.Pixel(0, y)) << y;  // where the marker was before
    }
    EXPECT_EQ(canvas.Pixel(second, height - 2), colours::PlayCursor);
    EXPECT_EQ(canvas.Pixel(scene.renderer.MarkX(), height - 2), colours::BlockMarker);

    // The cursor passes over the marker, then leaves it: the marker is drawn again.
    scene.view.PlayPosition = 1200;
    scene.renderer.DrawCursors(canvas, width, *scene.wave, height, scene.view);
    scene.view.PlayPosition = 1500;
    scene.renderer.DrawCursors(canvas, width, *scene.wave, height, scene.view);
    EXPECT_EQ(canvas.Pixel(scene.renderer.MarkX(), 5), colours::BlockMarker);
}

TEST(WaveformRenderer, NothingIsDrawnWithoutSamples) {
    TempDir dir;
    const auto wave = Wave::CreateEmpty(1, 2, 44100, 16, 0, MakeEnv(dir.path()));
    const ViewPosition position;
    const WaveOverview overview{position};
    WaveformRenderer renderer{overview};
    RasterCanvas canvas(50, 50, Sentinel);
    bool redraw = true;
    renderer.DrawWave(canvas, 50, redraw, *wave, 50, {});
    renderer.DrawCursors(canvas, 50, *wave, 50, {});
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_EQ(canvas.Pixel(x, y), Sentinel);
}

// Views wider than the overview, and documents with more than two lanes, are drawn over their
// whole width: every pixel column shows waveform in every lane.
TEST(WaveformRenderer, WideViewsAndManyChannelsHaveNoUndrawnColumn) {
    struct TableCase {
        int channels;
        int width;
    };
    for (const TableCase& c : {TableCase{2, 1200}, TableCase{2, 1920}, TableCase{1, 2400},
                               TableCase{1, 3840}, TableCase{5, 1500}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " x " << c.width);
        Scene scene(c.channels, 4800, [](std::int64_t, int) { return 1 << 21; });
        scene.view.BlockStart = scene.view.BlockEnd = 4800;
        const int height = 40 * c.channels;
        const RasterCanvas canvas = scene.Draw(c.width, height);
        for (int x = 0; x < c.width; ++x)
            for (int ch = 0; ch < c.channels; ++ch) {
                const RgbColour above = canvas.Pixel(x, ch * 40 + 19);
                ASSERT_TRUE(above == colours::Wave0 || above == colours::Wave1)
                    << "column " << x << " lane " << ch;
            }
        EXPECT_GE(scene.renderer.CacheEntries(), static_cast<std::size_t>(c.width * c.channels));
    }
}

}  // namespace
}  // namespace sv
