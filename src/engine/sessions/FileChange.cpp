#include "sessions/FileChange.h"

namespace {

QString text(const JSONValue& object, std::string_view key) {
    const JSONValue* member = object.find(key);
    const auto value = member ? member->stringValue() : std::nullopt;
    return value ? QString::fromStdString(*value) : QString();
}

bool hasString(const JSONValue& object, std::string_view key) {
    const JSONValue* member = object.find(key);
    return member && member->kind() == JSONValue::Kind::String;
}

bool isEdit(const JSONValue& value) {
    return value.isObject() && hasString(value, "old_string") && hasString(value, "new_string");
}

} // namespace

std::optional<FileChange> FileChange::from(const QString& tool, const JSONValue& input) {
    if (!input.isObject())
        return std::nullopt;
    const QString path = hasString(input, "file_path") ? text(input, "file_path") : text(input, "path");

    if (isEdit(input))
        return FileChange{path, LineDiff::diff(text(input, "old_string"), text(input, "new_string"))};

    if (const JSONValue* edits = input.find("edits"); edits && edits->kind() == JSONValue::Kind::Array) {
        FileChange change{path, {}};
        for (const JSONValue& edit : edits->array()) {
            if (!isEdit(edit))
                return std::nullopt;
            if (!change.lines.isEmpty())
                change.lines.append({DiffLine::Kind::gap, {}});
            change.lines.append(LineDiff::diff(text(edit, "old_string"), text(edit, "new_string")));
        }
        if (!change.lines.isEmpty())
            return change;
        return std::nullopt;
    }

    if (tool.contains(QLatin1String("write"), Qt::CaseInsensitive) && hasString(input, "content"))
        return FileChange{path, LineDiff::diff(QString(), text(input, "content"))};
    return std::nullopt;
}
