#include "risk/TablePattern.h"

#include "support/Log.h"

#include <QString>
#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace {

using Pattern = std::unique_ptr<icu::RegexPattern>;
using Matcher = std::unique_ptr<icu::RegexMatcher>;

Pattern compile(std::u16string_view source, uint32_t flags) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError where{};
    const icu::UnicodeString text(source.data(), int32_t(source.size()));
    Pattern pattern(icu::RegexPattern::compile(text, flags, where, status));
    if (U_FAILURE(status)) {
        Log::line(QStringLiteral("Risk pattern does not compile (%1): %2")
                      .arg(QString::fromLatin1(u_errorName(status)),
                           QStringView(source.data(), qsizetype(source.size())).toString()));
        return nullptr;
    }
    return pattern;
}

/// Where a top-level ".*" splits the pattern, or npos when it has none, more than one, a top-level alternation,
/// or a quantifier right after it (".*?").
std::size_t splitPoint(std::u16string_view source) {
    std::size_t found = std::u16string_view::npos;
    int depth = 0;
    bool inClass = false;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const char16_t c = source[i];
        if (c == u'\\') {
            ++i;
        } else if (inClass) {
            inClass = c != u']';
        } else if (c == u'[') {
            inClass = true;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            --depth;
        } else if (depth == 0 && c == u'|') {
            return std::u16string_view::npos;
        } else if (depth == 0 && c == u'.' && i + 1 < source.size() && source[i + 1] == u'*') {
            if (found != std::u16string_view::npos)
                return std::u16string_view::npos;
            found = i;
            ++i;
        }
    }
    if (found == 0 || found == std::u16string_view::npos || found + 2 >= source.size())
        return std::u16string_view::npos;
    const char16_t after = source[found + 2];
    return after == u'?' || after == u'+' || after == u'*' || after == u'{' ? std::u16string_view::npos : found;
}

// The characters "." does not match when multi-line mode is off.
bool isLineTerminator(char16_t c) {
    return (c >= 0x0a && c <= 0x0d) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

Matcher matcherFor(const Pattern& pattern, const icu::UnicodeString& text) {
    if (pattern == nullptr)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    Matcher matcher(pattern->matcher(text, status));
    if (U_FAILURE(status))
        return nullptr;
    matcher->setTimeLimit(TablePattern::budget(text.length()), status);
    return U_SUCCESS(status) ? std::move(matcher) : nullptr;
}

TablePattern::Found find(icu::RegexMatcher* matcher, int32_t from) {
    using Outcome = TablePattern::Outcome;
    if (matcher == nullptr)
        return {};
    UErrorCode status = U_ZERO_ERROR;
    const bool found = matcher->find(from, status);
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

} // namespace

TablePattern::TablePattern(std::u16string_view source, uint32_t flags) : m_whole(compile(source, flags)) {
    const std::size_t split = splitPoint(source);
    if (split == std::u16string_view::npos || m_whole == nullptr)
        return;
    m_prefix = compile(source.substr(0, split), flags);
    m_suffix = compile(source.substr(split + 2), flags);
    if (m_prefix == nullptr || m_suffix == nullptr) {
        m_prefix.reset();
        m_suffix.reset();
    }
}

TablePattern::~TablePattern() = default;
TablePattern::TablePattern(TablePattern&&) noexcept = default;

TablePattern::Found TablePattern::search(const icu::UnicodeString& text) const {
    return isSplit() ? searchSplit(text) : searchWhole(text);
}

TablePattern::Found TablePattern::searchWhole(const icu::UnicodeString& text) const {
    const Matcher matcher = matcherFor(m_whole, text);
    return find(matcher.get(), 0);
}

// A.*B matches when some A ends at e and some B starts at p >= e with no line terminator in between. For one start
// of A, the table's prefixes end in one place only, and a later start ends no earlier, so each A start needs one
// look at the first B at or after its end. Both the next B and the next line end are remembered while they still
// answer for the next A, so the whole search stays linear.
TablePattern::Found TablePattern::searchSplit(const icu::UnicodeString& text) const {
    const Matcher prefix = matcherFor(m_prefix, text);
    const Matcher suffix = matcherFor(m_suffix, text);
    const int32_t length = text.length();
    int32_t suffixFrom = -1; // the first B at or after suffixFrom is `next` (noMatch: there is none)
    Found next;
    int32_t lineFrom = -1; // the first line end at or after lineFrom is lineEnd
    int32_t lineEnd = 0;
    for (int32_t from = 0; from <= length;) {
        const Found a = find(prefix.get(), from);
        if (a.outcome != Outcome::match)
            return {a.outcome};
        const bool known =
            suffixFrom >= 0 && a.end >= suffixFrom && (next.outcome == Outcome::noMatch || a.end <= next.start);
        if (!known) {
            next = find(suffix.get(), a.end);
            suffixFrom = a.end;
            if (next.outcome == Outcome::failed)
                return {};
        }
        if (next.outcome == Outcome::noMatch)
            return {Outcome::noMatch};
        if (lineFrom < 0 || a.end < lineFrom || a.end > lineEnd) {
            lineFrom = a.end;
            lineEnd = a.end;
            while (lineEnd < length && !isLineTerminator(text.charAt(lineEnd)))
                ++lineEnd;
        }
        if (next.start <= lineEnd)
            return {Outcome::match, a.start, next.end};
        from = a.start + 1;
    }
    return {Outcome::noMatch};
}
