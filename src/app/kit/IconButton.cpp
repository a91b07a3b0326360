#include "kit/IconButton.h"

#include "kit/Palette.h"
#include "kit/SymbolImage.h"

#include <QPainter>

IconButton::IconButton(QString name, QColor tint, QWidget* parent)
    : HoverButton(parent), m_name(std::move(name)), m_tint(std::move(tint)) {
    setFixedSize(26, 26);
}

QColor IconButton::background(double progress) const {
    return Palette::mix(Palette::card(), Palette::cardHi(), progress);
}

QColor IconButton::symbolColor(double progress) const {
    QColor opaque = m_tint;
    opaque.setAlphaF(1.0f);
    return Palette::mix(m_tint, opaque, progress);
}

void IconButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background(hoverProgress()));
    painter.drawRoundedRect(QRectF(rect()), 7, 7);
    const QPixmap symbol = SymbolImage::pixmap(m_name, 12, symbolColor(hoverProgress()), devicePixelRatioF());
    painter.drawPixmap(QPointF((width() - 12) / 2.0, (height() - 12) / 2.0), symbol);
}
