#include "app/PainterCanvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "app/QtText.h"

namespace sv {

namespace {
QColor ToQColor(RgbColour c) { return QColor(c.r, c.g, c.b); }
}  // namespace

void PainterCanvas::MoveTo(int x, int y) {
    x_ = x;
    y_ = y;
}

// QPainter lines include their end point; strokes here stop one pixel before it. The views
// draw only vertical and horizontal strokes, which become rectangles.
void PainterCanvas::LineTo(int x, int y) {
    const QColor colour = ToQColor(pen_);
    if (x == x_ && y != y_) {
        const int top = y > y_ ? y_ : y + 1;
        painter_.fillRect(x, top, 1, std::abs(y - y_), colour);
    } else if (y == y_ && x != x_) {
        const int left = x > x_ ? x_ : x + 1;
        painter_.fillRect(left, y, std::abs(x - x_), 1, colour);
    } else if (x != x_) {
        const int dx = std::abs(x - x_), dy = std::abs(y - y_);
        const int steps = std::max(dx, dy);
        painter_.setPen(colour);
        for (int i = 0; i < steps; ++i)
            painter_.drawPoint(x_ + (x - x_) * i / steps, y_ + (y - y_) * i / steps);
    }
    MoveTo(x, y);
}

void PainterCanvas::SetPixel(int x, int y, RgbColour colour) {
    painter_.fillRect(x, y, 1, 1, ToQColor(colour));
}

void PainterCanvas::FillRect(int x0, int y0, int x1, int y1, RgbColour colour) {
    painter_.fillRect(x0, y0, x1 - x0, y1 - y0, ToQColor(colour));
}

void PainterCanvas::SetFont(const std::string& name, int pointSize, RgbColour colour) {
    QFont font(Q(name));
    // Tiny bitmap fonts are not found everywhere: keep the size, let the family fall back.
    font.setPointSizeF(pointSize);
    font.setStyleHint(QFont::SansSerif);
    painter_.setFont(font);
    fontColour_ = colour;
}

void PainterCanvas::TextOut(int x, int y, const std::string& text) {
    painter_.setPen(ToQColor(fontColour_));
    painter_.setBackgroundMode(Qt::TransparentMode);
    painter_.drawText(x, y + QFontMetrics(painter_.font()).ascent(), Q(text));
}

}  // namespace sv
