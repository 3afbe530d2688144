#pragma once
// The drawing surface the renderers paint on. Strokes follow the move-to/line-to model: a
// stroke paints its start pixel and stops one pixel before its end point, and the next stroke
// starts where the last one ended.
#include <cstdint>
#include <string>

namespace sv {

struct RgbColour {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(RgbColour, RgbColour) = default;
};

class Canvas {
  public:
    virtual ~Canvas() = default;
    virtual void SetPen(RgbColour colour) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void SetPixel(int x, int y, RgbColour colour) = 0;
    // Fills x0 <= x < x1, y0 <= y < y1.
    virtual void FillRect(int x0, int y0, int x1, int y1, RgbColour colour) = 0;
    virtual void SetFont(const std::string& name, int pointSize, RgbColour colour) = 0;
    // Text with a transparent background, its top left corner at (x, y).
    virtual void TextOut(int x, int y, const std::string& text) = 0;

    void Stroke(int x0, int y0, int x1, int y1) {
        MoveTo(x0, y0);
        LineTo(x1, y1);
    }
};

}  // namespace sv
