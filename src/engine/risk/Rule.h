#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>

/// One learned answer: calls whose rule key equals `key` are answered with `behavior` without asking.
struct Rule {
    QString key;
    /// "allow", or any other text, which denies.
    QString behavior;
    QDateTime createdAt;
    std::int64_t timesFired = 0;

    /// In the rules file, creation times count seconds from this moment.
    static QDateTime referenceDate();

    nlohmann::json toJson() const;
    /// Absent unless every member is there with its type ("timesFired" a whole number).
    static std::optional<Rule> fromJson(const nlohmann::json& json);

    bool operator==(const Rule&) const = default;
};
