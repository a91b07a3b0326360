#include "JSONValue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

std::optional<nlohmann::json> JSONValue::parseJson(std::string_view text) {
    if (nestsTooDeep(text))
        return std::nullopt;
    auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded())
        return std::nullopt;
    return json;
}

std::optional<JSONValue> JSONValue::parse(std::string_view text) {
    auto json = parseJson(text);
    if (!json)
        return std::nullopt;
    return fromJson(*json);
}

bool JSONValue::nestsTooDeep(std::string_view text) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            break;
        case '[':
        case '{':
            if (++depth > maxDepth)
                return true;
            break;
        case ']':
        case '}':
            --depth;
            break;
        default:
            break;
        }
    }
    return false;
}

JSONValue JSONValue::fromJson(const nlohmann::json& json) {
    switch (json.type()) {
    case nlohmann::json::value_t::boolean:
        return JSONValue(json.get<bool>());
    case nlohmann::json::value_t::number_integer:
        return JSONValue(static_cast<double>(json.get<std::int64_t>()));
    case nlohmann::json::value_t::number_unsigned:
        return JSONValue(static_cast<double>(json.get<std::uint64_t>()));
    case nlohmann::json::value_t::number_float:
        return JSONValue(json.get<double>());
    case nlohmann::json::value_t::string:
        return JSONValue(json.get<std::string>());
    case nlohmann::json::value_t::array: {
        Array array;
        array.reserve(json.size());
        for (const auto& element : json)
            array.push_back(fromJson(element));
        return JSONValue(std::move(array));
    }
    case nlohmann::json::value_t::object: {
        Object object;
        for (const auto& [key, value] : json.items())
            object.emplace(key, fromJson(value));
        return JSONValue(std::move(object));
    }
    default:
        return JSONValue();
    }
}

nlohmann::json JSONValue::toJson() const {
    switch (m_kind) {
    case Kind::Bool:
        return m_bool;
    case Kind::Number:
        // Integral values travel as integers so agents' numbers come back as they were sent.
        if (std::isfinite(m_number) && std::trunc(m_number) == m_number && std::fabs(m_number) < 9.007199254740992e15)
            return static_cast<std::int64_t>(m_number);
        if (!std::isfinite(m_number))
            return nullptr;
        return m_number;
    case Kind::String:
        return m_string;
    case Kind::Array: {
        auto array = nlohmann::json::array();
        for (const auto& element : m_array)
            array.push_back(element.toJson());
        return array;
    }
    case Kind::Object: {
        auto object = nlohmann::json::object();
        for (const auto& [key, value] : m_object)
            object[key] = value.toJson();
        return object;
    }
    case Kind::Null:
        break;
    }
    return nullptr;
}

std::string JSONValue::dump() const {
    return toJson().dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<JSONValue> JSONValue::operator[](std::string_view key) const {
    if (const auto* member = find(key))
        return *member;
    return std::nullopt;
}

const JSONValue* JSONValue::find(std::string_view key) const {
    if (m_kind != Kind::Object)
        return nullptr;
    auto it = m_object.find(key);
    return it == m_object.end() ? nullptr : &it->second;
}

std::optional<std::string> JSONValue::stringValue() const {
    if (m_kind != Kind::String)
        return std::nullopt;
    return m_string;
}

std::string JSONValue::numberText(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (std::isfinite(value) && text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

std::string JSONValue::preview() const {
    switch (m_kind) {
    case Kind::Bool:
        return m_bool ? "true" : "false";
    case Kind::Number:
        return numberText(m_number);
    case Kind::String:
        return m_string;
    case Kind::Array: {
        std::string text;
        for (std::size_t i = 0; i < m_array.size(); ++i) {
            if (i > 0)
                text += ", ";
            text += m_array[i].preview();
        }
        return text;
    }
    case Kind::Object: {
        for (const char* key : {"command", "file_path", "path", "pattern", "url"}) {
            if (const auto* member = find(key))
                return member->preview();
        }
        // std::map already keeps the keys in ascending order.
        std::string text;
        bool first = true;
        for (const auto& member : m_object) {
            if (!first)
                text += ",";
            text += member.first;
            first = false;
        }
        return text;
    }
    case Kind::Null:
        break;
    }
    return "null";
}
