#pragma once

#include <optional>
#include <sys/types.h>
#include <vector>

/// Activates a process's top-level window through the window manager (the EWMH `_NET_ACTIVE_WINDOW` request), on
/// the X server named by DISPLAY. Opens its own short connection: Qt's is read by Qt's event thread, and the
/// server time the request carries comes from an event we must read ourselves.
class X11WindowActivator final {
public:
    /// Activates the window of the first process in `lineage` that owns exactly one managed top-level window and
    /// waits briefly until the window manager reports it active. False when none does, when one process owns
    /// several (which of them holds the agent cannot be told), or without an X server or an EWMH window manager.
    static bool activate(const std::vector<pid_t>& lineage);

    /// The process that owns the active window, as the window manager reports it.
    static std::optional<pid_t> activeProcess();
};
