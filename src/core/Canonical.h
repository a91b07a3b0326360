#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace Vorlix {

/// The canonical lifecycle event.
enum class Canonical {
    sessionStart,
    sessionEnd,
    userPromptSubmit,
    preToolUse,
    postToolUse,
    permissionRequest,
    stop,
    notification,
    other
};

inline constexpr std::array<Canonical, 9> allCanonicals{
    Canonical::sessionStart, Canonical::sessionEnd,   Canonical::userPromptSubmit,
    Canonical::preToolUse,   Canonical::postToolUse,  Canonical::permissionRequest,
    Canonical::stop,         Canonical::notification, Canonical::other};

/// Exact match of the raw values ("preToolUse", not "PreToolUse").
std::optional<Canonical> canonicalFromRaw(std::string_view raw);
std::string_view rawValue(Canonical event);

/// Normalises an agent's own event name: underscores dropped, lower-cased, looked up; else `other`.
Canonical canonicalize(std::string_view rawEvent);

} // namespace Vorlix
