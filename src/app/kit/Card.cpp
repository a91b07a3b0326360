#include "kit/Card.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

Card::Card(QColor fill, double padding, QWidget* content, QWidget* parent)
    : QWidget(parent), m_fill(std::move(fill)), m_content(content) {
    auto* layout = new QHBoxLayout(this);
    const int margin = static_cast<int>(std::lround(padding));
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(0);
    if (content != nullptr) {
        // Content that asks to expand (a row with flexible space) takes the whole width; the rest keeps its size.
        const bool expands = content->sizePolicy().horizontalPolicy() & QSizePolicy::ExpandFlag;
        layout->addWidget(content, 1, expands ? Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void Card::setFill(const QColor& fill) {
    if (fill == m_fill)
        return;
    m_fill = fill;
    update();
}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_fill);
    painter.drawRoundedRect(QRectF(rect()), 10, 10);
}
