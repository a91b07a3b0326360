#pragma once

#include "panel/IslandShape.h"

#include <QPropertyAnimation>
#include <QWidget>

/// The panel: a frameless, translucent, always-on-top window on every workspace that never takes focus but
/// still takes clicks. Its content fills it; it only moves and resizes, animated, to the frame it is given: never
/// to its content's own minimum size. Without a compositing manager its window is cut to the island's outline.
class NotchWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotchWindow)

public:
    static constexpr int animationMs = 280;
    /// Stable, so people can target the panel in their compositor's rules.
    static constexpr const char* title = "Vorlix Agents panel";

    explicit NotchWindow(QWidget* content, QWidget* parent = nullptr);

    using QWidget::layout;
    /// Animates to this frame (Qt's coordinates), raised above every other window; a newer call starts a new
    /// animation towards the newer frame. The shape is the island's, for the cut without a compositor.
    void layout(const QRect& frame, const IslandShape& shape);
    /// Where the last layout is heading, in Qt's coordinates.
    QRect targetGeometry() const { return m_target; }
    /// How many animations layout has started.
    int animations() const { return m_animations; }
    /// Whether the window is cut to the island's outline (no compositing manager).
    bool shaped() const { return m_shaped; }
    /// Above every other window, where the platform stacks windows for us (X11).
    void bringToFront();

signals:
    /// A layout started moving the window towards frame.
    void moving(const QRect& frame);
    /// The window reached the frame of the last layout.
    void settled();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void cut();

    QWidget* m_content;
    QPropertyAnimation m_animation;
    QRect m_target;
    IslandShape m_shape;
    bool m_shaped = false;
    int m_animations = 0;
};
