#include "Source.h"

namespace Vorlix {

std::optional<Source> sourceFromRaw(std::string_view raw) {
    for (Source source : allSources) {
        if (rawValue(source) == raw)
            return source;
    }
    return std::nullopt;
}

std::string_view rawValue(Source source) {
    switch (source) {
    case Source::claude:
        return "claude";
    case Source::codex:
        return "codex";
    case Source::grok:
        return "grok";
    case Source::kiro:
        return "kiro";
    }
    return "claude";
}

std::string_view displayName(Source source) {
    switch (source) {
    case Source::claude:
        return "Claude Code";
    case Source::codex:
        return "Codex";
    case Source::grok:
        return "Grok Build";
    case Source::kiro:
        return "Kiro CLI";
    }
    return "Claude Code";
}

} // namespace Vorlix
