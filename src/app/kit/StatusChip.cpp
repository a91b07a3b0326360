#include "kit/StatusChip.h"

#include "kit/Palette.h"
#include "kit/SessionStatus.h"
#include "kit/Type.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace {
constexpr double horizontalPadding = 7;
constexpr double verticalPadding = 3;

const QFont& chipFont() {
    static const QFont font = [] {
        QFont f = Type::mono(9, QFont::Bold);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 0.7);
        return f;
    }();
    return font;
}
} // namespace

StatusChip::StatusChip(SpriteKind kind, QWidget* parent) : QWidget(parent), m_kind(kind) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatusChip::setKind(SpriteKind kind) {
    if (kind == m_kind)
        return;
    m_kind = kind;
    updateGeometry();
    update();
}

void StatusChip::setAttention(Session::Attention attention) {
    if (attention == m_attention)
        return;
    m_attention = attention;
    updateGeometry();
    update();
}

QString StatusChip::text() const {
    const QString asked = SessionStatus::label(m_attention);
    return (asked.isEmpty() ? SessionStatus::label(m_kind) : asked).toUpper();
}

QColor StatusChip::textColor() const {
    return m_attention == Session::Attention::none ? Palette::state(m_kind) : Palette::attention(m_attention);
}

QColor StatusChip::capsuleColor() const {
    return Palette::withOpacity(Palette::state(m_kind), 0.16);
}

QSize StatusChip::sizeHint() const {
    const QFontMetricsF metrics(chipFont());
    return QSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(text()) + 2 * horizontalPadding)),
                 static_cast<int>(std::ceil(metrics.height() + 2 * verticalPadding)));
}

void StatusChip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(capsuleColor());
    const QRectF box(rect());
    painter.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    painter.setPen(textColor());
    painter.setFont(chipFont());
    painter.drawText(box, Qt::AlignCenter, text());
}
