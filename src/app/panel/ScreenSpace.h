#pragma once

#include <QPoint>
#include <QPointF>
#include <QRectF>

/// The one place where Qt's downward y meets the panel's rules, which measure upward from the bottom of the
/// primary screen (a screen's top edge is its frame's maxY there).
class ScreenSpace final {
public:
    /// primaryFrame: the primary screen's geometry in Qt's global coordinates.
    explicit ScreenSpace(const QRectF& primaryFrame) : m_flip(primaryFrame.y() + primaryFrame.height()) {}

    QRectF up(const QRectF& qt) const { return {qt.x(), m_flip - qt.y() - qt.height(), qt.width(), qt.height()}; }
    QRectF qt(const QRectF& up) const { return {up.x(), m_flip - up.y() - up.height(), up.width(), up.height()}; }
    /// A pointer pixel counts at its centre, so the screen's top row lies inside a rectangle that reaches the top.
    QPointF pointer(const QPoint& qtPixel) const { return {qtPixel.x() + 0.5, m_flip - qtPixel.y() - 0.5}; }

private:
    double m_flip;
};
