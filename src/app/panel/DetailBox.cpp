#include "panel/DetailBox.h"

#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/Type.h"
#include "panel/LineWrap.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr int barWidth = 8;
constexpr int markerGap = 6;

// The padding lies outside the scrolled area, so what scrolls is cut at line edges and never shows half a line.
class PaddedScrollArea final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    using QScrollArea::setViewportMargins;
};

int markerRow() {
    return markerGap + QFontMetrics(Type::caption()).height();
}

void addWrapped(QList<DetailText::Line>& out, const QString& text, DiffLine::Kind kind, bool diff) {
    static const QFontMetricsF metrics(Type::bodyMono());
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        line.replace(QLatin1Char('\t'), QStringLiteral("    "));
        for (const QString& part : LineWrap::wrap(line, metrics, DetailBox::textWidth))
            out.append({part, kind, diff});
    }
}

} // namespace

DetailBox::DetailBox(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(markerGap);

    auto* scroll = new PaddedScrollArea(this);
    m_scroll = scroll;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setAttribute(Qt::WA_TranslucentBackground);
    scroll->setStyleSheet(QStringLiteral("QScrollArea{background:transparent}"));
    // A thin light thumb on the dark box, in the right padding.
    scroll->verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical{background:transparent;width:%1px;margin:6px 2px 6px 0}"
                       "QScrollBar::handle:vertical{background:rgba(255,255,255,90);border-radius:3px;min-height:18px}"
                       "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0}"
                       "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:transparent}")
            .arg(barWidth));
    m_text = new DetailText;
    scroll->setWidget(m_text);
    m_text->setAutoFillBackground(false);
    column->addWidget(scroll);

    m_marker = PlainLabel::make(QString(), Type::caption(), Palette::text3(), this);
    column->addWidget(m_marker);

    QScrollBar* bar = scroll->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, &DetailBox::onScrolled);
    connect(bar, &QScrollBar::rangeChanged, this, &DetailBox::onScrolled);
    setContent(QString(), std::nullopt, Palette::card(), false);
}

QList<DetailText::Line> DetailBox::linesFor(const QString& detail, const std::optional<FileChange>& change, bool all) {
    QList<DetailText::Line> out;
    addWrapped(out, detail.isEmpty() ? QStringLiteral("(no arguments)") : detail, DiffLine::Kind::context, false);
    if (!change)
        return out;
    const LineDiff::Shown shown =
        all ? LineDiff::Shown{LineDiff::compact(change->lines), 0} : LineDiff::shown(change->lines);
    for (const DiffLine& line : shown.lines)
        addWrapped(out, LineDiff::marked(line), line.kind, true);
    if (shown.more > 0)
        addWrapped(out, LineDiff::moreText(shown.more), DiffLine::Kind::context, true);
    return out;
}

int DetailBox::lineHeight() {
    const QFontMetricsF metrics(Type::bodyMono());
    return static_cast<int>(std::ceil(metrics.ascent() + metrics.descent() + metrics.leading()));
}

qsizetype DetailBox::shownFor(qsizetype lines, bool grows, int room) {
    const qsizetype total = std::max<qsizetype>(1, lines);
    if (!grows)
        return std::min<qsizetype>(total, maxLines);
    const int line = lineHeight();
    if (total * line + 2 * padding <= room)
        return total;
    return std::min<qsizetype>(total, std::max(maxLines, (room - 2 * padding - markerRow()) / line));
}

int DetailBox::heightFor(qsizetype lines, bool grows, int room) {
    const qsizetype shown = shownFor(lines, grows, room);
    return static_cast<int>(shown) * lineHeight() + 2 * padding + (shown < lines ? markerRow() : 0);
}

const QList<DetailText::Line>& DetailBox::lines() const {
    return m_text->lines();
}

void DetailBox::setContent(const QString& detail, const std::optional<FileChange>& change, QColor fill, bool risky) {
    m_fill = fill;
    // A diff shows its replacement lines right under what they replace: never behind a four-line fold.
    m_grows = risky || change.has_value();
    PlainLabel::style(m_marker, Type::caption(), risky ? Palette::caution() : Palette::text3());
    m_text->setLines(linesFor(detail, change, risky), lineHeight());
    m_reachedEnd = false;
    relayout();
    m_scroll->verticalScrollBar()->setValue(0);
    onScrolled();
    update();
}

void DetailBox::setRoom(int height) {
    if (height == m_room)
        return;
    m_room = height;
    relayout();
}

void DetailBox::relayout() {
    const qsizetype total = m_text->lines().size();
    const int line = lineHeight();
    m_shown = shownFor(total, m_grows, m_room);
    const bool overflows = m_shown < total;
    m_scroll->setFixedHeight(static_cast<int>(m_shown) * line + 2 * padding);
    m_scroll->setVerticalScrollBarPolicy(overflows ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    // The text keeps its 440 pixels beside the bar.
    static_cast<PaddedScrollArea*>(m_scroll)->setViewportMargins(padding, padding,
                                                                 overflows ? padding - barWidth : padding, padding);
    m_scroll->verticalScrollBar()->setSingleStep(line);
    m_marker->setVisible(overflows);
    setFixedHeight(heightFor(total, m_grows, m_room));
    onScrolled();
}

bool DetailBox::readToEnd() const {
    return m_shown >= m_text->lines().size() || m_reachedEnd;
}

qsizetype DetailBox::linesBelow() const {
    const QScrollBar* bar = m_scroll->verticalScrollBar();
    const qsizetype hidden = m_text->lines().size() - m_shown;
    if (hidden <= 0)
        return 0;
    const int line = lineHeight();
    return std::max<qsizetype>(0, hidden - (bar->value() + line - 1) / line);
}

QString DetailBox::marker() const {
    const qsizetype below = linesBelow();
    if (below > 0)
        return QStringLiteral("\u2026 %1 more line%2 below").arg(below).arg(below == 1 ? "" : "s");
    return QStringLiteral("end \u00b7 %1 lines").arg(m_text->lines().size());
}

void DetailBox::onScrolled() {
    QScrollBar* bar = m_scroll->verticalScrollBar();
    // Whole lines only, wherever the thumb was dragged to.
    const int line = lineHeight();
    if (const int snapped = std::min(bar->maximum(), (bar->value() + line / 2) / line * line);
        snapped != bar->value()) {
        bar->setValue(snapped);
        return;
    }
    m_marker->setText(marker());
    // Only a scroll the person made to the last line counts; a box that shows everything has been read.
    if (linesBelow() == 0 && m_shown < m_text->lines().size() && bar->maximum() > 0)
        m_reachedEnd = true;
    if (readToEnd() != m_reported) {
        m_reported = readToEnd();
        emit readToEndChanged(m_reported);
    }
}

void DetailBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(m_scroll->geometry()), 9, 9);
    painter.fillPath(path, m_fill);
}
