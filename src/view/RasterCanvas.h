#pragma once
// An in-memory RGB picture that records the texts drawn on it instead of rendering glyphs.
#include <vector>

#include "view/Canvas.h"

namespace sv {

class TRasterCanvas final : public TCanvas {
  public:
    struct TText {
        int x = 0, y = 0;
        std::string text;
        std::string font;
        int pointSize = 0;
        TRgb colour;
    };

    TRasterCanvas(int width, int height, TRgb fill = {});

    int Width() const { return width_; }
    int Height() const { return height_; }
    TRgb Pixel(int x, int y) const;
    const std::vector<TText>& Texts() const { return texts_; }

    void SetPen(TRgb colour) override { pen_ = colour; }
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void SetPixel(int x, int y, TRgb colour) override;
    void FillRect(int x0, int y0, int x1, int y1, TRgb colour) override;
    void SetFont(const std::string& name, int pointSize, TRgb colour) override;
    void TextOut(int x, int y, const std::string& text) override;

  private:
    int width_, height_;
    std::vector<TRgb> pixels_;
    TRgb pen_;
    int penX_ = 0, penY_ = 0;
    std::string font_;
    int fontSize_ = 0;
    TRgb fontColour_;
    std::vector<TText> texts_;
};

}  // namespace sv
