#pragma once

#include "risk/Risk.h"
#include "sessions/Session.h"
#include "sessions/SpriteKind.h"

#include <QColor>

/// The dark, flat colours every panel and window shares, by what they mean. There is no light variant.
class Palette final {
public:
    static QColor bg() { return QColor::fromRgbF(0.09f, 0.09f, 0.10f); }
    static QColor card() { return QColor::fromRgbF(0.14f, 0.14f, 0.16f); }
    static QColor cardHi() { return QColor::fromRgbF(0.18f, 0.18f, 0.20f); }
    static QColor cardOnBlack() { return QColor::fromRgbF(0.055f, 0.055f, 0.065f); }
    static QColor hairline() { return QColor::fromRgbF(1, 1, 1, 0.08f); }
    static QColor text() { return QColor::fromRgbF(1, 1, 1, 0.95f); }
    static QColor text2() { return QColor::fromRgbF(1, 1, 1, 0.60f); }
    static QColor text3() { return QColor::fromRgbF(1, 1, 1, 0.38f); }

    /// Safe, allowed, finished, on.
    static QColor positive() { return QColor(140, 232, 140); }
    /// Worth a look: a raised risk, a person awaited, a context nearly full.
    static QColor caution() { return QColor(250, 217, 107); }
    /// Destructive or refused: a critical risk, a denial, a collision.
    static QColor danger() { return accent(); }
    /// The app's own pink: working sessions, highlights, the quit button.
    static QColor accent() { return QColor(250, 135, 191); }
    /// Trivial and normal read as safe, elevated as caution, critical as danger.
    static QColor risk(Risk level);
    /// The tint of a session in this activity: working, finished, or waiting for the person.
    static QColor state(SpriteKind kind);
    /// The tint of what a session asks of the person: waiting in caution, finished as done; denied quietly, as nothing
    /// waits any more.
    static QColor attention(Session::Attention attention);

    /// The colour with its opacity multiplied by a factor.
    static QColor withOpacity(QColor color, double factor) {
        color.setAlphaF(static_cast<float>(color.alphaF() * factor));
        return color;
    }
    /// Linear blend from a to b; 0 gives a, 1 gives b.
    static QColor mix(const QColor& a, const QColor& b, double amount);
};
