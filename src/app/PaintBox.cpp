#include "app/PaintBox.h"

#include <QPainter>

namespace sv {

void PaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (OnPaint) {
        OnPaint(painter);
    } else {
        painter.fillRect(rect(), DarkGreen);
    }
}

}  // namespace sv
