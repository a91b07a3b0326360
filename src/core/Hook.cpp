#include "Hook.h"

namespace Vorlix {

bool isGating(Source source, Canonical event, const std::optional<std::string>& /*toolName*/) {
    switch (source) {
    case Source::claude:
    case Source::codex:
        // Questions and plans too: their PermissionRequest follows the PreToolUse of the same call, and holding
        // both would ask the person twice and keep the agent from showing its own dialog meanwhile.
        return event == Canonical::permissionRequest;
    case Source::grok:
    case Source::kiro:
        return event == Canonical::preToolUse;
    }
    return false;
}

std::optional<JSONValue> field(const JSONValue& value, std::initializer_list<std::string_view> keys) {
    if (!value.isObject() || value.object().empty())
        return std::nullopt;
    for (std::string_view key : keys) {
        if (const auto* member = value.find(key))
            return *member;
    }
    return std::nullopt;
}

} // namespace Vorlix
