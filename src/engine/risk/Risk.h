#pragma once

#include <QString>
#include <QStringList>
#include <optional>

/// How dangerous a tool call is; the rank is what gets stored and compared.
enum class Risk { trivial = 0, normal = 1, elevated = 2, critical = 3 };

inline int rank(Risk level) {
    return static_cast<int>(level);
}
/// 0–3; any other number gives no level.
inline std::optional<Risk> riskFromRank(int value) {
    if (value < 0 || value > 3)
        return std::nullopt;
    return static_cast<Risk>(value);
}

/// The level as cards, the phone page and notifications name it.
inline QString riskLabel(Risk level) {
    switch (level) {
    case Risk::trivial:
        return QStringLiteral("read-only");
    case Risk::normal:
        return QStringLiteral("writes files");
    case Risk::elevated:
        return QStringLiteral("elevated");
    case Risk::critical:
        break;
    }
    return QStringLiteral("DESTRUCTIVE");
}

/// A level and the human-readable reasons for it (at least one in every verdict the engine returns).
struct RiskVerdict {
    Risk level = Risk::normal;
    QStringList reasons;

    bool operator==(const RiskVerdict&) const = default;
};
