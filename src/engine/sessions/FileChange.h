#pragma once

#include "JSONValue.h"
#include "sessions/LineDiff.h"

#include <QList>
#include <QString>
#include <optional>

/// What a file tool is about to change, read from its input: the lines an edit removes and adds, or the content
/// a write puts in place.
struct FileChange {
    QString path;
    QList<DiffLine> lines;

    bool operator==(const FileChange&) const = default;

    /// Edits ("old_string"/"new_string", or an "edits" list of them) and writes ("content" of a tool whose name
    /// says write); nothing for every other call, so commands keep their plain detail.
    static std::optional<FileChange> from(const QString& tool, const JSONValue& input);
};
