#include "panel/DetailBox.h"

#include "kit/Palette.h"
#include "kit/Type.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

QString plainDetail(const QString& detail) {
    return detail.isEmpty() ? QStringLiteral("(no arguments)") : detail;
}

QLabel* lineLabel(const QString& text, const QColor& color, const QColor& background, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(Type::bodyMono());
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    if (background.alpha() > 0) {
        palette.setColor(QPalette::Window, background);
        label->setAutoFillBackground(true);
    }
    label->setPalette(palette);
    return label;
}

} // namespace

DetailBox::DetailBox(const QString& detail, const std::optional<FileChange>& change, QColor fill, QWidget* parent)
    : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(true);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    // A thin light thumb on the dark box instead of the style's light trough.
    verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical{background:transparent;width:8px;margin:6px 2px 6px 0}"
                       "QScrollBar::handle:vertical{background:rgba(255,255,255,70);border-radius:3px;min-height:18px}"
                       "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0}"
                       "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:transparent}"));

    setContent(detail, change, fill);
}

void DetailBox::setContent(const QString& detail, const std::optional<FileChange>& change, QColor fill) {
    m_fill = fill;
    // The lines are the detail's own; a new detail gets new lines, the box stays.
    auto* content = new QWidget(this);
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(0);
    column->addWidget(lineLabel(plainDetail(detail), Palette::text(), Qt::transparent, content));
    if (change) {
        const LineDiff::Shown shown = LineDiff::shown(change->lines);
        for (const DiffLine& line : shown.lines) {
            QColor color = Palette::text();
            QColor background = Qt::transparent;
            if (line.kind == DiffLine::Kind::removed)
                background = Palette::withOpacity(Palette::danger(), 0.18);
            else if (line.kind == DiffLine::Kind::added)
                background = Palette::withOpacity(Palette::positive(), 0.16);
            else
                color = Palette::text3();
            column->addWidget(lineLabel(LineDiff::marked(line), color, background, content));
        }
        if (shown.more > 0)
            column->addWidget(lineLabel(LineDiff::moreText(shown.more), Palette::text3(), Qt::transparent, content));
    }
    column->addStretch();
    setWidget(content); // deletes the previous lines
    // setWidget turns the background filling on; the box paints its own rounded fill.
    content->setAutoFillBackground(false);
    setFixedHeight(heightFor(shownText(detail, change)));
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

QString DetailBox::shownText(const QString& detail, const std::optional<FileChange>& change) {
    QStringList lines{plainDetail(detail)};
    if (change) {
        const LineDiff::Shown shown = LineDiff::shown(change->lines);
        for (const DiffLine& line : shown.lines)
            lines.append(LineDiff::marked(line));
        if (shown.more > 0)
            lines.append(LineDiff::moreText(shown.more));
    }
    return lines.join(QLatin1Char('\n'));
}

int DetailBox::lineHeight() {
    const QFontMetricsF metrics(Type::bodyMono());
    return static_cast<int>(std::ceil(metrics.ascent() + metrics.descent() + metrics.leading()));
}

int DetailBox::heightFor(const QString& text) {
    int lines = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, Type::bodyMono());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        int wrapped = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(textWidth);
            ++wrapped;
        }
        layout.endLayout();
        lines += std::max(1, wrapped);
        if (lines >= maxLines)
            break;
    }
    return lineHeight() * std::clamp(lines, 1, maxLines) + 2 * padding;
}

void DetailBox::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(viewport()->rect()), 9, 9);
        painter.fillPath(path, m_fill);
    }
    QScrollArea::paintEvent(event);
}
