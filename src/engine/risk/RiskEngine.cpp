#include "risk/RiskEngine.h"

#include "support/AppPaths.h"
#include "support/Log.h"

#include <QDir>
#include <algorithm>
#include <climits>
#include <memory>
#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <vector>

namespace {

using Pattern = std::unique_ptr<icu::RegexPattern>;

struct CompiledTables {
    std::vector<Pattern> critical;
    std::vector<Pattern> elevated;
    std::vector<Pattern> readOnly;
    Pattern path;
};

QString toQString(std::u16string_view text) {
    return QStringView(text.data(), qsizetype(text.size())).toString();
}

Pattern compile(std::u16string_view source, uint32_t flags) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError where{};
    const icu::UnicodeString text(source.data(), int32_t(source.size()));
    Pattern pattern(icu::RegexPattern::compile(text, flags, where, status));
    if (U_FAILURE(status)) {
        Log::line(QStringLiteral("Risk pattern does not compile (%1): %2")
                      .arg(QString::fromLatin1(u_errorName(status)), toQString(source)));
        return nullptr;
    }
    return pattern;
}

// Built once, on first use, by whichever thread gets there first; ICU patterns may be shared between
// threads as long as each search has its own matcher.
const CompiledTables& tables() {
    static const CompiledTables compiled = [] {
        CompiledTables t;
        for (const RiskPattern& row : RiskEngine::critical)
            t.critical.push_back(compile(row.pattern, UREGEX_CASE_INSENSITIVE));
        for (const RiskPattern& row : RiskEngine::elevated)
            t.elevated.push_back(compile(row.pattern, UREGEX_CASE_INSENSITIVE));
        for (std::u16string_view pattern : RiskEngine::readOnly)
            t.readOnly.push_back(compile(pattern, UREGEX_CASE_INSENSITIVE));
        t.path = compile(uR"((~|/)[^\s"']+)", 0);
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

/// Budget of one search, in ICU match-engine steps (10 000 backtracking states each, about a millisecond or
/// less): a floor for short texts plus two full backtracking passes over the text, so a linear search of a
/// large input finishes while runaway backtracking stops after a small multiple of a linear scan's work.
int32_t matchTimeLimit(const icu::UnicodeString& text) {
    return 100 + text.length() / 5000;
}

enum class Outcome { match, noMatch, failed };

struct Found {
    Outcome outcome = Outcome::failed;
    int32_t start = 0;
    int32_t end = 0;
};

// A time-out, a backtracking stack overflow or any other ICU error is "failed": the caller decides which
// side is safe.
Found search(const icu::RegexPattern* pattern, const std::optional<icu::UnicodeString>& text) {
    if (pattern == nullptr || !text)
        return {};
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(*text, status));
    if (U_FAILURE(status) || matcher == nullptr)
        return {};
    matcher->setTimeLimit(matchTimeLimit(*text), status);
    const bool found = U_SUCCESS(status) && matcher->find(0, status);
    if (U_FAILURE(status))
        return {};
    if (!found)
        return {Outcome::noMatch};
    const int32_t start = matcher->start(status);
    const int32_t end = matcher->end(status);
    if (U_FAILURE(status))
        return {};
    return {Outcome::match, start, end};
}

// A danger pattern that could not be searched to the end counts as matched, so a pathological input can
// neither freeze the caller nor slip through as harmless.
bool dangerMatches(const Pattern& pattern, const std::optional<icu::UnicodeString>& text) {
    return search(pattern.get(), text).outcome != Outcome::noMatch;
}

bool containsAny(const QString& text, std::initializer_list<QLatin1StringView> needles) {
    return std::any_of(needles.begin(), needles.end(), [&](QLatin1StringView needle) { return text.contains(needle); });
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

} // namespace

RiskVerdict RiskEngine::assess(const QString& tool, const QString& detail, const std::optional<QString>& cwd) {
    using L = QLatin1StringView;
    const QString t = tool.toLower();
    if (containsAny(t, {L("read"), L("grep"), L("glob"), L("search"), L("list"), L("fetch")}))
        return {Risk::trivial, {QStringLiteral("read-only tool")}};
    if (containsAny(t, {L("bash"), L("shell"), L("terminal"), L("exec"), L("command")}))
        return assessCommand(detail);
    if (containsAny(t, {L("write"), L("edit"), L("create")}))
        return assessWrite(detail, cwd);
    return {Risk::normal, {tool}};
}

RiskVerdict RiskEngine::assessCommand(const QString& detail) {
    const CompiledTables& compiled = tables();
    const std::optional<icu::UnicodeString> text = viewOf(detail);

    QStringList reasons;
    Risk level = Risk::critical;
    for (size_t i = 0; i < critical.size(); ++i) {
        if (dangerMatches(compiled.critical[i], text))
            reasons.append(toQString(critical[i].reason));
    }
    if (reasons.isEmpty()) {
        level = Risk::elevated;
        for (size_t i = 0; i < elevated.size(); ++i) {
            if (dangerMatches(compiled.elevated[i], text))
                reasons.append(toQString(elevated[i].reason));
        }
    }
    if (!reasons.isEmpty()) {
        // The reasons are BMP text, so UTF-16 order is Unicode scalar order.
        std::sort(reasons.begin(), reasons.end());
        reasons.erase(std::unique(reasons.begin(), reasons.end()), reasons.end());
        return {level, reasons};
    }
    // Only a clean match makes a command read-only; a failed search is not proof of harmlessness.
    for (const Pattern& pattern : compiled.readOnly) {
        if (search(pattern.get(), text).outcome == Outcome::match)
            return {Risk::trivial, {QStringLiteral("read-only command")}};
    }
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
    const Found found = search(tables().path.get(), view);
    if (found.outcome != Outcome::match)
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
