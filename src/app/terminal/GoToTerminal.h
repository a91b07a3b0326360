#pragma once

#include "TerminalContext.h"
#include "terminal/TerminalJump.h"

#include <optional>

/// What a "Go to terminal" click calls: the session's own pane through its terminal, then its window on X11.
class GoToTerminal final {
public:
    /// Blocks for the few milliseconds the terminals' programs and the window manager take. On failure the
    /// result's message is the one line to show the person.
    static TerminalJump::Result go(const std::optional<Vorlix::TerminalContext>& terminal);
};
