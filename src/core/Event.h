#pragma once

#include "Canonical.h"
#include "JSONValue.h"
#include "Source.h"
#include "TerminalContext.h"

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
    TerminalContext terminal;
    double ts = 0;

    nlohmann::json toJson() const;
    /// Compact JSON on one line, without the newline.
    std::string toLine() const;
    /// Fails as a whole on a missing required key, a wrong type or an unknown raw value.
    static std::optional<Event> fromJson(const nlohmann::json& json);
    static std::optional<Event> fromLine(std::string_view line);
};

} // namespace Vorlix
