#pragma once

#include "panel/NotchGeometry.h"

#include <QPropertyAnimation>
#include <QWidget>
#include <optional>

/// The panel: a frameless, translucent, always-on-top window on every workspace that never takes focus but
/// still takes clicks. Its content fills it; it only moves and resizes, animated.
class NotchWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotchWindow)

public:
    static constexpr int animationMs = 280;
    /// Stable, so people can target the panel in their compositor's rules.
    static constexpr const char* title = "Vorlix Agents panel";

    explicit NotchWindow(QWidget* content, QWidget* parent = nullptr);

    using QWidget::layout;
    /// Animates to the frame for this size: top edge on the screen's top, the notch notchLeading from the left
    /// edge, or centred when absent. A newer call starts a new animation towards the newer frame.
    void layout(const QSizeF& size, const NotchGeometry& geo, std::optional<double> notchLeading);
    /// Where the last layout is heading, in Qt's coordinates.
    QRect targetGeometry() const { return m_target; }
    /// How many animations layout has started.
    int animations() const { return m_animations; }

private:
    QWidget* m_content;
    QPropertyAnimation m_animation;
    QRect m_target;
    int m_animations = 0;
};
