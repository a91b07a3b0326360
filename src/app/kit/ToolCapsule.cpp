#include "kit/ToolCapsule.h"

#include "kit/Palette.h"
#include "kit/Type.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

ToolCapsule::ToolCapsule(QString text, QWidget* parent) : QWidget(parent), m_text(std::move(text)) {
    setFont(Type::mono(11, QFont::Medium));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ToolCapsule::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

QSize ToolCapsule::sizeHint() const {
    const QFontMetrics metrics(font());
    // Two pixels of slack: painted text may be a fraction wider than the integer metrics say.
    return {std::min(180, metrics.horizontalAdvance(m_text)) + 20, metrics.height() + 8};
}

void ToolCapsule::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
    painter.fillPath(capsule, Palette::cardHi());
    painter.setPen(Palette::text2());
    const QRect inner = rect().adjusted(9, 0, -9, 0).adjusted(-1, 0, 1, 0);
    painter.drawText(inner, Qt::AlignCenter, QFontMetrics(font()).elidedText(m_text, Qt::ElideRight, inner.width()));
}
