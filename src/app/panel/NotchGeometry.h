#pragma once

#include <QRectF>
#include <optional>

class QScreen;

/// The camera housing of the screen the panel hangs from; measured once at start-up.
struct NotchGeometry {
    /// What a screen reports about its top edge, so detection runs on injected facts in tests.
    struct ScreenFacts {
        QRectF frame;
        double topInset = 0;
        std::optional<QRectF> auxiliaryTopLeft;
        std::optional<QRectF> auxiliaryTopRight;
    };

    static constexpr double fallbackHeight = 32;

    QScreen* screen = nullptr;
    bool hasNotch = false;
    double notchWidth = 0;
    double notchHeight = fallbackHeight;

    static NotchGeometry detect(QScreen* screen, const ScreenFacts& facts);
    /// The primary screen, else the first; Linux screens report no housing, so this gives the centred pill.
    static NotchGeometry detect();
};
