#include "TerminalContext.h"

#include "JsonFields.h"

#include <cstdlib>
#include <unistd.h>

namespace Vorlix {

namespace {
std::optional<std::string> env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

// Keys in record order; each entry pairs the JSON key with its member.
using Member = std::optional<std::string> TerminalContext::*;
constexpr std::pair<const char*, Member> members[] = {
    {"termProgram", &TerminalContext::termProgram},     {"itermSessionID", &TerminalContext::itermSessionID},
    {"termSessionID", &TerminalContext::termSessionID}, {"tmuxPane", &TerminalContext::tmuxPane},
    {"weztermPane", &TerminalContext::weztermPane},     {"kittyWindowID", &TerminalContext::kittyWindowID},
    {"tmuxSocket", &TerminalContext::tmuxSocket},       {"kittyListenOn", &TerminalContext::kittyListenOn},
};
} // namespace

TerminalContext TerminalContext::current() {
    TerminalContext context;
    context.termProgram = env("TERM_PROGRAM");
    context.itermSessionID = env("ITERM_SESSION_ID");
    context.termSessionID = env("TERM_SESSION_ID");
    context.tmuxPane = env("TMUX_PANE");
    context.weztermPane = env("WEZTERM_PANE");
    context.kittyWindowID = env("KITTY_WINDOW_ID");
    context.ppid = static_cast<std::int32_t>(getppid());
    // TMUX is "socket,server pid,session"; a socket path holding a comma cannot be told apart, as for tmux itself.
    if (auto tmux = env("TMUX"); tmux && !tmux->empty() && tmux->front() != ',')
        context.tmuxSocket = tmux->substr(0, tmux->find(','));
    context.kittyListenOn = env("KITTY_LISTEN_ON");
    return context;
}

nlohmann::json TerminalContext::toJson() const {
    auto json = nlohmann::json::object();
    for (const auto& [key, member] : members) {
        if (const auto& value = this->*member)
            json[key] = *value;
    }
    json["ppid"] = ppid;
    return json;
}

std::optional<TerminalContext> TerminalContext::fromJson(const nlohmann::json& json) {
    if (!json.is_object())
        return std::nullopt;
    TerminalContext context;
    for (const auto& [key, member] : members) {
        auto value = JsonFields::optionalString(json, key);
        if (!value.ok)
            return std::nullopt;
        context.*member = std::move(value.value);
    }
    auto ppid = JsonFields::requiredInt32(json, "ppid");
    if (!ppid)
        return std::nullopt;
    context.ppid = *ppid;
    return context;
}

} // namespace Vorlix
