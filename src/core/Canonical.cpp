#include "Canonical.h"

#include <string>

namespace Vorlix {

std::optional<Canonical> canonicalFromRaw(std::string_view raw) {
    for (Canonical event : allCanonicals) {
        if (rawValue(event) == raw)
            return event;
    }
    return std::nullopt;
}

std::string_view rawValue(Canonical event) {
    switch (event) {
    case Canonical::sessionStart:
        return "sessionStart";
    case Canonical::sessionEnd:
        return "sessionEnd";
    case Canonical::userPromptSubmit:
        return "userPromptSubmit";
    case Canonical::preToolUse:
        return "preToolUse";
    case Canonical::postToolUse:
        return "postToolUse";
    case Canonical::permissionRequest:
        return "permissionRequest";
    case Canonical::stop:
        return "stop";
    case Canonical::notification:
        return "notification";
    case Canonical::other:
        return "other";
    }
    return "other";
}

Canonical canonicalize(std::string_view rawEvent) {
    std::string key;
    key.reserve(rawEvent.size());
    for (char c : rawEvent) {
        if (c == '_')
            continue;
        // ASCII lower-casing: every key in the table is ASCII, so nothing else could match anyway.
        key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    static constexpr std::pair<std::string_view, Canonical> table[] = {
        {"sessionstart", Canonical::sessionStart},
        {"sessionend", Canonical::sessionEnd},
        {"userpromptsubmit", Canonical::userPromptSubmit},
        {"pretooluse", Canonical::preToolUse},
        {"posttooluse", Canonical::postToolUse},
        {"permissionrequest", Canonical::permissionRequest},
        {"stop", Canonical::stop},
        {"notification", Canonical::notification},
    };
    for (const auto& [normalised, event] : table) {
        if (key == normalised)
            return event;
    }
    return Canonical::other;
}

} // namespace Vorlix
