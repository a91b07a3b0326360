#pragma once

#include "JSONValue.h"

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace Vorlix {

enum class Behavior { allow, deny };

/// Exact, case-sensitive match of "allow" and "deny".
std::optional<Behavior> behaviorFromRaw(std::string_view raw);
std::string_view rawValue(Behavior behavior);

/// The application's answer to a gating event: the reply line on the socket.
struct Decision {
    Decision() = default;
    Decision(Behavior behavior, std::optional<std::string> message = std::nullopt,
             std::optional<JSONValue> updatedInput = std::nullopt)
        : behavior(behavior), message(std::move(message)), updatedInput(std::move(updatedInput)) {}

    Behavior behavior = Behavior::deny;
    std::optional<std::string> message;
    /// The call's input as the person completed it (a question's answers); the agent runs the call with it.
    std::optional<JSONValue> updatedInput;

    nlohmann::json toJson() const;
    std::string toLine() const;
    static std::optional<Decision> fromJson(const nlohmann::json& json);
    static std::optional<Decision> fromLine(std::string_view line);

    bool operator==(const Decision& other) const;
};

} // namespace Vorlix
