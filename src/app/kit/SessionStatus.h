#pragma once

#include "sessions/Session.h"
#include "sessions/SpriteKind.h"

#include <QString>

/// What an activity means to the person watching: still working, finished, or waiting for them.
class SessionStatus final {
public:
    enum class Status { active, completed, needsYou };

    static Status of(SpriteKind kind);
    /// "active", "completed" or "needs you".
    static QString label(SpriteKind kind);
    /// "waiting for you", "waiting for input", "finished" or "denied"; empty for none.
    static QString label(Session::Attention attention);
};
