#pragma once

#include "sessions/SpriteKind.h"

#include <QString>

/// What an activity means to the person watching: still working, finished, or waiting for them.
class SessionStatus final {
public:
    enum class Status { active, completed, needsYou };

    static Status of(SpriteKind kind);
    /// "active", "completed" or "needs you".
    static QString label(SpriteKind kind);
};
