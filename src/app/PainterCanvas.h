#pragma once
// The drawing port on a QPainter (an off-screen image or a widget).
#include "view/Canvas.h"

class QPainter;

namespace sv {

class TPainterCanvas final : public TCanvas {
  public:
    explicit TPainterCanvas(QPainter& painter) : painter_(painter) {}

    void SetPen(TRgb colour) override { pen_ = colour; }
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void SetPixel(int x, int y, TRgb colour) override;
    void FillRect(int x0, int y0, int x1, int y1, TRgb colour) override;
    void SetFont(const std::string& name, int pointSize, TRgb colour) override;
    void TextOut(int x, int y, const std::string& text) override;

  private:
    QPainter& painter_;
    TRgb pen_;
    TRgb fontColour_;
    int x_ = 0, y_ = 0;
};

}  // namespace sv
