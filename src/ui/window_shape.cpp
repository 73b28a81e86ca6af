#include "ui/window_shape.h"

#include <QPainterPath>
#include <QPolygon>

QRegion RoundedWindowRegion(const QSize& size, int cornerEllipse) {
    if (cornerEllipse <= 0)
        return QRegion(0, 0, size.width(), size.height());
    QPainterPath path;
    const qreal radius = cornerEllipse / 2.0;
    path.addRoundedRect(QRectF(0, 0, size.width(), size.height()), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}
