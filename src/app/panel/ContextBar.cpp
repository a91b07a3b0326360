#include "panel/ContextBar.h"

#include "kit/Palette.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

ContextBar::ContextBar(double fraction, QWidget* parent) : QWidget(parent), m_fraction(fraction) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(6);
}

double ContextBar::fractionOf(const ContextUsage& usage) {
    if (usage.limit < 1)
        return 0;
    return std::min(1.0, static_cast<double>(usage.used) / static_cast<double>(usage.limit));
}

bool ContextBar::nearlyFull(const ContextUsage& usage) {
    return usage.limit >= 1 && static_cast<double>(usage.used) / static_cast<double>(usage.limit) > warmAbove;
}

int ContextBar::litCells(double fraction, int segments) {
    return static_cast<int>(std::round(fraction * segments));
}

QColor ContextBar::cellColor(int index, double fraction, int segments) {
    if (index >= litCells(fraction, segments))
        return QColor::fromRgbF(1, 1, 1, 0.10f);
    return fraction > warmAbove ? Palette::caution() : Palette::accent();
}

void ContextBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    constexpr double gap = 3;
    const double cell = (width() - gap * (segments - 1)) / segments;
    for (int i = 0; i < segments; ++i) {
        QPainterPath path;
        path.addRoundedRect(QRectF(i * (cell + gap), 0, cell, 6), 2, 2);
        painter.fillPath(path, cellColor(i, m_fraction, segments));
    }
}

void ContextBar::setFraction(double fraction) {
    if (fraction == m_fraction)
        return;
    m_fraction = fraction;
    update();
}
