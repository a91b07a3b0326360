#include "kit/RoundedPanel.h"

#include <QPainter>

RoundedPanel::RoundedPanel(QColor fill, qreal radius, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_radius(radius) {}

void RoundedPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_fill);
    painter.drawRoundedRect(QRectF(rect()), m_radius, m_radius);
}
