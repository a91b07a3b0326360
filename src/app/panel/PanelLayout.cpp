#include "panel/PanelLayout.h"

#include <QTextBoundaryFinder>
#include <algorithm>

namespace {

qsizetype characters(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

} // namespace

double PanelLayout::leftEar(qsizetype count) {
    const double n = static_cast<double>(std::clamp<qsizetype>(count, 1, 4));
    return std::max(46.0, spriteSize * n + spriteGap * (n - 1) + 12);
}

double PanelLayout::rightEar(const QString& activity) {
    if (activity.isEmpty())
        return 46;
    return std::min(150.0, std::max(46.0, static_cast<double>(characters(activity)) * 6.6 + 24));
}

PanelLayout::Target PanelLayout::target(bool expanded, qsizetype count, const QString& activity,
                                        const NotchGeometry& geo, double measuredHeight) {
    if (expanded)
        return {{expandedWidth, std::max(geo.notchHeight + 40, measuredHeight)}, std::nullopt};
    const double left = leftEar(count);
    return {{left + geo.notchWidth + rightEar(activity) + 16, geo.notchHeight}, left + 8};
}

QRectF PanelLayout::frame(const Target& target, const NotchGeometry& geo, const QRectF& screen) {
    const double x = target.notchLeading ? screen.center().x() - geo.notchWidth / 2 - *target.notchLeading
                                         : screen.center().x() - target.size.width() / 2;
    const double y = screen.y() + screen.height() - target.size.height();
    return {x, y, target.size.width(), target.size.height()};
}

QRectF PanelLayout::hotArea(bool hovering, qsizetype count, const QString& activity, const NotchGeometry& geo,
                            const QRectF& screen) {
    const double midX = screen.center().x();
    const double maxY = screen.y() + screen.height();
    if (hovering)
        return {midX - 280, maxY - 320, 560, 320};
    const double left = leftEar(count);
    return {midX - geo.notchWidth / 2 - left - 20, maxY - geo.notchHeight - 6,
            left + geo.notchWidth + rightEar(activity) + 40, geo.notchHeight + 6};
}

bool PanelLayout::contains(const QRectF& rect, const QPointF& point) {
    return point.x() >= rect.left() && point.x() < rect.left() + rect.width() && point.y() >= rect.top() &&
           point.y() < rect.top() + rect.height();
}
