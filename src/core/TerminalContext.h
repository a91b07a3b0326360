#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace Vorlix {

/// Facts about the terminal the agent runs in, captured by the process that builds the event.
struct TerminalContext {
    std::optional<std::string> termProgram;
    std::optional<std::string> itermSessionID;
    std::optional<std::string> termSessionID;
    std::optional<std::string> tmuxPane;
    std::optional<std::string> weztermPane;
    std::optional<std::string> kittyWindowID;
    std::int32_t ppid = 0;
    /// The tmux server's socket: the first comma-separated part of the agent's `TMUX`.
    std::optional<std::string> tmuxSocket;
    /// Where kitty listens for remote control (`KITTY_LISTEN_ON`).
    std::optional<std::string> kittyListenOn;

    /// Filled from this process's environment and parent process id.
    static TerminalContext current();

    nlohmann::json toJson() const;
    static std::optional<TerminalContext> fromJson(const nlohmann::json& json);

    bool operator==(const TerminalContext&) const = default;
};

} // namespace Vorlix
