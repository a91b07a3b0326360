#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

/// How an agent's JSON file is written — its indentation, its final newline and numbers spelled in a way the JSON
/// library would not write back — so that what we change in it is written in the owner's shape and every value
/// keeps its meaning. Keys keep their order through ordered_json.
class JsonShape final {
public:
    using json = nlohmann::ordered_json;

    struct Read;

    /// The shape of a file we create: two spaces, a final newline.
    JsonShape() = default;

    /// Parses the text, noting its shape. A number the library would write differently (1e5, 1.50, digits beyond
    /// 64 bits, 1.5e-400) is held as a marker string and written back with its own spelling; one the library
    /// cannot hold at all (1e400) makes the text unusable.
    static Read read(std::string_view text);
    /// The value in this shape. Only a value read through this shape, or one built from it, may carry markers.
    std::string write(const json& value) const;

private:
    void writeValue(std::string& out, const json& value, int depth) const;
    void newline(std::string& out, int depth) const;

    /// -1: all on one line.
    int m_width = 2;
    char m_indent = ' ';
    bool m_finalNewline = true;
    /// The spellings of the numbers held as markers; marker i is a NUL character followed by i in decimal.
    std::vector<std::string> m_numbers;
};

struct JsonShape::Read {
    /// Discarded when the text cannot be used.
    json value = json(json::value_t::discarded);
    JsonShape shape;
    /// Why the text cannot be used, in words after the file's name ("isn't valid JSON"); empty when it can.
    std::string problem;
};
