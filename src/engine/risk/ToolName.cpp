#include "risk/ToolName.h"

#include <algorithm>
#include <initializer_list>

namespace {

bool isMcp(const QString& name) {
    return name.startsWith(QLatin1String("mcp__"), Qt::CaseInsensitive);
}

bool anyOf(const QStringList& words, std::initializer_list<const char*> table) {
    return std::any_of(words.begin(), words.end(), [&](const QString& word) {
        return std::any_of(table.begin(), table.end(), [&](const char* entry) { return word == QLatin1String(entry); });
    });
}

} // namespace

QStringList ToolName::words(const QString& name) {
    QString tool = name;
    if (isMcp(name)) {
        // mcp__<server>__<tool>: the server's name says nothing about what this call does.
        const qsizetype split = name.indexOf(QLatin1String("__"), 5);
        tool = split < 0 ? QString() : name.mid(split + 2);
    }
    QStringList words;
    QString word;
    const auto flush = [&] {
        if (!word.isEmpty())
            words.append(word.toLower());
        word.clear();
    };
    for (qsizetype i = 0; i < tool.size(); ++i) {
        const QChar c = tool[i];
        if (c == u'_' || c == u'-' || c == u'.' || c == u' ' || c == u'/' || c == u':') {
            flush();
            continue;
        }
        const QChar before = i > 0 ? tool[i - 1] : QChar();
        const QChar after = i + 1 < tool.size() ? tool[i + 1] : QChar();
        // "webFetch" → web fetch; "HTTPGet" → http get.
        if (c.isUpper() && (before.isLower() || before.isDigit() || (before.isUpper() && after.isLower())))
            flush();
        word += c;
    }
    flush();
    return words;
}

ToolName::Kind ToolName::kind(const QString& name) {
    const QStringList w = words(name);
    if (anyOf(w, {"web", "fetch", "http", "https", "url", "browse", "browser", "download", "curl", "navigate"}))
        return Kind::network;
    const bool changes =
        anyOf(w, {"create",  "update", "set",    "delete",  "write",  "edit",     "send",    "post",    "put",
                  "patch",   "move",   "remove", "run",     "exec",   "execute",  "insert",  "upload",  "push",
                  "merge",   "commit", "add",    "rename",  "modify", "apply",    "replace", "drop",    "install",
                  "kill",    "close",  "submit", "publish", "deploy", "archive",  "clear",   "reset",   "save",
                  "upsert",  "append", "invoke", "call",    "start",  "stop",     "restart", "approve", "assign",
                  "comment", "reply",  "fork",   "lock",    "unlock", "transfer", "import",  "sync",    "dispatch",
                  "trigger", "revert", "cancel", "mark",    "star",   "label",    "request", "resolve"});
    if (!changes && anyOf(w, {"read", "grep", "glob", "search", "list", "get", "view", "show", "find", "query",
                              "describe", "lookup", "ls", "stat", "inspect"}))
        return Kind::reads;
    if (anyOf(w, {"bash", "shell", "terminal", "exec", "command", "powershell", "sh", "zsh"}))
        return Kind::shell;
    if (!isMcp(name) && anyOf(w, {"write", "edit", "create"}))
        return Kind::writes;
    return Kind::other;
}
