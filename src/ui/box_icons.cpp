#include "ui/box_icons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace mereval::ui {
namespace {

constexpr QRectF kDisc(1.5, 1.5, 29.0, 29.0);

void DrawDisc(QPainter& painter, const QColor& fill) {
    painter.setPen(QPen(fill.darker(140), 1.0));
    painter.setBrush(fill);
    painter.drawEllipse(kDisc);
}

void DrawCritical(QPainter& painter) {
    DrawDisc(painter, QColor(0xd3, 0x2f, 0x2f));
    painter.setPen(QPen(Qt::white, 4.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10.5, 10.5), QPointF(21.5, 21.5));
    painter.drawLine(QPointF(21.5, 10.5), QPointF(10.5, 21.5));
}

void DrawQuestion(QPainter& painter) {
    DrawDisc(painter, QColor(0x1e, 0x64, 0xc8));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(kDisc, Qt::AlignCenter, QStringLiteral("?"));
}

void DrawInformation(QPainter& painter) {
    DrawDisc(painter, QColor(0x1e, 0x64, 0xc8));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(16.0, 9.5), 2.5, 2.5);
    painter.drawRoundedRect(QRectF(13.5, 14.0, 5.0, 11.0), 1.5, 1.5);
}

void DrawExclamation(QPainter& painter) {
    QPainterPath triangle;
    triangle.moveTo(16.0, 2.0);
    triangle.lineTo(30.5, 29.0);
    triangle.lineTo(1.5, 29.0);
    triangle.closeSubpath();
    const QColor yellow(0xf2, 0xc2, 0x00);
    painter.setPen(QPen(yellow.darker(150), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(yellow);
    painter.drawPath(triangle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(14.0, 10.0, 4.0, 11.0), 1.5, 1.5);
    painter.drawEllipse(QPointF(16.0, 24.5), 2.0, 2.0);
}

}  // namespace

QPixmap DrawBoxIcon(BoxIcon icon) {
    QPixmap pixmap(kBoxIconSize, kBoxIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (icon) {
        case BoxIcon::Critical:
            DrawCritical(painter);
            break;
        case BoxIcon::Question:
            DrawQuestion(painter);
            break;
        case BoxIcon::Information:
            DrawInformation(painter);
            break;
        case BoxIcon::Exclamation:
            DrawExclamation(painter);
            break;
        case BoxIcon::None:
            break;
    }
    return pixmap;
}

}  // namespace mereval::ui
