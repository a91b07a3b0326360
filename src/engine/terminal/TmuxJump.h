#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>
#include <vector>

/// Brings one tmux pane forward: its window and pane become the current ones, and a client shows its session.
class TmuxJump final {
public:
    struct Result {
        /// The pane is now what an attached client shows.
        bool ok = false;
        /// Processes of the clients that show it, most recently used first.
        std::vector<pid_t> clientPids;
        QString error;
    };

    /// `socket` is the server's socket path (tmux's default server when absent); `pane` a target such as "%3".
    static Result go(const QString& tmux, const std::optional<QString>& socket, const QString& pane);
};
