#pragma once

#include "JSONValue.h"
#include "sessions/LineDiff.h"

#include <QList>
#include <QString>
#include <optional>

/// What a file tool is about to change, read from its input: the lines an edit removes and adds, or what a write
/// puts in place of the file on disk.
struct FileChange {
    QString path;
    QList<DiffLine> lines;

    bool operator==(const FileChange&) const = default;

    /// The most of an existing file a write is compared with; a larger one is said to be replaced whole.
    static constexpr qint64 maxCompared = 1024 * 1024;

    /// Edits ("old_string"/"new_string", or an "edits" list of them) and writes ("content" of a tool whose name
    /// says write); nothing for every other call, so commands keep their plain detail. A write is compared with
    /// the file now at its path (a relative path taken from cwd); a file that cannot be compared gets a note
    /// saying why, and its new content as added lines.
    static std::optional<FileChange> from(const QString& tool, const JSONValue& input, const QString& cwd = {});
};
