#include "about/link_cursor.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tabrook::about {
namespace {

constexpr int kHotSpotX = 12;
constexpr int kHotSpotY = 1;

QPainterPath HandOutline() {
    QPainterPath hand;
    hand.moveTo(10, 18);
    hand.lineTo(10, 3.5);  // the pointing finger
    hand.quadTo(12, 0.5, 14, 3.5);
    hand.lineTo(14, 12);
    hand.quadTo(16, 9.5, 18, 12);  // the three folded fingers
    hand.quadTo(20, 10, 22, 12.5);
    hand.quadTo(24.5, 11, 25.5, 14);
    hand.lineTo(25.5, 21);
    hand.quadTo(25.5, 26, 21.5, 28);  // palm and wrist
    hand.lineTo(21.5, 31);
    hand.lineTo(11.5, 31);
    hand.lineTo(11.5, 28);
    hand.lineTo(5, 20.5);  // the thumb
    hand.quadTo(4, 17, 7, 17);
    hand.closeSubpath();
    return hand;
}

}  // namespace

QCursor LinkCursor() {
    QPixmap image(kLinkCursorSize, kLinkCursorSize);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.2));
    painter.setBrush(Qt::white);
    painter.drawPath(HandOutline());
    // Knuckle lines, so the folded fingers read as fingers.
    painter.drawLine(QPointF(18, 12), QPointF(18, 16));
    painter.drawLine(QPointF(22, 12.5), QPointF(22, 16));
    painter.end();
    return QCursor(image, kHotSpotX, kHotSpotY);
}

}  // namespace tabrook::about
