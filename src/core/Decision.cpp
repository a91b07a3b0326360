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
    if (updatedInput)
        json["updatedInput"] = updatedInput->toJson();
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
    std::optional<JSONValue> updatedInput;
    if (const auto member = json.find("updatedInput"); member != json.end()) {
        if (!member->is_object())
            return std::nullopt;
        updatedInput = JSONValue::fromJson(*member);
    }
    return Decision{*behaviorCase, std::move(message.value), std::move(updatedInput)};
}

bool Decision::operator==(const Decision& other) const {
    const auto inputText = [](const std::optional<JSONValue>& input) { return input ? input->dump() : std::string(); };
    return behavior == other.behavior && message == other.message &&
           updatedInput.has_value() == other.updatedInput.has_value() &&
           inputText(updatedInput) == inputText(other.updatedInput);
}

std::optional<Decision> Decision::fromLine(std::string_view line) {
    auto json = JSONValue::parseJson(line);
    if (!json)
        return std::nullopt;
    return fromJson(*json);
}

} // namespace Vorlix
