#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace Vorlix {

/// The agent that produced an event.
enum class Source { claude, codex, grok, kiro };

inline constexpr std::array<Source, 4> allSources{Source::claude, Source::codex, Source::grok, Source::kiro};

/// Exact, case-sensitive match of "claude", "codex", "grok", "kiro".
std::optional<Source> sourceFromRaw(std::string_view raw);
std::string_view rawValue(Source source);
std::string_view displayName(Source source);

} // namespace Vorlix
