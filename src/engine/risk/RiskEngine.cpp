#include "risk/RiskEngine.h"

#include "risk/ShellCommand.h"
#include "risk/TablePattern.h"
#include "risk/ToolName.h"
#include "support/AppPaths.h"

#include <QDir>
#include <algorithm>
#include <climits>
#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <vector>

namespace {

struct CompiledTables {
    std::vector<TablePattern> critical;
    std::vector<TablePattern> elevated;
    std::vector<TablePattern> readOnly;
    TablePattern path{uR"((~|/)[^\s"']+)", 0};
};

QString toQString(std::u16string_view text) {
    return QStringView(text.data(), qsizetype(text.size())).toString();
}

// Built once, on first use, by whichever thread gets there first; ICU patterns may be shared between
// threads as long as each search has its own matcher.
const CompiledTables& tables() {
    static const CompiledTables compiled = [] {
        CompiledTables t;
        for (const RiskPattern& row : RiskEngine::critical)
            t.critical.emplace_back(row.pattern, UREGEX_CASE_INSENSITIVE);
        for (const RiskPattern& row : RiskEngine::elevated)
            t.elevated.emplace_back(row.pattern, UREGEX_CASE_INSENSITIVE);
        for (std::u16string_view pattern : RiskEngine::readOnly)
            t.readOnly.emplace_back(pattern, UREGEX_CASE_INSENSITIVE);
        return t;
    }();
    return compiled;
}

/// A read-only ICU view of the QString's characters (no copy): the QString must outlive it.
/// Text ICU cannot index (2^31 code units or more) gives nothing, so every search on it fails.
std::optional<icu::UnicodeString> viewOf(const QString& text) {
    if (text.size() > INT32_MAX)
        return std::nullopt;
    return icu::UnicodeString(false, reinterpret_cast<const char16_t*>(text.constData()), int32_t(text.size()));
}

TablePattern::Outcome outcomeOf(const TablePattern& pattern, const std::optional<icu::UnicodeString>& text) {
    return text ? pattern.search(*text).outcome : TablePattern::Outcome::failed;
}

// Every row that matches gives its reason. A search that could not finish counts as a match for the level, so a
// pathological input cannot slip through as harmless, but it never claims the row's reason.
template <std::size_t N>
QStringList reasonsFrom(const std::array<RiskPattern, N>& rows, const std::vector<TablePattern>& compiled,
                        const std::optional<icu::UnicodeString>& text) {
    QStringList reasons;
    for (std::size_t i = 0; i < N; ++i) {
        const TablePattern::Outcome outcome = outcomeOf(compiled[i], text);
        if (outcome == TablePattern::Outcome::match)
            reasons.append(toQString(rows[i].reason));
        else if (outcome == TablePattern::Outcome::failed)
            reasons.append(RiskEngine::tooLongReason());
    }
    return reasons;
}

// Every simple command must be read-only on its own: its words, rejoined, start with a read-only pattern that
// ends at a word's end ("ls.py" is not "ls"), and it carries no option that writes or runs something.
bool isReadOnly(const QString& detail, const CompiledTables& compiled) {
    const std::optional<QList<ShellCommand::Simple>> commands = ShellCommand::plainList(detail);
    if (!commands || commands->isEmpty())
        return false;
    return std::all_of(commands->begin(), commands->end(), [&](const ShellCommand::Simple& command) {
        if (ShellCommand::writesOrRuns(command))
            return false;
        const QString words = command.words.join(u' ');
        const std::optional<icu::UnicodeString> text = viewOf(words);
        return text && std::any_of(compiled.readOnly.begin(), compiled.readOnly.end(), [&](const TablePattern& p) {
                   const TablePattern::Found found = p.search(*text);
                   return found.outcome == TablePattern::Outcome::match &&
                          (found.end == words.size() || words.at(found.end) == u' ');
               });
    });
}

// A path token is never "~" alone: only "~/…" needs expanding.
QString expandTilde(const QString& path) {
    if (path.startsWith(QLatin1String("~/")))
        return AppPaths::home() + path.mid(1);
    return path;
}

// Whole path components only: /proj/a is inside /proj, /project2 is not.
bool isInside(const QString& path, const QString& folder) {
    if (folder.endsWith(u'/'))
        return path.startsWith(folder);
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == u'/');
}

// "~", "~/…", "$HOME/…" and "${HOME}/…" in the home folder; a relative path in `dir`. Nothing when the value
// cannot be known from the text.
std::optional<QString> resolve(const ShellCommand::Word& word, const std::optional<QString>& dir) {
    QString path = word.text;
    for (const char* home : {"${HOME}", "$HOME", "~"}) {
        const QLatin1StringView prefix(home);
        if (path == prefix || path.startsWith(prefix + u'/')) {
            path = AppPaths::home() + path.mid(prefix.size());
            break;
        }
    }
    if (word.opaque && (path.contains(u'$') || path.contains(u'`')))
        return std::nullopt;
    if (!path.startsWith(u'/')) {
        if (!dir)
            return std::nullopt;
        path = *dir + u'/' + path;
    }
    return QDir::cleanPath(path);
}

bool isHarmlessDevice(const QString& path) {
    return path == QLatin1String("/dev/null") || path == QLatin1String("/dev/stdout") ||
           path == QLatin1String("/dev/stderr") || path == QLatin1String("/dev/tty") ||
           path.startsWith(QLatin1String("/dev/fd/"));
}

} // namespace

RiskVerdict RiskEngine::assess(const QString& tool, const QString& detail, const std::optional<QString>& cwd) {
    switch (ToolName::kind(tool)) {
    case ToolName::Kind::network:
        return {Risk::normal, {QStringLiteral("reaches the network")}};
    case ToolName::Kind::reads:
        return assessRead(detail, cwd);
    case ToolName::Kind::shell:
        return assessCommand(detail, cwd);
    case ToolName::Kind::writes:
        return assessWrite(detail, cwd);
    case ToolName::Kind::other:
        break;
    }
    return {Risk::normal, {tool}};
}

RiskVerdict RiskEngine::assessRead(const QString& detail, const std::optional<QString>& cwd) {
    const std::optional<QString> path = resolve({detail.trimmed(), false}, cwd);
    if (path) {
        const QString home = AppPaths::home();
        const bool secret = std::any_of(secretStores.begin(), secretStores.end(), [&](std::string_view store) {
            const QString place = QString::fromLatin1(store.data(), qsizetype(store.size()));
            return isInside(*path, place.startsWith(u'~') ? home + place.mid(1) : place);
        });
        // A .env file in the project is the project's own; anywhere else it is somebody's credentials.
        const QString name = path->section(u'/', -1);
        const bool env = (name == QLatin1String(".env") || name.startsWith(QLatin1String(".env."))) &&
                         !(cwd && isInside(*path, QDir::cleanPath(*cwd)));
        if (secret || env)
            return {Risk::elevated, {QStringLiteral("reads a secret")}};
    }
    return {Risk::trivial, {QStringLiteral("read-only tool")}};
}

std::optional<QString> RiskEngine::writesOutside(const QString& detail, const QString& cwd) {
    const std::optional<QList<ShellCommand::Simple>> commands = ShellCommand::script(detail);
    if (!commands)
        return std::nullopt;
    const QString project = QDir::cleanPath(cwd);
    // "cd" moves where relative paths land; to somewhere the text does not show, they land anywhere.
    std::optional<QString> dir = project;
    for (const ShellCommand::Simple& command : *commands) {
        if (command.words.value(0) == QLatin1String("cd") || command.words.value(0) == QLatin1String("pushd")) {
            const qsizetype target = command.words.size() > 1 && command.words[1] == QLatin1String("--") ? 2 : 1;
            if (command.words.size() <= target)
                dir = AppPaths::home();
            else if (command.words[target] == QLatin1String("-"))
                dir.reset();
            else
                dir = resolve({command.words[target], command.opaque[target]}, dir);
            continue;
        }
        for (const ShellCommand::Word& written : ShellCommand::destinations(command)) {
            const std::optional<QString> path = resolve(written, dir);
            if (!path)
                return written.text;
            if (!isHarmlessDevice(*path) && !isInside(*path, project))
                return written.text.startsWith(u'/') ? written.text : *path;
        }
    }
    return std::nullopt;
}

RiskVerdict RiskEngine::assessCommand(const QString& detail, const std::optional<QString>& cwd) {
    const CompiledTables& compiled = tables();
    const std::optional<icu::UnicodeString> text = viewOf(detail);

    Risk level = Risk::critical;
    QStringList reasons = reasonsFrom(critical, compiled.critical, text);
    if (reasons.isEmpty()) {
        level = Risk::elevated;
        reasons = reasonsFrom(elevated, compiled.elevated, text);
        if (cwd) {
            if (const std::optional<QString> outside = writesOutside(detail, *cwd))
                reasons.append(QStringLiteral("writes OUTSIDE the project (") + *outside + u')');
        }
    }
    if (!reasons.isEmpty()) {
        // The reasons are BMP text, so UTF-16 order is Unicode scalar order.
        std::sort(reasons.begin(), reasons.end());
        reasons.erase(std::unique(reasons.begin(), reasons.end()), reasons.end());
        return {level, reasons};
    }
    if (isReadOnly(detail, compiled))
        return {Risk::trivial, {QStringLiteral("read-only command")}};
    return {Risk::normal, {QStringLiteral("shell command")}};
}

RiskVerdict RiskEngine::assessWrite(const QString& detail, const std::optional<QString>& cwd) {
    const RiskVerdict inProject{Risk::normal, {QStringLiteral("writes a file in the project")}};
    if (!cwd)
        return inProject;
    const std::optional<QString> written = firstPath(detail);
    if (!written)
        return inProject;
    const QString path = expandTilde(*written);
    // Compare cleaned paths so "/proj/../../etc/hosts" is seen outside /proj; show the path as written.
    if (path.startsWith(u'/') && !isInside(QDir::cleanPath(path), QDir::cleanPath(*cwd)))
        return {Risk::elevated, {QStringLiteral("writes OUTSIDE the project (") + path + u')'}};
    return inProject;
}

std::optional<QString> RiskEngine::firstPath(const QString& text) {
    const std::optional<icu::UnicodeString> view = viewOf(text);
    if (!view)
        return std::nullopt;
    const TablePattern::Found found = tables().path.search(*view);
    if (found.outcome != TablePattern::Outcome::match)
        return std::nullopt;
    return text.mid(found.start, found.end - found.start);
}

QString RiskEngine::ruleKey(const QString& tool, const QString& detail) {
    // Scans only as far as the second word: details can be megabytes long.
    QString words;
    int taken = 0;
    qsizetype i = 0;
    const qsizetype n = detail.size();
    while (taken < 2 && i < n) {
        while (i < n && detail.at(i) == u' ')
            ++i;
        if (i == n)
            break;
        const qsizetype start = i;
        while (i < n && detail.at(i) != u' ')
            ++i;
        if (taken++ > 0)
            words += u' ';
        words += QStringView(detail).mid(start, i - start);
    }
    return words.isEmpty() ? tool : tool + QStringLiteral(": ") + words;
}
