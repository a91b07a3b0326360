#include "sprites/SpriteView.h"

#include "kit/Palette.h"
#include "sprites/PixelSprite.h"
#include "support/Clock.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

SpriteView::SpriteView(SpriteKind kind, Vorlix::Source agent, double size, std::optional<QColor> color, QWidget* parent)
    : SpriteView(kind, agent, size, std::move(color), Clock::system(), parent) {}

SpriteView::SpriteView(SpriteKind kind, Vorlix::Source agent, double size, std::optional<QColor> color,
                       const Clock& clock, QWidget* parent)
    : QWidget(parent), m_clock(clock), m_kind(kind), m_agent(agent), m_size(size), m_color(std::move(color)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setFixedSize(static_cast<int>(std::ceil(size)), static_cast<int>(std::ceil(size)));
    m_flipTimer.setSingleShot(true);
    m_flipTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_flipTimer, &QTimer::timeout, this, &SpriteView::onFlipDue);
}

void SpriteView::setKind(SpriteKind kind) {
    if (kind == m_kind)
        return;
    m_kind = kind;
    update();
    scheduleFlip();
}

void SpriteView::setAgent(Vorlix::Source agent) {
    if (agent == m_agent)
        return;
    m_agent = agent;
    update();
}

void SpriteView::setSize(double size) {
    m_size = size;
    setFixedSize(static_cast<int>(std::ceil(size)), static_cast<int>(std::ceil(size)));
    update();
}

void SpriteView::setColor(std::optional<QColor> color) {
    m_color = std::move(color);
    update();
}

QColor SpriteView::fillColor() const {
    return m_color.value_or(Palette::state(m_kind));
}

int SpriteView::pendingRepaintMs() const {
    return m_flipTimer.isActive() ? m_flipTimer.remainingTime() : -1;
}

double SpriteView::now() const {
    return PixelSprite::secondsSinceReference(m_clock.now());
}

void SpriteView::draw(QPainter& painter, const QSizeF& canvas, SpriteKind kind, Vorlix::Source agent,
                      const QColor& color, double t) {
    const double side = std::min(canvas.width(), canvas.height());
    const double cell = side / PixelSprite::grid;
    const double inset = 0.08 * cell;
    const double square = 0.84 * cell;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    for (int y = 0; y < PixelSprite::grid; ++y) {
        for (int x = 0; x < PixelSprite::grid; ++x) {
            if (PixelSprite::lit(kind, agent, x, y, t))
                painter.drawRect(QRectF(x * cell + inset, y * cell + inset, square, square));
        }
    }
    painter.restore();
}

void SpriteView::paintEvent(QPaintEvent*) {
    const double t = now();
    m_paintedFrame = PixelSprite::frameIndex(m_kind, t);
    QPainter painter(this);
    draw(painter, QSizeF(std::min<double>(width(), m_size), std::min<double>(height(), m_size)), m_kind, m_agent,
         fillColor(), t);
}

void SpriteView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    scheduleFlip();
}

void SpriteView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_flipTimer.stop();
}

void SpriteView::scheduleFlip() {
    if (!isVisible())
        return;
    const double t = now();
    const double wait = PixelSprite::nextFrameBoundary(m_kind, t) - t;
    // Round up so the timer never fires just before the boundary and finds the old frame.
    m_flipTimer.start(std::max(1, static_cast<int>(std::ceil(wait * 1000.0))));
}

void SpriteView::onFlipDue() {
    if (PixelSprite::frameIndex(m_kind, now()) != m_paintedFrame)
        update();
    scheduleFlip();
}
