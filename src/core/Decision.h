#pragma once

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
    Decision(Behavior behavior, std::optional<std::string> message = std::nullopt)
        : behavior(behavior), message(std::move(message)) {}

    Behavior behavior = Behavior::deny;
    std::optional<std::string> message;

    nlohmann::json toJson() const;
    std::string toLine() const;
    static std::optional<Decision> fromJson(const nlohmann::json& json);
    static std::optional<Decision> fromLine(std::string_view line);

    bool operator==(const Decision&) const = default;
};

} // namespace Vorlix
