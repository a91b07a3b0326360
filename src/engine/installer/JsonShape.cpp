#include "installer/JsonShape.h"

#include "JSONValue.h"

#include <charconv>
#include <optional>

namespace {

using json = JsonShape::json;

constexpr char marker = '\0';

// The DOM parser, but numbers the library would spell differently become markers, and a text that already holds
// a string starting with the marker character says so: its markers would be mistaken for ours.
class ShapeParser final : public nlohmann::detail::json_sax_dom_parser<json> {
public:
    ShapeParser(json& root, std::vector<std::string>& numbers) : json_sax_dom_parser(root, false), m_numbers(numbers) {}

    bool number_float(double value, const std::string& spelling) {
        if (json(value).dump() == spelling)
            return json_sax_dom_parser::number_float(value, spelling);
        std::string held(1, marker);
        held += std::to_string(m_numbers.size());
        m_numbers.push_back(spelling);
        return json_sax_dom_parser::string(held);
    }
    bool string(std::string& value) {
        clashes = clashes || value.starts_with(marker);
        return json_sax_dom_parser::string(value);
    }
    bool key(std::string& value) {
        clashes = clashes || value.starts_with(marker);
        return json_sax_dom_parser::key(value);
    }
    template <class Exception> bool parse_error(std::size_t at, const std::string& token, const Exception& error) {
        // 406: a number beyond what a double holds.
        if constexpr (std::is_same_v<Exception, nlohmann::detail::out_of_range>) {
            if (error.id == 406)
                hugeNumber = token;
        }
        return json_sax_dom_parser::parse_error(at, token, error);
    }

    bool clashes = false;
    std::optional<std::string> hugeNumber;

private:
    std::vector<std::string>& m_numbers;
};

// The indentation of the first line that begins inside the top-level value, divided by how deep that line is.
void detectIndent(std::string_view text, int& width, char& indent) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == '\n' && depth > 0) {
            const std::size_t start = i + 1;
            const std::size_t end = text.find_first_not_of(" \t", start);
            if (end == std::string_view::npos || text[end] == '\n' || text[end] == '\r')
                continue;
            // A closing bracket sits one level out.
            const int level = text[end] == '}' || text[end] == ']' ? depth - 1 : depth;
            const auto leading = static_cast<int>(end - start);
            indent = leading > 0 && text[start] == '\t' ? '\t' : ' ';
            width = level > 0 ? leading / level : 0;
            return;
        }
    }
    width = -1;
}

} // namespace

JsonShape::Read JsonShape::read(std::string_view text) {
    Read result;
    if (JSONValue::nestsTooDeep(text)) {
        result.problem = "nests too deep";
        return result;
    }
    json value;
    ShapeParser parser(value, result.shape.m_numbers);
    const bool parsed = json::sax_parse(text, &parser) && !parser.is_errored();
    if (parser.hugeNumber) {
        result.problem = "holds the number " + *parser.hugeNumber + ", which cannot be written back unchanged";
        return result;
    }
    if (!parsed) {
        result.problem = "isn't valid JSON";
        return result;
    }
    if (parser.clashes && !result.shape.m_numbers.empty()) {
        result.problem = "holds a text starting with a NUL character beside numbers that cannot be written back "
                         "unchanged";
        return result;
    }
    detectIndent(text, result.shape.m_width, result.shape.m_indent);
    result.shape.m_finalNewline = text.ends_with('\n');
    result.value = std::move(value);
    return result;
}

std::string JsonShape::write(const json& value) const {
    std::string out;
    writeValue(out, value, 0);
    if (m_finalNewline)
        out += '\n';
    return out;
}

void JsonShape::newline(std::string& out, int depth) const {
    if (m_width < 0)
        return;
    out += '\n';
    out.append(static_cast<std::size_t>(depth * m_width), m_indent);
}

void JsonShape::writeValue(std::string& out, const json& value, int depth) const {
    const auto scalar = [](const json& item) { return item.dump(-1, ' ', false, json::error_handler_t::replace); };
    const bool isObject = value.is_object();
    if ((isObject || value.is_array()) && !value.empty()) {
        out += isObject ? '{' : '[';
        bool first = true;
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (!first)
                out += ',';
            first = false;
            newline(out, depth + 1);
            if (isObject) {
                out += scalar(json(it.key()));
                out += m_width < 0 ? ":" : ": ";
            }
            writeValue(out, *it, depth + 1);
        }
        newline(out, depth);
        out += isObject ? '}' : ']';
        return;
    }
    if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        std::size_t index = 0;
        if (text.starts_with(marker) && text.size() > 1) {
            const auto [end, error] = std::from_chars(text.data() + 1, text.data() + text.size(), index);
            if (error == std::errc() && end == text.data() + text.size() && index < m_numbers.size()) {
                out += m_numbers[index];
                return;
            }
        }
    }
    out += scalar(value);
}
