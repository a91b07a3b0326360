#include "risk/RuleStore.h"

#include "risk/RiskEngine.h"
#include "support/AppPaths.h"
#include "support/Log.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

std::optional<QList<Rule>> decode(const nlohmann::json& json) {
    if (!json.is_array())
        return std::nullopt;
    QList<Rule> rules;
    rules.reserve(static_cast<qsizetype>(json.size()));
    for (const auto& element : json) {
        auto rule = Rule::fromJson(element);
        if (!rule)
            return std::nullopt;
        rules.append(std::move(*rule));
    }
    return rules;
}

} // namespace

RuleStore::RuleStore(QString path, const Clock& clock, QObject* parent)
    : QObject(parent), m_file(std::move(path), clock), m_clock(clock) {
    m_file.load([this](const nlohmann::json& json) {
        auto rules = decode(json);
        if (rules)
            m_rules = std::move(*rules);
        return rules.has_value();
    });
}

QString RuleStore::defaultPath() {
    return AppPaths::dataDir() + QStringLiteral("/rules.json");
}

std::optional<Vorlix::Behavior> RuleStore::decision(const QString& tool, const QString& detail) {
    const QString key = RiskEngine::ruleKey(tool, detail);
    const auto rule = std::find_if(m_rules.begin(), m_rules.end(), [&](const Rule& r) { return r.key == key; });
    if (rule == m_rules.end())
        return std::nullopt;
    if (rule->timesFired < INT64_MAX)
        ++rule->timesFired;
    const Vorlix::Behavior behavior =
        rule->behavior == QLatin1String("allow") ? Vorlix::Behavior::allow : Vorlix::Behavior::deny;
    save();
    emit rulesChanged();
    return behavior;
}

void RuleStore::add(const QString& tool, const QString& detail, Vorlix::Behavior behavior) {
    const QString key = RiskEngine::ruleKey(tool, detail);
    if (std::any_of(m_rules.cbegin(), m_rules.cend(), [&](const Rule& r) { return r.key == key; }))
        return;
    m_rules.append(Rule{key, QString::fromUtf8(Vorlix::rawValue(behavior)), m_clock.now(), 0});
    save();
    emit rulesChanged();
}

void RuleStore::remove(const Rule& rule) {
    // A copy: the caller may pass one of our own rules, which the removal moves over.
    const QString key = rule.key;
    const qsizetype removed = m_rules.removeIf([&](const Rule& r) { return r.key == key; });
    save();
    if (removed > 0)
        emit rulesChanged();
}

void RuleStore::save() {
    nlohmann::json list = nlohmann::json::array();
    for (const Rule& rule : m_rules)
        list.push_back(rule.toJson());
    QString error;
    if (!m_file.save(list, -1, &error))
        Log::line(QStringLiteral("Vorlix Agents: rules not saved: ") + error);
}
