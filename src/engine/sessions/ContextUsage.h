#pragma once

#include <QString>
#include <cstdint>

/// Tokens the latest model call of a session used, against that session's own context window.
struct ContextUsage {
    std::int64_t used = 0;
    std::int64_t limit = 0; // the window: 200 000 for Claude, what the model reports for Codex

    double fraction() const { return limit > 0 ? static_cast<double>(used) / static_cast<double>(limit) : 0.0; }
    /// 950 stays 950; from 1000 on the whole thousands and "k" (1999 gives 1k).
    static QString shortText(std::int64_t n);
    /// "45k / 200k"
    QString label() const { return shortText(used) + QStringLiteral(" / ") + shortText(limit); }

    bool operator==(const ContextUsage&) const = default;
};
