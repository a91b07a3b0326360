#include "installer/HookConfig.h"

#include <array>

namespace {

using json = HookConfig::json;

struct HookRow {
    const char* event;
    int timeout;
    const char* matcher; // nullptr: no "matcher" key at all
};

constexpr int gate = HookConfig::gateTimeout;
constexpr int quick = HookConfig::eventTimeout;

constexpr std::array claudeRows{
    HookRow{"PermissionRequest", gate, "*"},     HookRow{"PreToolUse", gate, "*"},
    HookRow{"PostToolUse", quick, "*"},          HookRow{"Notification", quick, "*"},
    HookRow{"UserPromptSubmit", quick, nullptr}, HookRow{"SessionStart", quick, nullptr},
    HookRow{"SessionEnd", quick, nullptr},       HookRow{"Stop", quick, nullptr},
};

constexpr std::array codexRows{
    HookRow{"PermissionRequest", gate, nullptr},
    HookRow{"PreToolUse", gate, ""},
    HookRow{"PostToolUse", quick, ""},
    HookRow{"SessionStart", quick, nullptr},
    HookRow{"UserPromptSubmit", quick, nullptr},
    HookRow{"SessionEnd", HookConfig::codexSessionEndTimeout, nullptr},
    HookRow{"Stop", quick, nullptr},
};

constexpr std::array grokRows{
    HookRow{"PreToolUse", gate, ""},       HookRow{"PostToolUse", quick, ""}, HookRow{"SessionStart", quick, nullptr},
    HookRow{"SessionEnd", quick, nullptr}, HookRow{"Stop", quick, nullptr},
};

template <std::size_t N>
json hooksFrom(const std::array<HookRow, N>& rows, std::string_view home, Vorlix::Source source) {
    json hooks = json::object();
    for (const HookRow& row : rows) {
        std::optional<std::string_view> matcher;
        if (row.matcher != nullptr)
            matcher = row.matcher;
        hooks[row.event] = json::array({HookConfig::group(home, source, row.timeout, matcher)});
    }
    return hooks;
}

// A missing or non-text command reads as empty, so it matches nothing.
std::string_view commandOf(const json& entry) {
    if (!entry.is_object())
        return {};
    auto it = entry.find("command");
    if (it == entry.end() || !it->is_string())
        return {};
    return it->get_ref<const std::string&>();
}

bool contains(std::string_view text, std::string_view needle) {
    return text.find(needle) != std::string_view::npos;
}

// Whether any entry of the group's "hooks" array runs a command containing the needle.
bool groupMentions(const json& group, std::string_view needle) {
    if (!group.is_object())
        return false;
    auto hooks = group.find("hooks");
    if (hooks == group.end() || !hooks->is_array())
        return false;
    for (const json& entry : *hooks) {
        if (contains(commandOf(entry), needle))
            return true;
    }
    return false;
}

} // namespace

std::string HookConfig::bridgePath(std::string_view home) {
    return std::string(home) + "/.vorlix-agents/bin/vorlix-bridge";
}

std::string HookConfig::command(std::string_view home, Vorlix::Source source) {
    std::string quoted;
    for (char c : bridgePath(home)) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return "'" + quoted + "' --source " + std::string(Vorlix::rawValue(source));
}

HookConfig::json HookConfig::hookEntry(std::string_view home, Vorlix::Source source, int timeout) {
    // Sorted, as earlier versions wrote them: installing over those leaves the file as it is.
    return json{{"command", command(home, source)}, {"timeout", timeout}, {"type", "command"}};
}

HookConfig::json HookConfig::group(std::string_view home, Vorlix::Source source, int timeout,
                                   std::optional<std::string_view> matcher) {
    json result{{"hooks", json::array({hookEntry(home, source, timeout)})}};
    if (matcher)
        result["matcher"] = std::string(*matcher);
    return result;
}

HookConfig::json HookConfig::claudeHooks(std::string_view home) {
    return hooksFrom(claudeRows, home, Vorlix::Source::claude);
}

HookConfig::json HookConfig::codexHooks(std::string_view home) {
    return hooksFrom(codexRows, home, Vorlix::Source::codex);
}

HookConfig::json HookConfig::grokHooks(std::string_view home) {
    return hooksFrom(grokRows, home, Vorlix::Source::grok);
}

HookConfig::Scan HookConfig::scan(const json& hooks) {
    Scan result;
    if (!hooks.is_object())
        return result;
    for (const json& groups : hooks) {
        if (!groups.is_array())
            continue;
        for (const json& group : groups) {
            if (!group.is_object())
                continue;
            auto entries = group.find("hooks");
            if (entries == group.end() || !entries->is_array())
                continue;
            for (const json& entry : *entries) {
                const std::string_view command = commandOf(entry);
                if (contains(command, ourNeedle))
                    result.ours = true;
                else if (contains(command, "vibe-island"))
                    result.foreign = "Vibe Island";
                else if (contains(command, "notch") || contains(command, "island"))
                    result.foreign = "another notch app";
            }
        }
    }
    return result;
}

std::optional<HookConfig::json> HookConfig::merge(json root, const json& add) {
    json hooks = json::object();
    if (auto it = root.find("hooks"); it != root.end()) {
        if (!it->is_object())
            return std::nullopt;
        hooks = std::move(*it);
    }
    for (const auto& [event, newGroups] : add.items()) {
        json groups = json::array();
        // An event that is not an array holds no hooks an agent would run: ours take its place.
        if (auto it = hooks.find(event); it != hooks.end() && it->is_array()) {
            // Our earlier groups go whole, even when they also hold someone else's entries; anything that is
            // not a group we understand stays where it is.
            for (json& group : *it) {
                if (!groupMentions(group, ourNeedle))
                    groups.push_back(std::move(group));
            }
        }
        for (const json& group : newGroups)
            groups.push_back(group);
        hooks[event] = std::move(groups);
    }
    root["hooks"] = std::move(hooks);
    return root;
}

std::optional<HookConfig::json> HookConfig::strip(json root, std::string_view needle) {
    auto hooksIt = root.find("hooks");
    if (hooksIt == root.end())
        return root;
    if (!hooksIt->is_object())
        return std::nullopt;
    json& hooks = *hooksIt;
    for (auto event = hooks.begin(); event != hooks.end();) {
        if (!event->is_array()) {
            ++event;
            continue;
        }
        json kept = json::array();
        for (json& group : *event) {
            // Non-objects and groups without a "hooks" array are not ours to judge: they stay as they are.
            json* entries = group.is_object() && group.contains("hooks") ? &group["hooks"] : nullptr;
            if (entries == nullptr || !entries->is_array()) {
                kept.push_back(std::move(group));
                continue;
            }
            json remaining = json::array();
            for (json& entry : *entries) {
                if (!contains(commandOf(entry), needle))
                    remaining.push_back(std::move(entry));
            }
            if (remaining.empty())
                continue;
            *entries = std::move(remaining);
            kept.push_back(std::move(group));
        }
        if (kept.empty()) {
            event = hooks.erase(event);
        } else {
            *event = std::move(kept);
            ++event;
        }
    }
    if (hooks.empty())
        root.erase(hooksIt);
    return root;
}

bool HookConfig::stripStatusLine(json& root, std::string_view needle) {
    auto it = root.find("statusLine");
    if (it == root.end() || !it->is_object())
        return false;
    auto command = it->find("command");
    if (command == it->end() || !command->is_string() || !contains(command->get_ref<const std::string&>(), needle))
        return false;
    root.erase(it);
    return true;
}
