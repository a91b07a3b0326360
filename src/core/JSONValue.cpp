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

JSONValue::JSONValue(const JSONValue& other) : JSONValue(other.shallowCopy()) {
    std::vector<std::pair<const JSONValue*, JSONValue*>> pending{{&other, this}};
    while (!pending.empty()) {
        const auto [from, to] = pending.back();
        pending.pop_back();
        // Reserved first, so the addresses taken below stay valid.
        to->m_array.reserve(from->m_array.size());
        for (const JSONValue& element : from->m_array)
            to->m_array.push_back(element.shallowCopy());
        for (std::size_t i = 0; i < from->m_array.size(); ++i)
            pending.emplace_back(&from->m_array[i], &to->m_array[i]);
        for (const auto& [key, value] : from->m_object) {
            const auto added = to->m_object.emplace_hint(to->m_object.end(), key, value.shallowCopy());
            pending.emplace_back(&value, &added->second);
        }
    }
}

JSONValue& JSONValue::operator=(const JSONValue& other) {
    if (this != &other)
        *this = JSONValue(other);
    return *this;
}

JSONValue::~JSONValue() {
    if (m_array.empty() && m_object.empty())
        return;
    std::vector<JSONValue> pending;
    detachChildren(pending);
    while (!pending.empty()) {
        JSONValue value = std::move(pending.back());
        pending.pop_back();
        value.detachChildren(pending);
    }
}

JSONValue JSONValue::shallowCopy() const {
    JSONValue copy;
    copy.m_kind = m_kind;
    copy.m_bool = m_bool;
    copy.m_number = m_number;
    copy.m_string = m_string;
    return copy;
}

void JSONValue::detachChildren(std::vector<JSONValue>& into) {
    for (JSONValue& element : m_array)
        into.push_back(std::move(element));
    m_array.clear();
    for (auto& member : m_object)
        into.push_back(std::move(member.second));
    m_object.clear();
}

namespace {

// The value itself for a scalar; an empty array or object whose contents the caller fills in.
JSONValue shallowFromJson(const nlohmann::json& json) {
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
    case nlohmann::json::value_t::array:
        return JSONValue(JSONValue::Array{});
    case nlohmann::json::value_t::object:
        return JSONValue(JSONValue::Object{});
    default:
        return JSONValue();
    }
}

nlohmann::json shallowToJson(const JSONValue& value) {
    switch (value.kind()) {
    case JSONValue::Kind::Bool:
        return value.boolValue();
    case JSONValue::Kind::Number: {
        const double number = value.numberValue();
        // Integral values travel as integers so agents' numbers come back as they were sent.
        if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 9.007199254740992e15)
            return static_cast<std::int64_t>(number);
        if (!std::isfinite(number))
            return nullptr;
        return number;
    }
    case JSONValue::Kind::String:
        return value.string();
    case JSONValue::Kind::Array:
        return nlohmann::json::array();
    case JSONValue::Kind::Object:
        return nlohmann::json::object();
    case JSONValue::Kind::Null:
        break;
    }
    return nullptr;
}

} // namespace

// Both conversions walk the tree with a list on the heap: one call per level would overflow a small stack long
// before maxDepth.
JSONValue JSONValue::fromJson(const nlohmann::json& json) {
    JSONValue root = shallowFromJson(json);
    std::vector<std::pair<const nlohmann::json*, JSONValue*>> pending{{&json, &root}};
    while (!pending.empty()) {
        const auto [from, to] = pending.back();
        pending.pop_back();
        if (from->is_array()) {
            to->m_array.reserve(from->size());
            for (const auto& element : *from)
                to->m_array.push_back(shallowFromJson(element));
            for (std::size_t i = 0; i < from->size(); ++i)
                pending.emplace_back(&(*from)[i], &to->m_array[i]);
        } else if (from->is_object()) {
            for (auto member = from->begin(); member != from->end(); ++member) {
                const auto added = to->m_object.emplace(member.key(), shallowFromJson(member.value())).first;
                pending.emplace_back(&member.value(), &added->second);
            }
        }
    }
    return root;
}

nlohmann::json JSONValue::toJson() const {
    nlohmann::json root = shallowToJson(*this);
    std::vector<std::pair<const JSONValue*, nlohmann::json*>> pending{{this, &root}};
    while (!pending.empty()) {
        const auto [from, to] = pending.back();
        pending.pop_back();
        if (from->m_kind == Kind::Array) {
            auto& array = to->get_ref<nlohmann::json::array_t&>();
            array.reserve(from->m_array.size());
            for (const JSONValue& element : from->m_array)
                array.push_back(shallowToJson(element));
            for (std::size_t i = 0; i < from->m_array.size(); ++i)
                pending.emplace_back(&from->m_array[i], &array[i]);
        } else if (from->m_kind == Kind::Object) {
            auto& object = to->get_ref<nlohmann::json::object_t&>();
            for (const auto& [key, value] : from->m_object)
                pending.emplace_back(&value, &object.insert_or_assign(key, shallowToJson(value)).first->second);
        }
    }
    return root;
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
