#include "ui/logo.h"

#include <QPainter>
#include <QPainterPath>

namespace mereval::ui {

QPixmap Logo() {
    constexpr int kWidth = 46;
    constexpr int kHeight = 52;
    QPixmap pixmap(kWidth, kHeight);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath wave;
    wave.moveTo(0, 40);
    wave.cubicTo(12, 30, 22, 50, 34, 40);
    wave.cubicTo(40, 35, 44, 36, 46, 38);
    wave.lineTo(46, 52);
    wave.lineTo(0, 52);
    wave.closeSubpath();
    painter.fillPath(wave, QColor(0x1F, 0x5F, 0xA8));

    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
    painter.setBrush(QColor(0xF2, 0xC1, 0x4E));
    painter.drawRoundedRect(QRectF(5, 8, 36, 24), 3, 3);
    painter.fillRect(QRectF(5.5, 13, 35, 5), QColor(0x20, 0x20, 0x20));
    painter.setBrush(QColor(0xC8, 0xC8, 0xC8));
    painter.drawRect(QRectF(10, 22, 8, 6));
    return pixmap;
}

}  // namespace mereval::ui
