#include "risk/Rule.h"

#include "JsonFields.h"

#include <QTimeZone>
#include <cmath>

QDateTime Rule::referenceDate() {
    return QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
}

nlohmann::json Rule::toJson() const {
    const double seconds = static_cast<double>(referenceDate().msecsTo(createdAt)) / 1000.0;
    return {{"key", key.toStdString()},
            {"behavior", behavior.toStdString()},
            {"createdAt", seconds},
            {"timesFired", timesFired}};
}

std::optional<Rule> Rule::fromJson(const nlohmann::json& json) {
    using namespace Vorlix::JsonFields;
    if (!json.is_object())
        return std::nullopt;
    const auto key = requiredString(json, "key");
    const auto behavior = requiredString(json, "behavior");
    const nlohmann::json* created = member(json, "createdAt");
    const auto timesFired = int64(json, "timesFired");
    if (!key || !behavior || created == nullptr || !created->is_number() || !timesFired)
        return std::nullopt;
    const double seconds = created->get<double>();
    // Beyond this QDateTime cannot hold the moment; such a file was not written by us.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e14)
        return std::nullopt;
    Rule rule;
    rule.key = QString::fromStdString(*key);
    rule.behavior = QString::fromStdString(*behavior);
    rule.createdAt = referenceDate().addMSecs(static_cast<qint64>(std::llround(seconds * 1000.0)));
    rule.timesFired = *timesFired;
    return rule;
}
