#include "settings/SegmentedPicker.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int segmentHeight = 30;
constexpr int inset = 2;

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
    painter.setBrush(QColor(0, 0, 0, 90));
    painter.drawRoundedRect(QRectF(rect()), 8, 8);
    painter.setFont(segmentFont());
    for (int i = 0; i < m_titles.size(); ++i) {
        const QRect segment = segmentRect(i);
        if (i == m_current) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 255, 255, 36));
            painter.drawRoundedRect(QRectF(segment), 6, 6);
        }
        painter.setPen(i == m_current ? QColor(255, 255, 255, 242) : QColor(255, 255, 255, 153));
        const QString text = painter.fontMetrics().elidedText(m_titles[i], Qt::ElideRight, segment.width() - 8);
        painter.drawText(segment, Qt::AlignCenter, text);
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
