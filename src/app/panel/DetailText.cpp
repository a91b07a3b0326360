#include "panel/DetailText.h"

#include "kit/Palette.h"
#include "kit/Type.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace {

QColor strip(const DetailText::Line& line) {
    if (line.kind == DiffLine::Kind::removed)
        return Palette::withOpacity(Palette::danger(), 0.18);
    if (line.kind == DiffLine::Kind::added)
        return Palette::withOpacity(Palette::positive(), 0.16);
    return Qt::transparent;
}

QColor ink(const DetailText::Line& line) {
    if (!line.diff)
        return Palette::text();
    switch (line.kind) {
    case DiffLine::Kind::removed:
    case DiffLine::Kind::added:
        return Palette::text();
    case DiffLine::Kind::note:
        return Palette::caution();
    case DiffLine::Kind::context:
    case DiffLine::Kind::gap:
        break;
    }
    return Palette::text3();
}

} // namespace

DetailText::DetailText(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFont(Type::bodyMono());
}

void DetailText::setLines(QList<Line> lines, int lineHeight) {
    m_lines = std::move(lines);
    m_lineHeight = std::max(1, lineHeight);
    setFixedHeight(static_cast<int>(m_lines.size()) * m_lineHeight);
    update();
}

void DetailText::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setFont(font());
    const QFontMetricsF metrics(font());
    const double baseline = metrics.leading() / 2 + metrics.ascent();
    const qsizetype first = std::max(0, event->rect().top() / m_lineHeight);
    const qsizetype last = std::min<qsizetype>(m_lines.size() - 1, event->rect().bottom() / m_lineHeight);
    for (qsizetype i = first; i <= last; ++i) {
        const Line& line = m_lines[i];
        const int top = static_cast<int>(i) * m_lineHeight;
        if (const QColor fill = strip(line); fill.alpha() > 0)
            painter.fillRect(QRect(0, top, width(), m_lineHeight), fill);
        painter.setPen(ink(line));
        painter.drawText(QPointF(0, top + baseline), line.text);
    }
}
