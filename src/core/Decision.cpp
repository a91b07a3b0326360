#include "Decision.h"

#include "JSONValue.h"
#include "JsonFields.h"

namespace Vorlix {

std::optional<Behavior> behaviorFromRaw(std::string_view raw) {
    if (raw == "allow")
        return Behavior::allow;
    if (raw == "deny")
        return Behavior::deny;
    return std::nullopt;
}

std::string_view rawValue(Behavior behavior) {
    return behavior == Behavior::allow ? "allow" : "deny";
}

nlohmann::json Decision::toJson() const {
    nlohmann::json json = {{"behavior", std::string(rawValue(behavior))}};
    if (message)
        json["message"] = *message;
    return json;
}

std::string Decision::toLine() const {
    return JsonFields::compact(toJson());
}

std::optional<Decision> Decision::fromJson(const nlohmann::json& json) {
    if (!json.is_object())
        return std::nullopt;
    auto behavior = JsonFields::requiredString(json, "behavior");
    if (!behavior)
        return std::nullopt;
    auto behaviorCase = behaviorFromRaw(*behavior);
    if (!behaviorCase)
        return std::nullopt;
    auto message = JsonFields::optionalString(json, "message");
    if (!message.ok)
        return std::nullopt;
    return Decision{*behaviorCase, std::move(message.value)};
}

std::optional<Decision> Decision::fromLine(std::string_view line) {
    auto json = JSONValue::parseJson(line);
    if (!json)
        return std::nullopt;
    return fromJson(*json);
}

} // namespace Vorlix
