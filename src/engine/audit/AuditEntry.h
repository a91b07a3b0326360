#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLatin1String>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

/// The kinds of journal record, as written to disk.
struct AuditKind {
    static constexpr QLatin1String tool{"tool"};
    static constexpr QLatin1String approved{"approved"};
    static constexpr QLatin1String denied{"denied"};
    static constexpr QLatin1String autoAllowed{"auto-allowed"};
    static constexpr QLatin1String autoDenied{"auto-denied"};
};

/// Why an automatic decision was made, where the kind alone does not say.
struct AuditReason {
    static constexpr QLatin1String sessionRule{"session rule"};
};

/// One journal record: a tool run or a gate decision.
struct AuditEntry {
    QDateTime ts;
    QString agent;
    QString sessionID;
    QString project;
    QString kind; // "tool", "approved", "denied", "auto-allowed", "auto-denied"
    QString tool;
    QString detail;
    std::optional<int> risk;
    /// Empty for most records. A member older readers skip, so the kinds they count stay as they were.
    QString reason = {};

    bool operator==(const AuditEntry&) const = default;

    /// One compact JSON object (no line feed); "risk" and "reason" left out when absent. Absent when `ts` cannot be
    /// written as an internet date-time (invalid, or outside the years 1-9999).
    std::optional<QByteArray> toJson() const;
    /// Reads one journal line. Every member but "risk" and "reason" is required; a null "risk" counts as absent,
    /// any other non-integer fails the line; a "reason" that is not a string is ignored, as are unknown members.
    static std::optional<AuditEntry> fromJson(std::string_view line);

    /// A journal line's members as the file spells them (UTF-8), for readers that only pass them on. Reusing
    /// one across lines keeps its buffers.
    struct Raw {
        std::string ts;
        std::string agent;
        std::string sessionID;
        std::string project;
        std::string kind;
        std::string tool;
        std::string detail;
        std::optional<int> risk;
        std::string reason;
    };
    /// The same rules as fromJson, except that `ts` is only checked to be a string.
    static bool readRaw(std::string_view line, Raw& out);

    /// Identity for list views: seconds since 1970 as decimal text, "-", tool, "-", sessionID.
    QString identity() const;

    /// "2026-03-14T09:26:53Z": UTC, whole seconds (fractions are cut, never rounded into the next second).
    static std::optional<QByteArray> isoText(const QDateTime& t);
    /// Whether the text is already in that form and names a real moment.
    static bool isWrittenForm(std::string_view text);
    /// Accepts that form and, more slowly, any ISO 8601 date-time that names its offset.
    static std::optional<QDateTime> fromIsoText(std::string_view text);
};
