#include "HookPayload.h"

#include "Hook.h"

namespace Vorlix {

namespace {
// A string member under either name; a present member of another type counts as missing.
std::optional<std::string> stringField(const JSONValue& payload, std::initializer_list<std::string_view> keys) {
    auto value = field(payload, keys);
    return value ? value->stringValue() : std::nullopt;
}

// Cut at a UTF-8 character boundary: a long final answer must not push the event line past the socket's cap.
std::optional<std::string> bounded(std::optional<std::string> text) {
    if (text && text->size() > Event::messageLimit) {
        std::size_t cut = Event::messageLimit;
        while (cut > 0 && (static_cast<unsigned char>((*text)[cut]) & 0xC0) == 0x80)
            --cut;
        text->resize(cut);
    }
    return text;
}
} // namespace

Source HookPayload::source(const std::vector<std::string_view>& arguments, const Environment& env) {
    Source result = Source::claude;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != "--source")
            continue;
        if (i + 1 < arguments.size()) {
            if (auto named = sourceFromRaw(arguments[i + 1]))
                result = *named;
        }
        break;
    }
    if (env("GROK_HOOK_EVENT") || env("GROK_SESSION_ID"))
        result = Source::grok;
    return result;
}

Event HookPayload::event(const JSONValue& payload, Source source, const Environment& env, std::string id,
                         TerminalContext terminal, double ts) {
    Event e;
    e.rawEvent =
        stringField(payload, {"hook_event_name", "hookEventName"}).value_or(env("GROK_HOOK_EVENT").value_or("unknown"));
    e.event = canonicalize(e.rawEvent);
    e.toolName = stringField(payload, {"tool_name", "toolName"});
    e.gating = isGating(source, e.event, e.toolName);
    e.id = std::move(id);
    e.sessionID = stringField(payload, {"session_id", "sessionId"});
    if (!e.sessionID)
        e.sessionID = env("GROK_SESSION_ID");
    e.cwd = stringField(payload, {"cwd", "workspaceRoot"});
    e.toolInput = field(payload, {"tool_input", "toolInput"});
    e.transcriptPath = stringField(payload, {"transcript_path", "transcriptPath"});
    e.message = bounded(stringField(payload, {"last_assistant_message", "lastAssistantMessage"}));
    if (!e.message)
        e.message = bounded(stringField(payload, {"message"}));
    e.notificationType = stringField(payload, {"notification_type", "notificationType"});
    e.terminal = std::move(terminal);
    e.ts = ts;
    e.source = source;
    return e;
}

} // namespace Vorlix
