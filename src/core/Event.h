#pragma once

#include "Canonical.h"
#include "JSONValue.h"
#include "Source.h"
#include "TerminalContext.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace Vorlix {

/// One hook invocation, canonicalised: the request line on the socket.
struct Event {
    std::string id;
    Source source = Source::claude;
    Canonical event = Canonical::other;
    std::string rawEvent;
    bool gating = false;
    std::optional<std::string> sessionID;
    std::optional<std::string> cwd;
    std::optional<std::string> toolName;
    std::optional<JSONValue> toolInput;
    std::optional<std::string> transcriptPath;
    /// The agent's own words: a Notification's message, or the last assistant message of a Stop (bounded).
    std::optional<std::string> message = std::nullopt;
    /// A Notification's kind, e.g. "permission_prompt" or "idle_prompt".
    std::optional<std::string> notificationType = std::nullopt;
    TerminalContext terminal;
    double ts = 0;

    /// Longest message carried, in bytes; a longer one is cut at a character boundary.
    static constexpr std::size_t messageLimit = 4096;

    nlohmann::json toJson() const;
    /// Compact JSON on one line, without the newline.
    std::string toLine() const;
    /// Fails as a whole on a missing required key, a wrong type or an unknown raw value.
    static std::optional<Event> fromJson(const nlohmann::json& json);
    static std::optional<Event> fromLine(std::string_view line);
};

} // namespace Vorlix
