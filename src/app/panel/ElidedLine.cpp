#include "panel/ElidedLine.h"

#include <QFontMetrics>
#include <QPainter>

ElidedLine::ElidedLine(QString text, const QFont& font, QColor color, Qt::TextElideMode mode, QWidget* parent)
    : QWidget(parent), m_text(std::move(text)), m_color(color), m_mode(mode) {
    setFont(font);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLine::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

QString ElidedLine::shownText() const {
    return QFontMetrics(font()).elidedText(m_text, m_mode, width());
}

QSize ElidedLine::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_text), metrics.height()};
}

QSize ElidedLine::minimumSizeHint() const {
    return {0, QFontMetrics(font()).height()};
}

void ElidedLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(m_color);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}
