#pragma once
// An in-memory RGB picture that records the texts drawn on it instead of rendering glyphs.
#include <vector>

#include "picture/Canvas.h"

namespace sv {

class RasterCanvas final : public Canvas {
  public:
    struct DrawnText {
        int x = 0, y = 0;
        std::string text;
        std::string font;
        int pointSize = 0;
        RgbColour colour;
    };

    RasterCanvas(int width, int height, RgbColour fill = {});

    int Width() const { return width_; }
    int Height() const { return height_; }
    RgbColour Pixel(int x, int y) const;
    const std::vector<DrawnText>& Texts() const { return texts_; }

    void SetPen(RgbColour colour) override { pen_ = colour; }
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void SetPixel(int x, int y, RgbColour colour) override;
    void FillRect(int x0, int y0, int x1, int y1, RgbColour colour) override;
    void SetFont(const std::string& name, int pointSize, RgbColour colour) override;
    void TextOut(int x, int y, const std::string& text) override;

  private:
    int width_, height_;
    std::vector<RgbColour> pixels_;
    RgbColour pen_;
    int penX_ = 0, penY_ = 0;
    std::string font_;
    int fontSize_ = 0;
    RgbColour fontColour_;
    std::vector<DrawnText> texts_;
};

}  // namespace sv
