#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

// Strict field readers for our records: a wrong type fails the whole record, missing or null optionals are absent.
namespace Vorlix::JsonFields {

/// Result of reading one optional member: ok=false means the record must fail.
template <typename T> struct Optional {
    bool ok = true;
    std::optional<T> value;
};

inline const nlohmann::json* member(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

inline std::optional<std::string> requiredString(const nlohmann::json& object, const char* key) {
    const auto* m = member(object, key);
    if (m == nullptr || !m->is_string())
        return std::nullopt;
    return m->get<std::string>();
}

inline Optional<std::string> optionalString(const nlohmann::json& object, const char* key) {
    const auto* m = member(object, key);
    if (m == nullptr || m->is_null())
        return {};
    if (!m->is_string())
        return {false, std::nullopt};
    return {true, m->get<std::string>()};
}

/// A whole number that fits 64 signed bits; nothing for any other value (floats, strings, larger numbers).
inline std::optional<std::int64_t> int64(const nlohmann::json& value) {
    if (!value.is_number_integer())
        return std::nullopt;
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(INT64_MAX))
            return std::nullopt;
        return static_cast<std::int64_t>(v);
    }
    return value.get<std::int64_t>();
}

/// The member as a 64-bit whole number; nothing when it is missing or not one.
inline std::optional<std::int64_t> int64(const nlohmann::json& object, const char* key) {
    const auto* m = member(object, key);
    return m == nullptr ? std::nullopt : int64(*m);
}

inline std::optional<std::int32_t> requiredInt32(const nlohmann::json& object, const char* key) {
    const auto v = int64(object, key);
    if (!v || *v < INT32_MIN || *v > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

inline std::string compact(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace Vorlix::JsonFields
