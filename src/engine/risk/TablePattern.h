#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
class UnicodeString;
U_NAMESPACE_END

/// One ICU pattern of a risk table, compiled once and shared between threads (each search makes its own
/// matchers). A pattern of the form A.*B is searched as A, then B after it on the same line, which gives the
/// same answer in time linear in the text instead of backtracking over every later character for every A.
class TablePattern final {
public:
    enum class Outcome { match, noMatch, failed };
    struct Found {
        Outcome outcome = Outcome::failed;
        int32_t start = 0;
        int32_t end = 0;
    };

    TablePattern(std::u16string_view source, uint32_t flags);
    ~TablePattern();
    TablePattern(TablePattern&&) noexcept;
    TablePattern(const TablePattern&) = delete;
    TablePattern& operator=(const TablePattern&) = delete;

    /// The first match. A search that runs out of its budget, or any other ICU failure, is `failed`: the caller
    /// decides which side is safe.
    Found search(const icu::UnicodeString& text) const;
    /// The same search as one plain ICU match of the whole pattern, for comparison.
    Found searchWhole(const icu::UnicodeString& text) const;
    /// Whether the pattern is searched in two parts.
    bool isSplit() const { return m_prefix != nullptr; }

    /// ICU engine steps (10 000 saved backtracking states each) one find may take: a floor plus a share of the
    /// text's length, far above what a linear search needs and far below runaway backtracking.
    static int32_t budget(int32_t length) { return 200 + length / 500; }

private:
    Found searchSplit(const icu::UnicodeString& text) const;

    std::unique_ptr<icu::RegexPattern> m_whole;
    std::unique_ptr<icu::RegexPattern> m_prefix;
    std::unique_ptr<icu::RegexPattern> m_suffix;
};
