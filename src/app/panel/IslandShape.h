#pragma once

#include <QPainterPath>
#include <QRectF>

/// The island's outline: a tab hanging from the top edge, concave shoulders at the top, convex corners below.
struct IslandShape {
    double notchWidth = 0;
    double notchHeight = 0;
    bool expanded = false;

    struct Radii {
        double shoulder;
        double bottom;
        bool operator==(const Radii&) const = default;
    };

    Radii radii(const QSizeF& size) const;
    /// In view coordinates (y downward).
    QPainterPath path(const QRectF& rect) const;
};
