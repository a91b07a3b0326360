#include "Event.h"

#include "JsonFields.h"

namespace Vorlix {

nlohmann::json Event::toJson() const {
    nlohmann::json json = {
        {"id", id},
        {"source", std::string(rawValue(source))},
        {"event", std::string(rawValue(event))},
        {"rawEvent", rawEvent},
        {"gating", gating},
    };
    if (sessionID)
        json["sessionID"] = *sessionID;
    if (cwd)
        json["cwd"] = *cwd;
    if (toolName)
        json["toolName"] = *toolName;
    if (toolInput)
        json["toolInput"] = toolInput->toJson();
    if (transcriptPath)
        json["transcriptPath"] = *transcriptPath;
    if (message)
        json["message"] = *message;
    if (notificationType)
        json["notificationType"] = *notificationType;
    json["terminal"] = terminal.toJson();
    json["ts"] = ts;
    return json;
}

std::string Event::toLine() const {
    return JsonFields::compact(toJson());
}

std::optional<Event> Event::fromJson(const nlohmann::json& json) {
    using namespace JsonFields;
    if (!json.is_object())
        return std::nullopt;
    Event e;
    auto id = requiredString(json, "id");
    auto source = requiredString(json, "source");
    auto event = requiredString(json, "event");
    auto rawEvent = requiredString(json, "rawEvent");
    if (!id || !source || !event || !rawEvent)
        return std::nullopt;
    auto sourceCase = sourceFromRaw(*source);
    auto eventCase = canonicalFromRaw(*event);
    if (!sourceCase || !eventCase)
        return std::nullopt;
    e.id = std::move(*id);
    e.source = *sourceCase;
    e.event = *eventCase;
    e.rawEvent = std::move(*rawEvent);

    const auto* gating = member(json, "gating");
    if (gating == nullptr || !gating->is_boolean())
        return std::nullopt;
    e.gating = gating->get<bool>();

    for (auto [key, target] : {std::pair{"sessionID", &e.sessionID}, std::pair{"cwd", &e.cwd},
                               std::pair{"toolName", &e.toolName}, std::pair{"transcriptPath", &e.transcriptPath},
                               std::pair{"message", &e.message}, std::pair{"notificationType", &e.notificationType}}) {
        auto value = optionalString(json, key);
        if (!value.ok)
            return std::nullopt;
        *target = std::move(value.value);
    }
    if (const auto* input = member(json, "toolInput"); input != nullptr && !input->is_null())
        e.toolInput = JSONValue::fromJson(*input);

    const auto* terminal = member(json, "terminal");
    if (terminal == nullptr)
        return std::nullopt;
    auto context = TerminalContext::fromJson(*terminal);
    if (!context)
        return std::nullopt;
    e.terminal = std::move(*context);

    const auto* ts = member(json, "ts");
    if (ts == nullptr || !ts->is_number())
        return std::nullopt;
    e.ts = ts->get<double>();
    return e;
}

std::optional<Event> Event::fromLine(std::string_view line) {
    auto json = JSONValue::parseJson(line);
    if (!json)
        return std::nullopt;
    return fromJson(*json);
}

} // namespace Vorlix
