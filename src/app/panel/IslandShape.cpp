#include "panel/IslandShape.h"

#include <algorithm>

IslandShape::Radii IslandShape::radii(const QSizeF& size) const {
    const double r = std::min(size.width() * 0.25, expanded ? 12.0 : 8.0);
    const double b = std::min({size.height() * 0.5, expanded ? 22.0 : 11.0, (size.width() - 2 * r) * 0.5});
    return {r, b};
}

// Qt's arc angles turn counter-clockwise as seen on screen, with 90° pointing up.
QPainterPath IslandShape::path(const QRectF& rect) const {
    const auto [r, b] = radii(rect.size());
    const double minX = rect.left();
    const double minY = rect.top();
    const double maxX = rect.right();
    const double maxY = rect.bottom();
    const auto square = [](double cx, double cy, double radius) {
        return QRectF(cx - radius, cy - radius, 2 * radius, 2 * radius);
    };

    QPainterPath path;
    path.moveTo(minX, minY);
    path.arcTo(square(minX, minY + r, r), 90, -90);
    path.lineTo(minX + r, maxY - b);
    path.arcTo(square(minX + r + b, maxY - b, b), 180, 90);
    path.lineTo(maxX - r - b, maxY);
    path.arcTo(square(maxX - r - b, maxY - b, b), 270, 90);
    path.lineTo(maxX - r, minY + r);
    path.arcTo(square(maxX, minY + r, r), 180, -90);
    path.closeSubpath();
    return path;
}
