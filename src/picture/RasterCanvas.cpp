#include "picture/RasterCanvas.h"

#include <algorithm>
#include <cstdlib>

namespace sv {

RasterCanvas::RasterCanvas(int width, int height, RgbColour fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

RgbColour RasterCanvas::Pixel(int x, int y) const {
    return pixels_.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                      static_cast<std::size_t>(x));
}

void RasterCanvas::SetPixel(int x, int y, RgbColour colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;  // clipped like a real surface
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)] = colour;
}

void RasterCanvas::MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

// Bresenham from the pen position, leaving out the end point.
void RasterCanvas::LineTo(int x1, int y1) {
    int x = penX_, y = penY_;
    const int dx = std::abs(x1 - x), sx = x < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y), sy = y < y1 ? 1 : -1;
    int err = dx + dy;
    while (x != x1 || y != y1) {
        SetPixel(x, y, pen_);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    MoveTo(x1, y1);
}

void RasterCanvas::FillRect(int x0, int y0, int x1, int y1, RgbColour colour) {
    for (int y = std::max(y0, 0); y < std::min(y1, height_); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, width_); ++x) SetPixel(x, y, colour);
}

void RasterCanvas::SetFont(const std::string& name, int pointSize, RgbColour colour) {
    font_ = name;
    fontSize_ = pointSize;
    fontColour_ = colour;
}

void RasterCanvas::TextOut(int x, int y, const std::string& text) {
    texts_.push_back({x, y, text, font_, fontSize_, fontColour_});
}

}  // namespace sv
