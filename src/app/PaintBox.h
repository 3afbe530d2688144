#pragma once
// A plain drawing surface; its owner says what to draw.
#include <QColor>
#include <QWidget>
#include <functional>

class QPainter;

namespace sv {

inline const QColor DarkGreen{0, 40, 0};

class PaintBox final : public QWidget {
  public:
    using QWidget::QWidget;
    std::function<void(QPainter&)> OnPaint;  // unset: the dark green background

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace sv
