#pragma once

#include <QRect>
#include <QRectF>
#include <QString>
#include <optional>

class QScreen;

/// The camera housing of the screen the panel hangs from. It names that screen instead of holding it, so a screen
/// that goes away leaves nothing dangling; the panel measures again when screens change.
struct NotchGeometry {
    /// What a screen reports about its top edge, so detection runs on injected facts in tests.
    struct ScreenFacts {
        QRectF frame;
        double topInset = 0;
        std::optional<QRectF> auxiliaryTopLeft;
        std::optional<QRectF> auxiliaryTopRight;
    };

    static constexpr double fallbackHeight = 32;

    /// The screen's name; empty for none.
    QString screen;
    bool hasNotch = false;
    double notchWidth = 0;
    double notchHeight = fallbackHeight;

    static NotchGeometry detect(QScreen* screen, const ScreenFacts& facts);
    /// The primary screen, else the first; Linux screens report no housing, so this gives the centred pill.
    static NotchGeometry detect();
    /// The named screen's frame in Qt's coordinates, read now: the primary one's when that screen is gone, an
    /// empty rectangle without any screen.
    static QRect frameOf(const NotchGeometry& geo);
    /// The same screen without the desktop's bars at its edges.
    static QRect availableFrameOf(const NotchGeometry& geo);
};
