#include "view/ViewNavigation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sv {

void ScrollBarState::Fit() {
    if (Max - Min + 1 < PageSize) {
        PageSize = Max - Min + 1;
        Position = Min;
    }
    if (Position > Max - PageSize + 1) Position = Max - PageSize + 1;
}

int ZoomedFactor(int factor, ZoomCommand command) {
    switch (command) {
        case ZoomCommand::In:
            return std::min(factor * 2, MaxZoom);
        case ZoomCommand::Out:
            return std::max(factor / 2, 1);
        case ZoomCommand::Whole:
            return 1;
    }
    return factor;
}

void ZoomScrollBar(ScrollBarState& bar, int factor, int viewWidth) {
    factor = std::clamp(factor, 1, MaxZoom);
    const int width = std::max(viewWidth, 1);
    const int twiceCentre = 2 * bar.Position + bar.PageSize;
    bar.PageSize = (bar.Max - bar.Min + 1) / factor;
    bar.LargeChange = bar.PageSize / 2;
    bar.SmallChange = static_cast<int>(
        std::nearbyint(static_cast<double>(bar.Max - bar.Min) / width / factor + 0.5));
    bar.Position = std::clamp((twiceCentre - bar.PageSize) / 2, bar.Min, bar.Max);
    if (factor == 1) bar.Position = bar.Min;
}

std::int64_t ViewStartFor(const ScrollBarState& bar, std::int64_t frameCount, int horZoom) {
    std::int64_t start = static_cast<std::int64_t>(std::nearbyint(
        static_cast<double>(frameCount) * (bar.Position - bar.Min) / (bar.Max - bar.Min)));
    const std::int64_t span = frameCount / std::max(horZoom, 1);
    if (start + span > frameCount) start = frameCount - span;
    return start;
}

std::int32_t VerShiftFor(const ScrollBarState& bar, int bitsPerSample) {
    const double fullScale = std::ldexp(1.0, bitsPerSample + 7);
    const double centre = (2.0 * (bar.Position - bar.Min) + bar.PageSize) /
                          static_cast<double>(bar.Max - bar.Min + 1);
    return static_cast<std::int32_t>(std::nearbyint(fullScale * (centre - 1.0)));
}

std::int64_t FrameAt(double x, int viewWidth, std::int64_t viewStart, std::int64_t frameCount,
                     int horZoom) {
    if (viewWidth <= 0) return viewStart;
    return viewStart + static_cast<std::int64_t>(std::nearbyint(
                           (static_cast<double>(frameCount) / horZoom) * (x / viewWidth)));
}

void Selection::Press(std::int64_t d, bool shift) {
    if (shift) {
        if (std::llabs(d - BlockEnd) > std::llabs(d - BlockStart)) BlockStart = d;
        if (std::llabs(d - BlockEnd) < std::llabs(d - BlockStart)) BlockEnd = d;
        Dragging = true;
    }
    if (!Dragging) {
        BlockStart = d;
        BlockEnd = d;
    }
    Dragging = true;
}

void Selection::Move(std::int64_t e, std::int64_t frameCount) {
    if (!Dragging) return;
    const std::int64_t toEnd = std::llabs(e - BlockEnd - 1);
    if (toEnd > std::llabs(e - BlockStart)) BlockStart = e;
    if (toEnd < std::llabs(e - BlockStart)) BlockEnd = e;
    if (BlockStart < 0) BlockStart = 0;
    if (BlockEnd > frameCount) BlockEnd = frameCount;
}

}  // namespace sv
