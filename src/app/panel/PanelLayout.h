#pragma once

#include "panel/NotchGeometry.h"

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

/// The panel's sizes, placement and hover rectangles: pure arithmetic in upward screen coordinates.
class PanelLayout final {
public:
    static constexpr double expandedWidth = 524;
    static constexpr double contentWidth = 500;
    static constexpr double spriteSize = 18;
    static constexpr double spriteGap = 7;

    struct Target {
        QSizeF size;
        /// From the panel's left edge to the notch's; absent when the expanded panel is centred.
        std::optional<double> notchLeading;
        bool operator==(const Target&) const = default;
    };

    /// Room for up to four sprites and their gaps, never under 46.
    static double leftEar(qsizetype count);
    /// Follows the first session's activity text (empty when there is no session), 46 to 150.
    static double rightEar(const QString& activity);
    static Target target(bool expanded, qsizetype count, const QString& activity, const NotchGeometry& geo,
                         double measuredHeight);
    /// The panel's frame: its top edge on the screen's top edge, the notch (or the middle) where it belongs.
    static QRectF frame(const Target& target, const NotchGeometry& geo, const QRectF& screen);
    /// Tight around the collapsed island when closed; a fixed 560 × 320 area when open, for hysteresis.
    static QRectF hotArea(bool hovering, qsizetype count, const QString& activity, const NotchGeometry& geo,
                          const QRectF& screen);
    /// Left and bottom edges inside, right and top edges outside.
    static bool contains(const QRectF& rect, const QPointF& point);
};
