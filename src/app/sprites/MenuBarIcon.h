#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

/// The tray's 18 × 18 icon: frame A of the Claude Code idle creature, dithered, in one colour.
class MenuBarIcon final {
public:
    static constexpr double side = 18.0;
    static constexpr double cell = side / 16.0;

    /// The icon at scale × its size, on a transparent background.
    static QImage render(const QColor& color, int scale);
    /// 1× and 2× renderings, so high-density trays stay crisp.
    static QIcon icon(const QColor& color);
};
