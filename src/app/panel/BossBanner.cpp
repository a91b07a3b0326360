#include "panel/BossBanner.h"

#include "kit/Metrics.h"
#include "kit/Palette.h"
#include "kit/Type.h"
#include "sprites/PixelSprite.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

QFont titleFont() {
    QFont font = Type::mono(12, QFont::Black);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    return font;
}

} // namespace

BossBanner::BossBanner(const Clock& clock, QWidget* parent) : QWidget(parent), m_clock(clock) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_flip.setSingleShot(true);
    m_flip.setTimerType(Qt::PreciseTimer);
    connect(&m_flip, &QTimer::timeout, this, [this] {
        update();
        scheduleFlip();
    });
}

bool BossBanner::phaseOn(double secondsSinceReference) {
    return static_cast<long long>(std::floor(2 * secondsSinceReference)) % 2 == 0;
}

bool BossBanner::on() const {
    return phaseOn(PixelSprite::secondsSinceReference(m_clock.now()));
}

QSize BossBanner::sizeHint() const {
    return {300, QFontMetrics(titleFont()).height() + 2 * Metrics::gap};
}

// Wake exactly at the next half second, so every banner flips together and nothing wakes in between.
void BossBanner::scheduleFlip() {
    const double t = PixelSprite::secondsSinceReference(m_clock.now());
    const double next = (std::floor(2 * t) + 1) / 2;
    m_flip.start(std::max(1, static_cast<int>(std::ceil((next - t) * 1000))));
}

void BossBanner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    scheduleFlip();
}

void BossBanner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_flip.stop();
}

void BossBanner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool lit = on();
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
    painter.fillPath(outline, Palette::withOpacity(Palette::danger(), lit ? 0.22 : 0.12));
    painter.setPen(QPen(Palette::withOpacity(Palette::danger(), lit ? 0.70 : 0.35), 1));
    painter.drawPath(outline);

    const QRect inner = rect().adjusted(Metrics::wideGap, Metrics::gap, -Metrics::wideGap, -Metrics::gap);
    painter.setFont(titleFont());
    painter.setPen(Palette::danger());
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("\u26a0 BOSS FIGHT"));
    painter.setFont(Type::mono(10, QFont::Bold));
    painter.setPen(Palette::text2());
    painter.drawText(inner, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("destructive"));
}
