#include "settings/DotView.h"

#include <QPainter>

DotView::DotView(int diameter, QColor color, QWidget* parent) : QWidget(parent), m_color(color) {
    setFixedSize(diameter, diameter);
}

void DotView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(QRectF(rect()));
}
