#pragma once

#include "Source.h"
#include "sessions/SpriteKind.h"

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <optional>

class Clock;

/// One creature, size × size, animated as a pure function of the wall clock. It repaints only when its
/// frame flips, at the kind's absolute frame boundaries, so every sprite of a kind flips at the same instant.
class SpriteView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpriteView)

public:
    SpriteView(SpriteKind kind, Vorlix::Source agent, double size = 18, std::optional<QColor> color = std::nullopt,
               QWidget* parent = nullptr);
    /// Tests pass a clock that stands still.
    SpriteView(SpriteKind kind, Vorlix::Source agent, double size, std::optional<QColor> color, const Clock& clock,
               QWidget* parent = nullptr);

    SpriteKind kind() const { return m_kind; }
    Vorlix::Source agent() const { return m_agent; }
    double size() const { return m_size; }
    void setKind(SpriteKind kind);
    void setAgent(Vorlix::Source agent);
    void setSize(double size);
    void setColor(std::optional<QColor> color);
    /// The colour the cells are filled with: the given one, else the kind's tint.
    QColor fillColor() const;
    /// Milliseconds until the next repaint is due; negative when none is scheduled.
    int pendingRepaintMs() const;

    /// Draws the cells lit at t into the top-left square of a canvas: cell = shorter side / 16,
    /// inset 8 % and square 84 % of a cell. Nothing else is drawn.
    static void draw(QPainter& painter, const QSizeF& canvas, SpriteKind kind, Vorlix::Source agent,
                     const QColor& color, double t);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    double now() const;
    void scheduleFlip();
    void onFlipDue();

    const Clock& m_clock;
    SpriteKind m_kind;
    Vorlix::Source m_agent;
    double m_size;
    std::optional<QColor> m_color;
    int m_paintedFrame = -1;
    QTimer m_flipTimer;
};
