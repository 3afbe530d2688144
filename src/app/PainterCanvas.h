#pragma once
// The drawing port on a QPainter (an off-screen image or a widget).
#include "view/Canvas.h"

class QPainter;

namespace sv {

class PainterCanvas final : public Canvas {
  public:
    explicit PainterCanvas(QPainter& painter) : painter_(painter) {}

    void SetPen(RgbColour colour) override { pen_ = colour; }
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void SetPixel(int x, int y, RgbColour colour) override;
    void FillRect(int x0, int y0, int x1, int y1, RgbColour colour) override;
    void SetFont(const std::string& name, int pointSize, RgbColour colour) override;
    void TextOut(int x, int y, const std::string& text) override;

  private:
    QPainter& painter_;
    RgbColour pen_;
    RgbColour fontColour_;
    int x_ = 0, y_ = 0;
};

}  // namespace sv
