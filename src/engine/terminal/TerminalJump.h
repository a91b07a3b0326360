#pragma once

#include "TerminalContext.h"

#include <QString>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

/// Takes a person to the terminal an agent runs in: the multiplexer's or terminal's own pane first (tmux, WezTerm,
/// kitty, when installed), then the top-level window of the terminal's process, through the display's raiser.
class TerminalJump final {
public:
    struct Result {
        bool ok = false;
        /// For the person when nothing could be brought forward.
        QString message;
    };

    /// Activates the window of the first process of a lineage (a process, its parent, ...) that owns exactly one
    /// top-level window; false when none does or the window manager did not take it.
    using WindowRaiser = std::function<bool(const std::vector<pid_t>& lineage)>;

    /// Without a raiser (no display) only the terminals' own programs are asked.
    explicit TerminalJump(WindowRaiser raiser = {});

    Result go(const std::optional<Vorlix::TerminalContext>& terminal) const;

    static QString cantBringForward();

private:
    WindowRaiser m_raiser;
};
