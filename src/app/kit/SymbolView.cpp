#include "kit/SymbolView.h"

#include "kit/SymbolImage.h"

#include <QPainter>

SymbolView::SymbolView(QString name, int size, int frameWidth, QColor color, QWidget* parent)
    : QWidget(parent), m_name(std::move(name)), m_size(size), m_color(color) {
    setFixedSize(frameWidth, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap image = SymbolImage::pixmap(m_name, m_size, m_color, devicePixelRatioF());
    painter.drawPixmap(QPointF((width() - m_size) / 2.0, (height() - m_size) / 2.0), image);
}
