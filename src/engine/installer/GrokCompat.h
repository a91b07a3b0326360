#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

/// Grok also runs the hooks in Claude Code's settings unless its config.toml says `compat.claude.hooks = false`;
/// with ours in both, every Grok call would reach us twice, once as Claude Code. This decides what to do with
/// that file: add the setting when nothing of `compat.claude` is there yet, leave it when it is already off, and
/// otherwise write nothing and tell the person what to change (two `compat.claude` tables make the file invalid).
class GrokCompat final {
public:
    struct Plan {
        /// The whole new file, when one is to be written.
        std::optional<QByteArray> text;
        /// What the person should change themselves; empty when nothing is left to them.
        QString note;
    };

    static Plan plan(const QByteArray& config);
    /// The note for a config.toml left alone, after why it was.
    static QString leftAlone(const QString& why);
};
