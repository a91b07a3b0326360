#pragma once

#include "Source.h"
#include "support/Clock.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QTimer>
#include <QWidget>

/// The lap's shape: track width, run time, number of hops, creature size and spark count.
struct LapParams {
    double width = 464;
    double duration = 1.5;
    double hops = 3;
    double creature = 22;
    int sparks = 20;
};

/// The finished agent's creature hopping across the card, leaving sparks that flicker up and fade.
class VictoryLap final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VictoryLap)

public:
    using Params = LapParams;
    struct Spark {
        int index;
        QRectF low;
        QRectF high;
        QColor color;
        /// 1 when fresh, towards 0 with age; the low square's opacity, the high one's × 0.75.
        double fade;
    };

    static constexpr double height = 40;

    /// elapsed ÷ duration, clamped to 0…1.
    static double progress(double elapsed, double duration);
    /// The creature's offset from its resting place at the left: along the track, and up (negative) in hops.
    static QPointF creatureOffset(double p, const Params& params);
    /// The sparks alive at progress p on a canvas canvasHeight tall.
    static QList<Spark> sparksAt(double p, double canvasHeight, const Params& params);

    VictoryLap(Vorlix::Source agent, const Clock& clock = Clock::system(), Params params = LapParams(),
               QWidget* parent = nullptr);

    Vorlix::Source agent() const { return m_agent; }
    /// Runs again from the start, for this agent.
    void restart(Vorlix::Source agent);
    /// Whether it is still redrawing: false before it is shown and once the run is over.
    bool playing() const { return m_frames.isActive(); }
    double elapsed() const;

    QSize sizeHint() const override { return {static_cast<int>(m_params.width), static_cast<int>(height)}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    const Clock& m_clock;
    Vorlix::Source m_agent;
    const Params m_params;
    QDateTime m_start;
    QTimer m_frames;
};
