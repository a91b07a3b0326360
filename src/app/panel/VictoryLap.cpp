#include "panel/VictoryLap.h"

#include "kit/Palette.h"
#include "sprites/PixelSprite.h"
#include "sprites/SpriteView.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

double VictoryLap::progress(double elapsed, double duration) {
    if (duration <= 0)
        return 1;
    return std::clamp(elapsed / duration, 0.0, 1.0);
}

QPointF VictoryLap::creatureOffset(double p, const Params& params) {
    const double travel = params.width - params.creature;
    return {p * travel, -7 * std::abs(std::sin(p * std::numbers::pi * params.hops))};
}

QList<VictoryLap::Spark> VictoryLap::sparksAt(double p, double canvasHeight, const Params& params) {
    QList<Spark> sparks;
    // One spark has no place along the track, so it never shows (and nothing divides by zero).
    if (params.sparks < 2)
        return sparks;
    const double travel = params.width - params.creature;
    const QColor colors[] = {Palette::positive(), Palette::caution(), Palette::accent()};
    for (int i = 0; i < params.sparks; ++i) {
        const double f = static_cast<double>(i) / (params.sparks - 1);
        const double age = p - f;
        if (age <= 0 || age >= 0.3)
            continue;
        const double fade = 1 - age / 0.3;
        const double noise = std::sin(i * 12.9898) * 43758.5453;
        const double r = noise - std::floor(noise);
        const double jx = r * 6 - 3;
        const double w = std::sin(i * 2.1);
        const double x = travel * f + params.creature / 2 + jx;
        sparks.append({i, QRectF(x, canvasHeight / 2 + 3.6 * w, 3, 3),
                       QRectF(x + 6, canvasHeight / 2 - 9 * w - 5 * fade, 3, 3), colors[i % 3], fade});
    }
    return sparks;
}

VictoryLap::VictoryLap(Vorlix::Source agent, const Clock& clock, Params params, QWidget* parent)
    : QWidget(parent), m_clock(clock), m_agent(agent), m_params(params) {
    setFixedHeight(static_cast<int>(height));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_frames.setTimerType(Qt::PreciseTimer);
    m_frames.setInterval(16);
    connect(&m_frames, &QTimer::timeout, this, [this] {
        update();
        if (elapsed() > m_params.duration)
            m_frames.stop();
    });
}

double VictoryLap::elapsed() const {
    return m_start.isValid() ? static_cast<double>(m_start.msecsTo(m_clock.now())) / 1000.0 : 0.0;
}

void VictoryLap::restart(Vorlix::Source agent) {
    m_agent = agent;
    m_start = m_clock.now();
    m_frames.start();
    update();
}

void VictoryLap::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_start.isValid())
        return;
    m_start = m_clock.now();
    m_frames.start();
}

void VictoryLap::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double p = progress(elapsed(), m_params.duration);
    for (const Spark& spark : sparksAt(p, height, m_params)) {
        QColor low = spark.color;
        low.setAlphaF(static_cast<float>(spark.fade));
        painter.fillRect(spark.low, low);
        QColor high = spark.color;
        high.setAlphaF(static_cast<float>(0.75 * spark.fade));
        painter.fillRect(spark.high, high);
    }
    const QPointF offset = creatureOffset(p, m_params);
    painter.translate(offset.x(), (height - m_params.creature) / 2 + offset.y());
    SpriteView::draw(painter, QSizeF(m_params.creature, m_params.creature), SpriteKind::done, m_agent,
                     Palette::state(SpriteKind::done), PixelSprite::secondsSinceReference(m_clock.now()));
}
