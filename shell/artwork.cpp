#include "shell/artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace shell::artwork {

QPixmap logo(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF dial(size * 0.08, size * 0.08, size * 0.84, size * 0.84);
    p.setPen(QPen(QColor(0x1d, 0x3c, 0x6e), size * 0.06));
    p.setBrush(QColor(0xf2, 0xf5, 0xfa));
    p.drawEllipse(dial);
    p.setPen(QPen(QColor(0x1d, 0x3c, 0x6e), size * 0.02));
    const QPointF centre = dial.center();
    for (int tick = 0; tick <= 10; ++tick) {
        p.save();
        p.translate(centre);
        p.rotate(-135.0 + tick * 27.0);
        p.drawLine(QPointF(0, -size * 0.36), QPointF(0, -size * 0.30));
        p.restore();
    }
    p.save();
    p.translate(centre);
    p.rotate(30.0);
    p.setPen(QPen(QColor(0xc0, 0x39, 0x2b), size * 0.035, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, 0), QPointF(0, -size * 0.30));
    p.restore();
    p.setBrush(QColor(0x1d, 0x3c, 0x6e));
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, size * 0.05, size * 0.05);
    return pixmap;
}

} // namespace shell::artwork
