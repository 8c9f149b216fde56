#include "AppIcon.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tavsms::AppIcon {

namespace {

QPixmap draw(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(0x1e, 0x88, 0xe5));
    tile.setColorAt(1, QColor(0x0d, 0x47, 0xa1));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);

    // The bubble and its tail.
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(s * 0.14, s * 0.2, s * 0.72, s * 0.46), s * 0.12, s * 0.12);
    QPainterPath tail;
    tail.moveTo(s * 0.3, s * 0.6);
    tail.lineTo(s * 0.24, s * 0.84);
    tail.lineTo(s * 0.48, s * 0.64);
    tail.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(bubble.united(tail));

    if (size >= 24) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(int(s * 0.22));
        p.setFont(font);
        p.setPen(QColor(0x0d, 0x47, 0xa1));
        p.drawText(QRectF(s * 0.14, s * 0.2, s * 0.72, s * 0.46), Qt::AlignCenter, QStringLiteral("SMS"));
    } else {
        // Too small for letters: three dots.
        p.setBrush(QColor(0x0d, 0x47, 0xa1));
        for (int i = 0; i < 3; ++i)
            p.drawEllipse(QPointF(s * (0.32 + 0.18 * i), s * 0.43), s * 0.06, s * 0.06);
    }
    return pixmap;
}

} // namespace

QIcon icon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(draw(size));
    return icon;
}

} // namespace tavsms::AppIcon
