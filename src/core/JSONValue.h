#pragma once

#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Any JSON document, held as our own tagged union so callers never depend on the parser's types.
class JSONValue {
public:
    enum class Kind { Bool, Number, String, Array, Object, Null };
    using Array = std::vector<JSONValue>;
    using Object = std::map<std::string, JSONValue, std::less<>>;

    /// Deeper documents count as malformed: converting them would recurse without bound.
    static constexpr int maxDepth = 512;

    JSONValue() = default;
    JSONValue(std::nullptr_t) {}
    JSONValue(bool value) : m_kind(Kind::Bool), m_bool(value) {}
    JSONValue(double value) : m_kind(Kind::Number), m_number(value) {}
    JSONValue(int value) : m_kind(Kind::Number), m_number(value) {}
    JSONValue(std::string value) : m_kind(Kind::String), m_string(std::move(value)) {}
    JSONValue(const char* value) : m_kind(Kind::String), m_string(value) {}
    JSONValue(Array value) : m_kind(Kind::Array), m_array(std::move(value)) {}
    JSONValue(Object value) : m_kind(Kind::Object), m_object(std::move(value)) {}

    // Copying and destroying walk the tree with a list on the heap, not by recursion: a document nested to
    // maxDepth must not overflow a connection thread's small stack.
    JSONValue(const JSONValue& other);
    JSONValue(JSONValue&& other) noexcept = default;
    JSONValue& operator=(const JSONValue& other);
    JSONValue& operator=(JSONValue&& other) noexcept = default;
    ~JSONValue();

    /// Parses one JSON document; absent when the text is not well-formed JSON or nests too deeply.
    static std::optional<JSONValue> parse(std::string_view text);
    /// The parser's own value, with the same well-formedness and depth rules (for strict record decoding).
    static std::optional<nlohmann::json> parseJson(std::string_view text);
    static JSONValue fromJson(const nlohmann::json& json);
    nlohmann::json toJson() const;
    /// Compact JSON text; invalid UTF-8 in strings is replaced rather than thrown on.
    std::string dump() const;

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool isObject() const { return m_kind == Kind::Object; }

    bool boolValue() const { return m_bool; }
    double numberValue() const { return m_number; }
    const std::string& string() const { return m_string; }
    const Array& array() const { return m_array; }
    const Object& object() const { return m_object; }

    /// The member of that name when this is an object that has it.
    std::optional<JSONValue> operator[](std::string_view key) const;
    /// Same as the subscript without copying; null when absent.
    const JSONValue* find(std::string_view key) const;
    /// The text of a string; absent for every other kind (numbers are not turned into text).
    std::optional<std::string> stringValue() const;
    /// One-line summary for display and logs.
    std::string preview() const;

    /// Whether the text nests arrays and objects deeper than maxDepth (strings are skipped).
    static bool nestsTooDeep(std::string_view text);
    /// Shortest text that reads back as the same number; integral values keep ".0".
    static std::string numberText(double value);

private:
    /// The same kind and scalar payload, without any elements or members.
    JSONValue shallowCopy() const;
    /// Moves the elements and member values out, leaving this array or object empty.
    void detachChildren(std::vector<JSONValue>& into);

    Kind m_kind = Kind::Null;
    bool m_bool = false;
    double m_number = 0;
    std::string m_string;
    Array m_array;
    Object m_object;
};
