#include "kit/TickBox.h"

#include "kit/Palette.h"
#include "kit/Type.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int box = 14;
constexpr int gap = 8;
} // namespace

TickBox::TickBox(const QString& text, QColor tint, QWidget* parent) : QAbstractButton(parent), m_tint(tint) {
    setText(text);
    setCheckable(true);
    setFont(Type::caption());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize TickBox::sizeHint() const {
    const QFontMetrics metrics(font());
    return {box + gap + metrics.horizontalAdvance(text()), std::max(box, metrics.height()) + 2};
}

void TickBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF square(0.5, (height() - box) / 2.0 + 0.5, box - 1, box - 1);
    QPainterPath outline;
    outline.addRoundedRect(square, 3.5, 3.5);
    if (isChecked()) {
        painter.fillPath(outline, m_tint);
        QPen pen(QColor::fromRgbF(0, 0, 0, 0.85f), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(pen);
        const QPointF o = square.topLeft();
        painter.drawPolyline(QPolygonF{o + QPointF(3.2, 7), o + QPointF(5.8, 9.6), o + QPointF(10, 3.8)});
    } else {
        painter.setPen(QPen(Palette::withOpacity(m_tint, underMouse() ? 0.9 : 0.6), 1.2));
        painter.drawPath(outline);
    }
    painter.setPen(Palette::text2());
    const QRect textRect(box + gap, 0, width() - box - gap, height());
    const QString shown = QFontMetrics(font()).elidedText(text(), Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
}
