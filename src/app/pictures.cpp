#include "app/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace morvik::app {

namespace {

constexpr int kSize = 20;

QPixmap Canvas() {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QIcon ResetSearchIcon() {
    QPixmap pixmap = Canvas();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // The turning arrow: most of a circle with a head at its end.
    painter.setPen(QPen(QColor(0, 110, 0), 2));
    painter.drawArc(QRectF(1.5, 1.5, 12, 12), 100 * 16, 290 * 16);
    QPainterPath head;
    head.moveTo(6.5, 0);
    head.lineTo(10.5, 2.5);
    head.lineTo(6.5, 5.5);
    head.closeSubpath();
    painter.fillPath(head, QColor(0, 110, 0));
    // The magnifying glass over it.
    painter.setPen(QPen(QColor(0, 0, 128), 2));
    painter.setBrush(QColor(200, 225, 255));
    painter.drawEllipse(QRectF(7.5, 7.5, 7, 7));
    painter.setPen(QPen(QColor(0, 0, 128), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(14, 14), QPointF(18.5, 18.5));
    return QIcon(pixmap);
}

QIcon OnAirSubscriptionIcon() {
    QPixmap pixmap = Canvas();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // A mast with waves going out on both sides.
    painter.setPen(QPen(QColor(60, 60, 60), 2));
    painter.drawLine(QPointF(10, 8), QPointF(10, 19));
    painter.drawLine(QPointF(6, 19), QPointF(14, 19));
    painter.setBrush(QColor(200, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(10, 7), 2.2, 2.2);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(200, 0, 0), 1.6));
    for (qreal radius : {5.0, 8.5}) {
        const QRectF circle(10 - radius, 7 - radius, 2 * radius, 2 * radius);
        painter.drawArc(circle, -45 * 16, 90 * 16);
        painter.drawArc(circle, 135 * 16, 90 * 16);
    }
    return QIcon(pixmap);
}

QPixmap ProgramIconPicture() { return QPixmap(QStringLiteral(":/morvik2.png")); }

}  // namespace morvik::app
