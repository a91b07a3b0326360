#include "kit/FlatButton.h"

#include "kit/Palette.h"
#include "kit/Type.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace {
constexpr double horizontalPadding = 14;
constexpr double verticalPadding = 8;

const QFont& labelFont() {
    static const QFont font = Type::standard(12, QFont::DemiBold);
    return font;
}
} // namespace

FlatButton::FlatButton(const QString& title, QColor tint, bool filled, bool wide, QWidget* parent)
    : HoverButton(parent), m_tint(std::move(tint)), m_filled(filled), m_wide(wide) {
    setText(title);
    setFont(labelFont());
    setSizePolicy(wide ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void FlatButton::setFilled(bool filled) {
    if (filled == m_filled)
        return;
    m_filled = filled;
    update();
}

QColor FlatButton::background(double progress) const {
    if (m_filled)
        return Palette::mix(Palette::withOpacity(m_tint, 0.9), m_tint, progress);
    return Palette::mix(Palette::card(), Palette::cardHi(), progress);
}

QColor FlatButton::textColor() const {
    return m_filled ? QColor::fromRgbF(0, 0, 0, 0.88f) : Palette::text();
}

QSize FlatButton::sizeHint() const {
    const QFontMetricsF metrics(font());
    const double padding = m_wide ? 0 : 2 * horizontalPadding;
    return QSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(text()) + padding)),
                 static_cast<int>(std::ceil(metrics.lineSpacing() + 2 * verticalPadding)));
}

QSize FlatButton::minimumSizeHint() const {
    return sizeHint();
}

void FlatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background(isEnabled() ? hoverProgress() : 0));
    painter.drawRoundedRect(QRectF(rect()), 8, 8);
    painter.setPen(textColor());
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}
