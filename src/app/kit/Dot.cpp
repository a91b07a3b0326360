#include "kit/Dot.h"

#include <QPainter>

Dot::Dot(int diameter, QColor color, QWidget* parent) : QWidget(parent), m_color(color) {
    setFixedSize(diameter, diameter);
}

void Dot::setColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void Dot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(QRectF(rect()));
}
