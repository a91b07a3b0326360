#pragma once

#include <QString>
#include <QStringList>

/// What a tool's name says it does, read word by word: "mcp__github__create_thread" is create + thread, not
/// "read" inside "thread".
class ToolName final {
public:
    enum class Kind { reads, network, shell, writes, other };

    /// The words of a name, lower-cased: split at "_", "-", ".", spaces and changes from lower to upper case
    /// ("WebFetch", "HTTPGet"). An MCP tool ("mcp__server__tool") gives only its tool's words.
    static QStringList words(const QString& name);
    /// Network words first (web, fetch, http…); read words (read, grep, list, get…) only when no word says it
    /// changes something (create, set, delete, run…); then shell words (bash, shell, exec…) and, for an agent's
    /// own tools, write words (write, edit, create). An MCP tool that says none of these is `other`.
    static Kind kind(const QString& name);
};
