#include "help/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>
#include <numbers>

namespace sv {

namespace {

const QColor kDeepBlue(0x1d, 0x35, 0x57);
const QColor kTeal(0x0b, 0x6e, 0x8a);
const QColor kAmber(0xf4, 0xa2, 0x61);

// Bar heights of the icon on its 256-pixel design grid; the hand-written SVG icon uses the same.
constexpr std::array<int, 9> kBarHeights = {40, 84, 132, 172, 192, 152, 112, 72, 36};

}  // namespace

QImage PaintIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);

    QLinearGradient background(0, 16, 0, 240);
    background.setColorAt(0, kDeepBlue);
    background.setColorAt(1, kTeal);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(16, 16, 224, 224), 48, 48);

    painter.setBrush(Qt::white);
    for (std::size_t i = 0; i < kBarHeights.size(); ++i) {
        const double x = 42 + 20.0 * static_cast<double>(i);
        const double h = kBarHeights[i];
        painter.drawRoundedRect(QRectF(x, 128 - h / 2, 12, h), 6, 6);
    }
    painter.setPen(QPen(kAmber, 10, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    QPainterPath curve(QPointF(40, 196));
    curve.cubicTo(QPointF(100, 150), QPointF(156, 150), QPointF(216, 196));
    painter.drawPath(curve);
    return image;
}

QImage PaintTitlePicture(int width, int height, const QString& caption) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient background(0, 0, width, height);
    background.setColorAt(0, kDeepBlue);
    background.setColorAt(1, kTeal);
    painter.fillRect(image.rect(), background);

    // A noisy, uneven waveform on the left settles into an even one on the right: what
    // remastering does.
    const double mid = height * 0.62;
    QPainterPath wave;
    for (int x = 0; x <= width; ++x) {
        const double t = static_cast<double>(x) / width;
        const double rough = std::sin(x * 0.9) * std::sin(x * 0.23) * (1.0 - t);
        const double even = std::sin(x * 0.35) * t;
        const double amplitude = height * 0.16 * (0.35 + 0.65 * std::fabs(std::sin(t * 7.0)));
        const QPointF point(x, mid + amplitude * (rough + even));
        if (x == 0)
            wave.moveTo(point);
        else
            wave.lineTo(point);
    }
    painter.setPen(QPen(QColor(255, 255, 255, 170), 1.2));
    painter.drawPath(wave);

    QPainterPath spectrum(QPointF(0, height * 0.45));
    spectrum.cubicTo(QPointF(width * 0.3, height * 0.28), QPointF(width * 0.7, height * 0.28),
                     QPointF(width, height * 0.40));
    painter.setPen(QPen(kAmber, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(spectrum);

    const int iconSize = height / 4;
    painter.drawImage(QPoint(width / 16, height / 12), PaintIcon(iconSize));

    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(height / 6);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    const QRect titleRect(width / 16 + iconSize + width / 32, height / 12, width, iconSize);
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Sonivar"));

    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(std::max(9, height / 20));
    painter.setFont(small);
    painter.setPen(QColor(230, 240, 245));
    painter.drawText(QRect(0, height * 88 / 100 - height / 20, width, height / 10),
                     Qt::AlignHCenter | Qt::AlignVCenter, caption);
    return image;
}

}  // namespace sv
