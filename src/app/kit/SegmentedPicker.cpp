#include "kit/SegmentedPicker.h"

#include "kit/Palette.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int segmentHeight = 30;
constexpr int inset = 2;
constexpr int textPadding = 6;

QFont segmentFont() {
    QFont font;
    font.setPixelSize(12);
    font.setWeight(QFont::Medium);
    return font;
}
} // namespace

SegmentedPicker::SegmentedPicker(QStringList titles, QWidget* parent) : QWidget(parent), m_titles(std::move(titles)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void SegmentedPicker::setCurrent(int index) {
    if (index == m_current)
        return;
    m_current = index;
    update();
}

QRect SegmentedPicker::segmentRect(int index) const {
    const int count = static_cast<int>(m_titles.size());
    if (count == 0)
        return {};
    const int inner = width() - 2 * inset;
    const int left = inset + inner * index / count;
    const int right = inset + inner * (index + 1) / count;
    return {left, inset, right - left, height() - 2 * inset};
}

int SegmentedPicker::heightForWidth(int width) const {
    const int count = static_cast<int>(m_titles.size());
    if (count == 0)
        return segmentHeight;
    const QFontMetrics metrics(segmentFont());
    const int room = (width - 2 * inset) / count - 2 * textPadding;
    int lines = 1;
    for (const QString& title : m_titles) {
        const QRect needed = metrics.boundingRect(QRect(0, 0, room, 1000), Qt::TextWordWrap, title);
        lines = std::max(lines, needed.height() / std::max(metrics.height(), 1));
    }
    return segmentHeight + (lines - 1) * metrics.height();
}

QSize SegmentedPicker::sizeHint() const {
    const QFontMetrics metrics(segmentFont());
    int widest = 0;
    for (const QString& title : m_titles)
        widest = std::max(widest, metrics.horizontalAdvance(title));
    return {static_cast<int>(m_titles.size()) * (widest + 16) + 2 * inset, segmentHeight};
}

void SegmentedPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 90)); // a well darker than the card it sits on
    painter.drawRoundedRect(QRectF(rect()), 8, 8);
    painter.setFont(segmentFont());
    for (int i = 0; i < m_titles.size(); ++i) {
        const QRect segment = segmentRect(i);
        if (i == m_current) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Palette::cardHi().lighter(150));
            painter.drawRoundedRect(QRectF(segment), 6, 6);
        }
        painter.setPen(i == m_current ? Palette::text() : Palette::text2());
        painter.drawText(segment.adjusted(textPadding, 0, -textPadding, 0), Qt::AlignCenter | Qt::TextWordWrap,
                         m_titles[i]);
    }
}

void SegmentedPicker::mouseReleaseEvent(QMouseEvent* event) {
    for (int i = 0; i < m_titles.size(); ++i) {
        if (segmentRect(i).contains(event->position().toPoint())) {
            setCurrent(i);
            emit chosen(i);
            return;
        }
    }
}
