#include <gtest/gtest.h>

#include "view/ViewNavigation.h"

namespace sv {
namespace {

TEST(ViewNavigation, ZoomStepFromAFullBar) {
    ScrollBarState bar;
    ZoomScrollBar(bar, ZoomedFactor(1, ZoomCommand::In), 480);
    EXPECT_EQ(bar.PageSize, 16383);
    EXPECT_EQ(bar.LargeChange, 8191);
    EXPECT_EQ(bar.SmallChange, 35);
    EXPECT_EQ(bar.Position, 8193);       // the middle half
    EXPECT_EQ(VerShiftFor(bar, 16), 0);  // zooming keeps the thumb centred

    int factor = 2;
    for (int i = 0; i < 12; ++i) factor = ZoomedFactor(factor, ZoomCommand::In);
    EXPECT_EQ(factor, 1024);
    ZoomScrollBar(bar, factor, 480);
    EXPECT_EQ(bar.PageSize, 31);

    EXPECT_EQ(ZoomedFactor(1, ZoomCommand::Out), 1);
    EXPECT_EQ(ZoomedFactor(512, ZoomCommand::Whole), 1);
    ZoomScrollBar(bar, 1, 480);
    EXPECT_EQ(bar.PageSize, 32767);
    EXPECT_EQ(bar.Position, bar.Min);
}

TEST(ViewNavigation, ThumbAtTheEndShowsTheLastFramesExactly) {
    for (const std::int64_t n : {1000000, 999999, 1201201, 44100 * 3600}) {
        for (const int zoom : {2, 8, 1024}) {
            ScrollBarState bar;
            ZoomScrollBar(bar, zoom, 480);
            bar.Position = bar.Max;
            bar.Fit();
            EXPECT_EQ(bar.Position, bar.Max - bar.PageSize + 1);
            const std::int64_t start = ViewStartFor(bar, n, zoom);
            EXPECT_EQ(start + n / zoom, n) << n << " / " << zoom;
        }
    }
}

TEST(ViewNavigation, VerticalShiftFollowsTheThumb) {
    ScrollBarState bar;
    ZoomScrollBar(bar, 2, 480);
    bar.Position = bar.Min;  // thumb at the top: upper half of the range moves to the centre
    EXPECT_LT(VerShiftFor(bar, 16), -4190000);
    bar.Position = bar.Max - bar.PageSize + 1;
    EXPECT_GT(VerShiftFor(bar, 16), 4190000);
}

TEST(ViewNavigation, FrameAtRoundsTiesToEven) {
    EXPECT_EQ(FrameAt(0, 480, 100, 4800, 1), 100);
    EXPECT_EQ(FrameAt(240, 480, 0, 4800, 1), 2400);
    EXPECT_EQ(FrameAt(1, 480, 0, 1200, 1), 2);       // 2.5 -> 2
    EXPECT_EQ(FrameAt(3, 480, 0, 1200, 1), 8);       // 7.5 -> 8
    EXPECT_EQ(FrameAt(-48, 480, 0, 4800, 2), -240);  // outside the view while dragging
}

TEST(ViewNavigation, SelectionByClickDragAndShift) {
    struct DragStep {
        char kind;  // 'p' press, 's' shift press, 'm' move, 'r' release
        std::int64_t frame;
        std::int64_t start, end;  // block afterwards
    };
    struct TableCase {
        const char* name;
        std::vector<DragStep> steps;
    };
    const std::int64_t n = 1000;
    const TableCase cases[] = {
        {"click sets an empty block", {{'p', 300, 300, 300}, {'m', 300, 300, 300}}},
        {"drag right extends the end",
         {{'p', 300, 300, 300}, {'m', 310, 300, 310}, {'m', 400, 300, 400}}},
        {"drag left moves the start",
         {{'p', 300, 300, 300}, {'m', 290, 290, 300}, {'m', 100, 100, 300}}},
        {"drag past both edges clamps",
         {{'p', 300, 300, 300},
          {'m', -50, 0, 300},
          {'r', 0, 0, 300},
          {'s', 900, 0, 900},
          {'m', 1200, 0, 1000}}},
        {"shift right of the block moves the end",
         {{'p', 100, 100, 100}, {'m', 200, 100, 200}, {'r', 0, 100, 200}, {'s', 500, 100, 500}}},
        {"shift left of the block moves the start",
         {{'p', 100, 100, 100}, {'m', 200, 100, 200}, {'r', 0, 100, 200}, {'s', 50, 50, 200}}},
        {"shift half-way changes nothing",
         {{'p', 100, 100, 100}, {'m', 200, 100, 200}, {'r', 0, 100, 200}, {'s', 150, 100, 200}}},
    };
    for (const TableCase& c : cases) {
        SCOPED_TRACE(c.name);
        Selection s;
        for (const DragStep& step : c.steps) {
            switch (step.kind) {
                case 'p':
                    s.Press(step.frame, false);
                    break;
                case 's':
                    s.Press(step.frame, true);
                    break;
                case 'm':
                    s.Move(step.frame, n);
                    break;
                case 'r':
                    s.Release();
                    break;
            }
            EXPECT_EQ(s.BlockStart, step.start) << step.kind << step.frame;
            EXPECT_EQ(s.BlockEnd, step.end) << step.kind << step.frame;
        }
    }
    Selection idle;
    idle.Move(500, n);  // no drag without a press
    EXPECT_EQ(idle.BlockEnd, 0);
}

}  // namespace
}  // namespace sv
